#include "PacchettoCartella.h"

#include "Database.h"
#include "clsBase64.h"
#include "modArchivio.h"
#include "modCartelle.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <zip.h>

using lanvera::dao::Database;

namespace {

const QString NomeVoce = QStringLiteral("Cartella.mdb");
constexpr qint64 BloccoEstrazione = 256 * 1024;
// zlib's own default. libzip's default is the best compression, which for a chart takes about 60%
// longer and saves less than 1% of the package.
constexpr zip_uint32_t LivelloDeflate = 6;

// Where a failed file call leaves its reason: errno where the system gave one, else Qt's code.
QString erroreFile(const QFile &file, int errnoSalvato)
{
    const int numero = errnoSalvato != 0 ? errnoSalvato : static_cast<int>(file.error());
    return QString::number(numero) + QLatin1Char(' ') + file.errorString();
}

QByteArray nomeLocale(const QString &percorso)
{
    return QFile::encodeName(percorso);
}

// An entry name that, written as a path, would stay inside the folder it is extracted to.
bool nomeSicuro(const QByteArray &nome)
{
    if (nome.isEmpty() || nome.startsWith('/') || nome.contains('\\') || nome.contains(':')) {
        return false;
    }
    const QList<QByteArray> parti = nome.split('/');
    return std::none_of(parti.cbegin(), parti.cend(), [](const QByteArray &p) { return p == ".."; });
}

// A plain file, judged by its name and by the attributes its maker recorded: no folder, no link,
// no device.
bool voceRegolare(zip_t *archivio, zip_uint64_t indice, const QByteArray &nome)
{
    if (nome.endsWith('/')) {
        return false;
    }
    zip_uint8_t sistema = 0;
    zip_uint32_t attributi = 0;
    if (zip_file_get_external_attributes(archivio, indice, 0, &sistema, &attributi) != 0) {
        return false;
    }
    constexpr zip_uint32_t TipoFile = 0170000;
    constexpr zip_uint32_t FileRegolare = 0100000;
    constexpr zip_uint32_t CartellaDos = 0x10;
    if (sistema == ZIP_OPSYS_UNIX) {
        const zip_uint32_t tipo = (attributi >> 16) & TipoFile;
        if (tipo != 0 && tipo != FileRegolare) {
            return false;
        }
    }
    return (attributi & CartellaDos) == 0;
}

// Zips the database into a new archive with its one entry. Result: 0, or libzip's error code.
int comprimi(const QString &database, const QString &fileZip)
{
    int codice = 0;
    zip_t *archivio = zip_open(nomeLocale(fileZip).constData(), ZIP_CREATE | ZIP_EXCL, &codice);
    if (archivio == nullptr) {
        return codice > 0 ? codice : ZIP_ER_OPEN;
    }
    auto fallito = [archivio] {
        const int c = zip_error_code_zip(zip_get_error(archivio));
        zip_discard(archivio);
        return c > 0 ? c : ZIP_ER_INTERNAL;
    };
    zip_source_t *sorgente = zip_source_file(archivio, nomeLocale(database).constData(), 0, 0);
    if (sorgente == nullptr) {
        return fallito();
    }
    const zip_int64_t indice = zip_file_add(archivio, NomeVoce.toLatin1().constData(), sorgente, ZIP_FL_ENC_GUESS);
    if (indice < 0) {
        zip_source_free(sorgente);
        return fallito();
    }
    if (zip_set_file_compression(archivio, static_cast<zip_uint64_t>(indice), ZIP_CM_DEFLATE, LivelloDeflate) != 0) {
        return fallito();
    }
    if (zip_close(archivio) != 0) {
        return fallito();
    }
    return 0;
}

// What the header of a package database says, checked before the engine reads it: the
// rollback-journal format that every package is written in (another one would have the engine
// make files of its own beside the package), and no more pages than the file holds (checking
// pages past its end would read an invented size). A file that is no database at all passes:
// opening it tells why.
bool IntestazioneValida(const QString &percorso, QString &motivo)
{
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QByteArray h = file.read(100);
    if (h.size() < 100 || !h.startsWith(QByteArrayView("SQLite format 3\0", 16))) {
        return true;
    }
    const auto byte = [&h](int i) { return quint32(quint8(h.at(i))); };
    const auto intero = [&byte](int i) { return byte(i) << 24 | byte(i + 1) << 16 | byte(i + 2) << 8 | byte(i + 3); };
    if (byte(18) > 1 || byte(19) > 1) {
        motivo = QStringLiteral("formato del database non previsto");
        return false;
    }
    const qint64 pagina = (byte(16) << 8 | byte(17)) == 1 ? 65536 : qint64(byte(16) << 8 | byte(17));
    // The page count of the header counts only when the header was written with it.
    const qint64 pagine = intero(24) == intero(92) ? qint64(intero(28)) : 0;
    if (pagina > 0 && pagine > file.size() / pagina) {
        motivo = QStringLiteral("dimensione non coerente: %1 pagine da %2 byte in un file di %3 byte")
                     .arg(pagine)
                     .arg(pagina)
                     .arg(file.size());
        return false;
    }
    return true;
}

} // namespace

PacchettoCartella::PacchettoCartella(StatoMotore &stato) : m_stato(stato) {}

QString PacchettoCartella::CartellaLavoro()
{
    return lanvera::CartellaTemp() + QStringLiteral("/Sync");
}

QString PacchettoCartella::FileMdb()
{
    return CartellaLavoro() + QStringLiteral("/Cartella.mdb");
}

QString PacchettoCartella::FileZip()
{
    return CartellaLavoro() + QStringLiteral("/Cartella.zip");
}

QString PacchettoCartella::FileB64()
{
    return CartellaLavoro() + QStringLiteral("/Cartella.b64");
}

bool PacchettoCartella::fallisci(const QString &messaggio)
{
    m_stato.messaggioErrore = messaggio;
    return false;
}

void PacchettoCartella::cancellaFileLavoro()
{
    // QFile::remove also takes away a link left at one of these names, dangling or not.
    for (const QString &file : {FileMdb(), FileZip(), FileB64()}) {
        QFile::remove(file);
    }
}

bool PacchettoCartella::preparaLavoro(const QString &operazione)
{
    QString errore;
    if (!lanvera::PreparaCartellaPrivata(CartellaLavoro(), &errore)) {
        if (!errore.startsWith(QStringLiteral("Errore "))) {
            errore = QStringLiteral("Errore %1 %2").arg(EACCES).arg(errore);
        }
        return fallisci(operazione + QStringLiteral(": ") + errore);
    }
    cancellaFileLavoro();
    return true;
}

bool PacchettoCartella::CaricaListaTabelle(const QString &fileSql)
{
    m_stato.tabelle.clear();
    QFile file(fileSql);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        return fallisci(QStringLiteral("Carica lista tabelle: Errore ") + erroreFile(file, errno));
    }
    errno = 0;
    const QString testo = QString::fromUtf8(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        return fallisci(QStringLiteral("Carica lista tabelle: Errore ") + erroreFile(file, errno));
    }

    const QString aCapo = QStringLiteral("\r\n");
    const QString select = QStringLiteral("select ");
    const QString tutte = QStringLiteral(".*");
    const QStringList pezzi = testo.split(QLatin1Char(';'));
    for (QString pezzo : pezzi) {
        if (pezzo.startsWith(aCapo)) {
            pezzo.remove(0, aCapo.size());
        }
        if (!pezzo.startsWith(select, Qt::CaseInsensitive)) {
            continue;
        }
        const qsizetype fineNome = pezzo.indexOf(tutte);
        if (fineNome < 0) {
            continue;
        }
        QString nome = pezzo.mid(select.size(), fineNome - select.size());
        nome.remove(QLatin1Char('['));
        nome.remove(QLatin1Char(']'));
        m_stato.tabelle.append(clsTabelle{nome, pezzo});
    }
    return true;
}

bool PacchettoCartella::CreaCartella(qint32 idPaziente, QString &cartella)
{
    const QString operazione = QStringLiteral("Crea Cartella");
    const QString prefisso = operazione + QStringLiteral(": Errore ");
    if (!preparaLavoro(operazione)) {
        return false;
    }
    auto pulisci = qScopeGuard([] { cancellaFileLavoro(); });

    Database *archivio = m_stato.archivio;
    if (archivio == nullptr || !archivio->aperto()) {
        return fallisci(prefisso + QString::number(lanvera::dao::ErroreFileMancante) +
                        QStringLiteral(" Archivio non aperto"));
    }

    const QString fileMdb = FileMdb();
    {
        Database pacchetto;
        if (!pacchetto.crea(fileMdb, true)) {
            return fallisci(prefisso + pacchetto.ultimoErrore().testo());
        }
    }

    // The archive's tables and views are listed once per archive, not once per chart.
    archivio->caricaSchema();
    m_senzaRighe.clear();
    const QString id = QString::number(idPaziente);
    // The package file stays attached for the whole list; it is let go before it is zipped or
    // deleted, on every path.
    // All the copies go in one transaction: one commit per package instead of one per statement.
    struct Stacca
    {
        lanvera::dao::Database *db;
        ~Stacca()
        {
            if (db->inTransazione()) {
                db->annullaTransazione();
            }
            db->staccaDestinazione();
        }
    } stacca{archivio};
    if (!archivio->collegaDestinazione(fileMdb) || !archivio->iniziaTransazione()) {
        const QString errore = archivio->ultimoErrore().testo();
        archivio->staccaDestinazione();
        return fallisci(prefisso + errore);
    }
    for (const clsTabelle &tabella : std::as_const(m_stato.tabelle)) {
        if (!lanvera::EsisteTabella(*archivio, tabella.Tabella)) {
            continue;
        }
        QString sql = tabella.QueryCartella;
        sql.replace(QStringLiteral("[ID]"), id, Qt::CaseInsensitive);
        sql.replace(QStringLiteral("[FileName]"), fileMdb, Qt::CaseInsensitive);
        if (!archivio->esegui(sql)) {
            const QString errore = archivio->ultimoErrore().testo();
            archivio->annullaTransazione();
            archivio->staccaDestinazione();
            return fallisci(prefisso + errore);
        }
        if (archivio->righeInteressate() == 0 &&
            tabella.QueryCartella.contains(QStringLiteral("WHERE IDPaziente=[ID]"), Qt::CaseInsensitive)) {
            m_senzaRighe << tabella.Tabella;
        }
        m_stato.cedi();
    }
    if (!archivio->confermaTransazione()) {
        const QString errore = archivio->ultimoErrore().testo();
        archivio->annullaTransazione();
        archivio->staccaDestinazione();
        return fallisci(prefisso + errore);
    }
    archivio->staccaDestinazione();

    return Impacchetta(prefisso, cartella);
}

bool PacchettoCartella::Impacchetta(const QString &prefisso, QString &testo)
{
    const int codiceZip = comprimi(FileMdb(), FileZip());
    if (codiceZip > 0) {
        return fallisci(prefisso + QStringLiteral("ZIP ") + QString::number(codiceZip));
    }
    if (!clsBase64().EncodeFile(FileZip(), FileB64())) {
        return fallisci(prefisso + QStringLiteral("B64"));
    }
    QFile fileB64(FileB64());
    errno = 0;
    if (!fileB64.open(QIODevice::ReadOnly)) {
        return fallisci(prefisso + erroreFile(fileB64, errno));
    }
    const QByteArray letto = fileB64.readAll();
    if (fileB64.error() != QFileDevice::NoError) {
        return fallisci(prefisso + erroreFile(fileB64, errno));
    }
    testo = QString::fromLatin1(letto);
    return true;
}

bool PacchettoCartella::CreaPacchetto(const QString &operazione,
                                      const std::function<bool(const QString &file, QString &errore)> &copia,
                                      QString &testo)
{
    const QString prefisso = operazione + QStringLiteral(": Errore ");
    if (!preparaLavoro(operazione)) {
        return false;
    }
    auto pulisci = qScopeGuard([] { cancellaFileLavoro(); });
    {
        Database pacchetto;
        if (!pacchetto.crea(FileMdb(), true)) {
            return fallisci(prefisso + pacchetto.ultimoErrore().testo());
        }
    }
    QString errore;
    if (!copia(FileMdb(), errore)) {
        return fallisci(prefisso + errore);
    }
    return Impacchetta(prefisso, testo);
}

bool PacchettoCartella::ApriPacchetto(const QString &testo, const QString &operazione, Database &pacchetto)
{
    pacchetto.chiudi();
    const QString prefisso = operazione + QStringLiteral(": Errore ");
    if (!preparaLavoro(operazione)) {
        return false;
    }
    auto pulisci = qScopeGuard([] { cancellaFileLavoro(); });

    {
        QFile fileB64(FileB64());
        const QByteArray ascii = testo.toLatin1();
        errno = 0;
        if (!fileB64.open(QIODevice::WriteOnly | QIODevice::NewOnly) || fileB64.write(ascii) != ascii.size() ||
            !fileB64.flush()) {
            return fallisci(prefisso + erroreFile(fileB64, errno));
        }
    }
    if (!clsBase64().DecodeFile(FileB64(), FileZip())) {
        return fallisci(prefisso + QStringLiteral("B64"));
    }
    const int codice = estraiDatabase();
    if (codice != UnzipRiuscito) {
        return fallisci(prefisso + QStringLiteral("UNZIP ") + QString::number(codice));
    }
    QString motivo;
    if (!IntestazioneValida(FileMdb(), motivo)) {
        return fallisci(TestoRifiuto(operazione, motivo));
    }
    if (!pacchetto.apri(FileMdb())) {
        const QString errore = pacchetto.ultimoErrore().testo();
        pacchetto.chiudi();
        return fallisci(prefisso + errore);
    }
    if (!VerificaPacchetto(pacchetto, motivo)) {
        pacchetto.chiudi();
        return fallisci(TestoRifiuto(operazione, motivo));
    }
    pulisci.dismiss();
    return true;
}

QString PacchettoCartella::TestoRifiuto(const QString &operazione, const QString &motivo)
{
    return operazione + QStringLiteral(": pacchetto non valido: ") + motivo;
}

bool PacchettoCartella::VerificaPacchetto(Database &pacchetto, QString &motivo)
{
    QSqlQuery q(pacchetto.connessione());
    q.setForwardOnly(true);
    auto errore = [&motivo, &q] {
        const QSqlError e = q.lastError();
        motivo = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
        return false;
    };
    // Nothing of the package's schema may call a function with side effects, and nothing here
    // writes to a package.
    q.exec(QStringLiteral("PRAGMA trusted_schema=OFF"));
    q.exec(QStringLiteral("PRAGMA query_only=ON"));
    // The file is this run's own: its lock is taken once and kept, instead of taken, checked and
    // let go around each of the hundred-odd reads of a merge.
    q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));

    if (!q.exec(QStringLiteral("PRAGMA page_count")) || !q.next()) {
        return errore();
    }
    const qint64 pagine = q.value(0).toLongLong();
    q.finish();
    if (pagine <= 0) {
        motivo = QStringLiteral("il database è vuoto");
        return false;
    }

    // Only stored rows: what a query reads is then bounded by what the file holds.
    if (!q.exec(QStringLiteral("SELECT type, name, rootpage, sql FROM sqlite_master"))) {
        return errore();
    }
    // A computed column is declared "[GENERATED ALWAYS] AS (...)": only a table whose statement
    // has those words, or a comment that could stand between them, is asked for its columns, which
    // costs a query per table.
    static const QRegularExpression forseCalcolata(QStringLiteral(R"(\bAS\s*\(|GENERATED|/\*|--)"),
                                                   QRegularExpression::CaseInsensitiveOption);
    QStringList daControllare;
    int tabelle = 0;
    while (q.next()) {
        const QString tipo = q.value(0).toString();
        const QString nome = q.value(1).toString();
        if (tipo == QLatin1String("table")) {
            const QString sql = q.value(3).toString();
            if (q.value(2).toLongLong() == 0 ||
                sql.trimmed().startsWith(QStringLiteral("CREATE VIRTUAL"), Qt::CaseInsensitive)) {
                motivo = QStringLiteral("contiene la tabella virtuale '%1'").arg(nome);
                return false;
            }
            if (!nome.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive)) {
                ++tabelle;
            }
            if (sql.contains(forseCalcolata)) {
                daControllare << nome;
            }
        } else if (tipo == QLatin1String("view")) {
            motivo = QStringLiteral("contiene la vista '%1'").arg(nome);
            return false;
        } else if (tipo == QLatin1String("trigger")) {
            motivo = QStringLiteral("contiene il trigger '%1'").arg(nome);
            return false;
        } else if (tipo != QLatin1String("index")) {
            motivo = QStringLiteral("contiene l'oggetto '%1' di tipo %2").arg(nome, tipo);
            return false;
        }
    }
    if (q.lastError().isValid()) {
        return errore();
    }
    q.finish();
    if (tabelle == 0) {
        motivo = QStringLiteral("non contiene tabelle");
        return false;
    }
    for (const QString &nome : std::as_const(daControllare)) {
        q.prepare(QStringLiteral("SELECT count(*) FROM pragma_table_xinfo(?) WHERE hidden<>0"));
        q.addBindValue(nome);
        if (!q.exec() || !q.next()) {
            return errore();
        }
        if (q.value(0).toInt() > 0) {
            motivo = QStringLiteral("la tabella '%1' ha colonne calcolate").arg(nome);
            return false;
        }
        q.finish();
    }

    if (!q.exec(QStringLiteral("PRAGMA quick_check(1)")) || !q.next()) {
        return errore();
    }
    if (q.value(0).toString() != QLatin1String("ok")) {
        motivo = QStringLiteral("verifica della struttura non superata: ") + q.value(0).toString();
        return false;
    }
    return true;
}

void PacchettoCartella::ChiudiPacchetto(Database &pacchetto)
{
    pacchetto.chiudi();
    cancellaFileLavoro();
}

int PacchettoCartella::estraiDatabase() const
{
    return EstraiVoce(FileZip(), NomeVoce, FileMdb(), m_limiteEspansione);
}

int PacchettoCartella::EstraiVoce(const QString &fileZip, const QString &nomeVoce, const QString &destinazione,
                                  qint64 limite)
{
    int codiceZip = 0;
    zip_t *archivio = zip_open(nomeLocale(fileZip).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &codiceZip);
    if (archivio == nullptr) {
        return UnzipArchivioIllegibile;
    }
    auto chiudiArchivio = qScopeGuard([archivio] { zip_discard(archivio); });

    // The whole table of contents is judged before anything is written.
    const zip_int64_t voci = zip_get_num_entries(archivio, 0);
    if (voci < 0) {
        return UnzipArchivioIllegibile;
    }
    QByteArray primoNome;
    for (zip_int64_t i = 0; i < voci; ++i) {
        const auto indice = static_cast<zip_uint64_t>(i);
        const char *grezzo = zip_get_name(archivio, indice, ZIP_FL_ENC_RAW);
        if (grezzo == nullptr) {
            return UnzipArchivioIllegibile;
        }
        const QByteArray nome(grezzo);
        if (!nomeSicuro(nome)) {
            return UnzipNomePericoloso;
        }
        if (!voceRegolare(archivio, indice, nome)) {
            return UnzipVoceNonFile;
        }
        if (i == 0) {
            primoNome = nome;
        }
    }
    if (voci == 0) {
        return UnzipCartellaMancante;
    }
    if (voci > 1) {
        return UnzipTroppeVoci;
    }
    if (primoNome != nomeVoce.toLatin1()) {
        return UnzipCartellaMancante;
    }

    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat_index(archivio, 0, 0, &info) != 0) {
        return UnzipArchivioIllegibile;
    }
    if ((info.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && info.encryption_method != ZIP_EM_NONE) {
        return UnzipLetturaFallita;
    }
    if ((info.valid & ZIP_STAT_COMP_METHOD) != 0 && zip_compression_method_supported(info.comp_method, 0) == 0) {
        return UnzipLetturaFallita;
    }
    const bool dimensioneNota = (info.valid & ZIP_STAT_SIZE) != 0;
    if (dimensioneNota && info.size > static_cast<zip_uint64_t>(limite)) {
        return UnzipTroppoGrande;
    }

    zip_file_t *voce = zip_fopen_index(archivio, 0, 0);
    if (voce == nullptr) {
        return UnzipLetturaFallita;
    }
    auto chiudiVoce = qScopeGuard([voce] { zip_fclose(voce); });

    QFile uscita(destinazione);
    if (!uscita.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return UnzipScritturaFallita;
    }
    const auto blocco = std::make_unique_for_overwrite<char[]>(BloccoEstrazione);
    qint64 totale = 0;
    for (;;) {
        const zip_int64_t letti = zip_fread(voce, blocco.get(), BloccoEstrazione);
        if (letti < 0) {
            return UnzipLetturaFallita;
        }
        if (letti == 0) {
            break;
        }
        // The declared size may lie: what counts is what actually comes out.
        totale += letti;
        if (totale > limite) {
            return UnzipTroppoGrande;
        }
        if (uscita.write(blocco.get(), letti) != letti) {
            return UnzipScritturaFallita;
        }
    }
    if (dimensioneNota && static_cast<zip_uint64_t>(totale) != info.size) {
        return UnzipLetturaFallita;
    }
    uscita.close();
    if (uscita.error() != QFileDevice::NoError) {
        return UnzipScritturaFallita;
    }
    return UnzipRiuscito;
}
