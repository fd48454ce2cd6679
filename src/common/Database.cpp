#include "Database.h"

#include "DaoInterno.h"
#include "modCartelle.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

namespace lanvera::dao {

namespace {

QAtomicInt s_prossimaConnessione;

// SELECT [t].* INTO [t] IN "file" FROM [t] <rest>
const QRegularExpression &formaCreaTabella()
{
    static const QRegularExpression re(
        QStringLiteral(
            R"re(^\s*SELECT\s+(?:\[([^\]]+)\]|([^\s\[\].]+))\.\*\s+INTO\s+(?:\[([^\]]+)\]|([^\s\[\]]+))\s+)re"
            R"re(IN\s+(?:"([^"]*)"|'([^']*)')\s+FROM\s+(?:\[([^\]]+)\]|([^\s\[\]]+))(.*)$)re"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

// Statements kept for reuse at most: the repeated ones of a run are a few hundred; texts built with
// their values inside would otherwise pile up.
constexpr int IstruzioniMassime = 512;

// Statements worth keeping prepared: those that read or write rows. Schema changes, attachments
// and pragmas run once.
bool DaRiusare(const QString &sql)
{
    static const QRegularExpression righe(QStringLiteral(R"(^\s*(SELECT|INSERT|UPDATE|DELETE|REPLACE)\b)"),
                                          QRegularExpression::CaseInsensitiveOption);
    return righe.match(sql).hasMatch();
}

QString primoNonVuoto(const QRegularExpressionMatch &m, int a, int b)
{
    return m.captured(a).isEmpty() ? m.captured(b) : m.captured(a);
}

QString uriFile(const QString &percorso, bool solaLettura)
{
    // mode=rw never creates a missing file, unlike a plain open.
    return QUrl::fromLocalFile(QFileInfo(percorso).absoluteFilePath()).toString(QUrl::FullyEncoded) +
           (solaLettura ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw"));
}

} // namespace

Errore ErroreDa(const QSqlError &errore)
{
    bool ok = false;
    int codice = errore.nativeErrorCode().toInt(&ok);
    if (!ok) {
        codice = -1;
    }
    if (codice > 0) {
        codice &= 0xff; // extended result codes carry the primary code in the low byte
    }
    QString testo = errore.databaseText();
    if (testo.isEmpty()) {
        testo = errore.driverText();
    }
    return {codice, testo};
}

Database::Database()
    // Qt keeps one list of connection names per process; a plug-in brings its own copy of this
    // library, so the object's address makes the name unique across copies too.
    : m_nomeConnessione(QStringLiteral("lanvera-archivio-%1-%2")
                            .arg(s_prossimaConnessione.fetchAndAddRelaxed(1))
                            .arg(reinterpret_cast<quintptr>(this), 0, 16))
{}

Database::~Database()
{
    chiudi();
}

bool Database::fallisci(int numero, const QString &descrizione)
{
    m_errore = {numero, descrizione};
    return false;
}

QSqlDatabase Database::connessione() const
{
    return QSqlDatabase::database(m_nomeConnessione, false);
}

bool Database::aperto() const
{
    return QSqlDatabase::contains(m_nomeConnessione) && connessione().isOpen();
}

void Database::impostaAttesaBlocco(int millisecondi)
{
    m_attesaBlocco = millisecondi;
    if (aperto()) {
        QSqlQuery(connessione()).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(millisecondi));
    }
}

bool Database::apriConnessione(const QString &percorso, bool solaLettura)
{
    chiudi();
    m_errore = {};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_nomeConnessione);
        db.setDatabaseName(uriFile(percorso, solaLettura));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_attesaBlocco));
        if (!db.open()) {
            m_errore = ErroreDa(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_nomeConnessione);
            return false;
        }
        // SQLite opens anything lazily: reading the schema tells a database from any other file.
        QSqlQuery prova(db);
        if (!prova.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            m_errore = ErroreDa(prova.lastError());
            prova = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_nomeConnessione);
            return false;
        }
    }
    m_percorso = percorso;
    m_definizioni.clear();
    dimenticaSchema();
    return true;
}

void Database::dimenticaSchema()
{
    m_campi.clear();
    m_nomiNoti.clear();
    m_chiaviRowid.clear();
    m_schemaNoto = false;
}

Istruzione::Istruzione(Database &db, const QString &sql)
    : m_db(db), m_sql(sql), m_query(db.prendiIstruzione(sql)), m_generazione(db.m_generazione)
{}

Istruzione::~Istruzione()
{
    if (m_query) {
        m_db.rendiIstruzione(m_sql, std::move(m_query), m_generazione);
    }
}

bool Istruzione::esegui(const QVariantList &valori)
{
    if (!m_query) {
        return false;
    }
    for (qsizetype i = 0; i < valori.size(); ++i) {
        m_query->bindValue(int(i), ValoreArchivio(valori.at(i)));
    }
    if (!m_query->exec()) {
        m_db.m_errore = ErroreDa(m_query->lastError());
        return false;
    }
    return true;
}

std::unique_ptr<QSqlQuery> Database::prendiIstruzione(const QString &sql)
{
    if (!aperto()) {
        fallisci(ErroreFileMancante, QStringLiteral("Database non aperto"));
        return {};
    }
    const auto tenute = m_istruzioni.find(sql);
    if (tenute != m_istruzioni.end() && !tenute->second.empty()) {
        std::unique_ptr<QSqlQuery> q = std::move(tenute->second.back());
        tenute->second.pop_back();
        --m_istruzioniTenute;
        return q;
    }
    auto q = std::make_unique<QSqlQuery>(connessione());
    q->setForwardOnly(true);
    if (!q->prepare(sql)) {
        m_errore = ErroreDa(q->lastError());
        return {};
    }
    return q;
}

void Database::rendiIstruzione(const QString &sql, std::unique_ptr<QSqlQuery> query, quint64 generazione)
{
    // A statement of a connection since closed, or one too many, is let go.
    if (generazione != m_generazione || !aperto() || m_istruzioniTenute >= IstruzioniMassime || !DaRiusare(sql)) {
        return;
    }
    // Reset: a statement left half-read would keep the file locked for the other programs.
    query->finish();
    m_istruzioni[sql].push_back(std::move(query));
    ++m_istruzioniTenute;
}

bool Database::apri(const QString &percorso, bool solaLettura)
{
    if (!EsisteFile(percorso)) {
        chiudi();
        return fallisci(ErroreFileMancante, QStringLiteral("Impossibile trovare il file '%1'.").arg(percorso));
    }
    return apriConnessione(percorso, solaLettura);
}

bool Database::crea(const QString &percorso, bool usaEGetta)
{
    chiudi();
    if (QFileInfo::exists(percorso) || QFileInfo(percorso).isSymLink()) {
        return fallisci(ErroreFileEsistente, QStringLiteral("Il database '%1' esiste già.").arg(percorso));
    }
    QFile nuovo(percorso);
    // NewOnly refuses to follow or replace whatever appeared at that name meanwhile.
    if (!nuovo.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return fallisci(ErroreFileEsistente, nuovo.errorString());
    }
    nuovo.close();
    if (!apriConnessione(percorso, false)) {
        QFile::remove(percorso);
        return false;
    }
    QSqlQuery q(connessione());
    if (usaEGetta) {
        q.exec(QStringLiteral("PRAGMA journal_mode=OFF"));
        q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    }
    // Writes the header so that the file is a database even while it holds no table.
    if (!q.exec(QStringLiteral("PRAGMA user_version=1"))) {
        m_errore = ErroreDa(q.lastError());
        chiudi();
        QFile::remove(percorso);
        return false;
    }
    return true;
}

bool Database::collegaDestinazione(const QString &file)
{
    if (m_destinazione == file) {
        return true;
    }
    if (!EsisteFile(file)) {
        return fallisci(ErroreFileMancante, QStringLiteral("Impossibile trovare il file '%1'.").arg(file));
    }
    if (m_inTransazione) {
        return fallisci(ErroreIstruzione,
                        QStringLiteral("Impossibile collegare '%1' durante una transazione.").arg(file));
    }
    staccaDestinazione();
    QSqlQuery q(connessione());
    if (!q.exec(QStringLiteral("ATTACH DATABASE '%1' AS lv_dest")
                    .arg(QString(file).replace(QLatin1Char('\''), QStringLiteral("''"))))) {
        m_errore = ErroreDa(q.lastError());
        return false;
    }
    m_destinazione = file;
    // The target of a copy is always a throwaway package file: no journal, no waiting for the disk.
    q.exec(QStringLiteral("PRAGMA lv_dest.journal_mode=OFF"));
    q.exec(QStringLiteral("PRAGMA lv_dest.synchronous=OFF"));
    // Its tables are known from here on: a copy into a table already there is refused.
    m_tabelleDestinazione.clear();
    if (q.exec(QStringLiteral("SELECT lower(name) FROM lv_dest.sqlite_master WHERE type='table'"))) {
        while (q.next()) {
            m_tabelleDestinazione << q.value(0).toString();
        }
    }
    return true;
}

void Database::staccaDestinazione()
{
    if (m_destinazione.isEmpty()) {
        return;
    }
    m_destinazione.clear();
    m_tabelleDestinazione.clear();
    if (aperto()) {
        QSqlQuery(connessione()).exec(QStringLiteral("DETACH DATABASE lv_dest"));
    }
}

void Database::chiudi()
{
    if (!QSqlDatabase::contains(m_nomeConnessione)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(m_nomeConnessione, false);
        if (m_inTransazione) {
            db.rollback();
            m_inTransazione = false;
        }
    }
    staccaDestinazione();
    m_istruzioni.clear();
    m_istruzioniTenute = 0;
    ++m_generazione;
    QSqlDatabase::database(m_nomeConnessione, false).close();
    QSqlDatabase::removeDatabase(m_nomeConnessione);
    m_inTransazione = false;
    m_percorso.clear();
}

bool Database::esegui(const QString &sql, const QVariantList &valori)
{
    m_righeInteressate = 0;
    if (!aperto()) {
        return fallisci(ErroreFileMancante, QStringLiteral("Database non aperto"));
    }
    const QRegularExpressionMatch m = formaCreaTabella().match(sql);
    if (m.hasMatch()) {
        const QString origine = primoNonVuoto(m, 7, 8);
        const QString selezionata = primoNonVuoto(m, 1, 2);
        if (selezionata.compare(origine, Qt::CaseInsensitive) != 0) {
            return fallisci(ErroreIstruzione, QStringLiteral("Istruzione non supportata: %1").arg(sql));
        }
        return eseguiCreaTabella(origine, primoNonVuoto(m, 3, 4), primoNonVuoto(m, 5, 6), m.captured(9), valori);
    }
    // A statement that may change the schema makes the known columns stale.
    static const QRegularExpression ddl(QStringLiteral(R"(^\s*(CREATE|ALTER|DROP)\b)"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (ddl.match(sql).hasMatch()) {
        dimenticaSchema();
        m_definizioni.clear();
    } else if (DaRiusare(sql)) {
        Istruzione istruzione(*this, sql);
        if (!istruzione.pronta() || !istruzione.esegui(valori)) {
            return false;
        }
        m_righeInteressate = istruzione.query().numRowsAffected();
        return true;
    }
    QSqlQuery q(connessione());
    if (!q.prepare(sql)) {
        m_errore = ErroreDa(q.lastError());
        return false;
    }
    for (const QVariant &v : valori) {
        q.addBindValue(ValoreArchivio(v));
    }
    if (!q.exec()) {
        m_errore = ErroreDa(q.lastError());
        return false;
    }
    m_righeInteressate = q.numRowsAffected();
    return true;
}

// Column definitions of a source table, rebuilt for a copy: names, declared types, defaults, the
// primary key. Packing asks for the same tables for every chart: they are read once.
bool Database::definizioneCopia(const QString &tabella, QStringList &colonne)
{
    const QString chiave = tabella.toLower();
    colonne = m_definizioni.value(chiave);
    if (!colonne.isEmpty()) {
        return true;
    }
    QSqlQuery q(connessione());
    if (!q.exec(QStringLiteral("PRAGMA main.table_info(%1)").arg(Parentesi(tabella)))) {
        m_errore = ErroreDa(q.lastError());
        return false;
    }
    QStringList chiavi;
    while (q.next()) {
        QString def = Parentesi(q.value(1).toString());
        const QString tipo = q.value(2).toString();
        if (!tipo.isEmpty()) {
            def += QLatin1Char(' ') + tipo;
        }
        if (q.value(3).toInt() != 0) {
            def += QStringLiteral(" NOT NULL");
        }
        if (!q.value(4).isNull()) {
            def += QStringLiteral(" DEFAULT ") + q.value(4).toString();
        }
        colonne << def;
        if (q.value(5).toInt() > 0) {
            chiavi << Parentesi(q.value(1).toString());
        }
    }
    if (colonne.isEmpty()) {
        return fallisci(1, QStringLiteral("no such table: %1").arg(tabella));
    }
    if (!chiavi.isEmpty()) {
        colonne << QStringLiteral("PRIMARY KEY (%1)").arg(chiavi.join(QLatin1Char(',')));
    }
    m_definizioni.insert(chiave, colonne);
    return true;
}

bool Database::eseguiCreaTabella(const QString &tabellaOrigine, const QString &tabellaDestinazione,
                                 const QString &fileDestinazione, const QString &restoSql, const QVariantList &valori)
{
    QSqlDatabase db = connessione();
    QSqlQuery q(db);

    QStringList colonne;
    if (!definizioneCopia(tabellaOrigine, colonne)) {
        return false;
    }

    if (!collegaDestinazione(fileDestinazione)) {
        return false;
    }
    if (m_tabelleDestinazione.contains(tabellaDestinazione.toLower())) {
        return fallisci(ErroreTabellaEsistente, QStringLiteral("La tabella '%1' esiste già.").arg(tabellaDestinazione));
    }
    if (!q.exec(QStringLiteral("CREATE TABLE lv_dest.%1 (%2)")
                    .arg(Parentesi(tabellaDestinazione), colonne.join(QStringLiteral(", "))))) {
        m_errore = ErroreDa(q.lastError());
        return false;
    }
    m_tabelleDestinazione << tabellaDestinazione.toLower();
    QSqlQuery copia(db);
    if (!copia.prepare(QStringLiteral("INSERT INTO lv_dest.%1 SELECT * FROM main.%2 %3")
                           .arg(Parentesi(tabellaDestinazione), Parentesi(tabellaOrigine), restoSql))) {
        m_errore = ErroreDa(copia.lastError());
        return false;
    }
    for (const QVariant &v : valori) {
        copia.addBindValue(ValoreArchivio(v));
    }
    if (!copia.exec()) {
        m_errore = ErroreDa(copia.lastError());
        return false;
    }
    m_righeInteressate = copia.numRowsAffected();
    return true;
}

bool Database::esisteTabella(const QString &tabella) const
{
    if (!aperto()) {
        return false;
    }
    // A table whose columns are known exists: the merge asks for every table of every chart.
    if (!m_campi.value(tabella.toLower()).isEmpty()) {
        return true;
    }
    if (m_schemaNoto) {
        return m_nomiNoti.contains(tabella.toLower());
    }
    QSqlQuery q(connessione());
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name=? COLLATE NOCASE"));
    q.addBindValue(tabella);
    return q.exec() && q.next();
}

QStringList Database::campi(const QString &tabella) const
{
    QStringList nomi;
    if (!aperto()) {
        return nomi;
    }
    // The merge asks for the same tables' columns for every chart: they are read once.
    const QString chiave = tabella.toLower();
    const auto noto = m_campi.constFind(chiave);
    if (noto != m_campi.cend()) {
        return *noto;
    }
    // One statement for every table, prepared once: a run asks for dozens of tables of an archive
    // it has just opened. Only the cache of statements changes, hence the cast. The same reading
    // tells whether the table's key is the row's own identity.
    Istruzione colonne(const_cast<Database &>(*this),
                       QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"));
    if (colonne.pronta() && colonne.esegui({tabella})) {
        QString rowid;
        int chiavi = 0;
        while (colonne.query().next()) {
            const QSqlQuery &q = colonne.query();
            nomi << q.value(0).toString();
            if (q.value(2).toInt() > 0 && ++chiavi == 1 &&
                q.value(1).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0) {
                rowid = q.value(0).toString().toLower();
            }
        }
        m_campi.insert(chiave, nomi);
        m_chiaviRowid.insert(chiave, chiavi == 1 ? rowid : QString());
    }
    return nomi;
}

bool Database::chiaveERowid(const QString &tabella, const QString &campo) const
{
    campi(tabella); // reads the key along with the columns, once
    const QString rowid = m_chiaviRowid.value(tabella.toLower());
    return !rowid.isEmpty() && rowid == campo.toLower();
}

bool Database::caricaSchema()
{
    if (m_schemaNoto) {
        return true;
    }
    if (!aperto()) {
        return fallisci(ErroreFileMancante, QStringLiteral("Database non aperto"));
    }
    // The names and statements only: a table's columns are read when it is first asked for, and
    // most of a package's tables never are.
    QSqlQuery q(connessione());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT lower(name), sql FROM sqlite_master WHERE type IN ('table','view')"))) {
        m_errore = ErroreDa(q.lastError());
        return false;
    }
    m_nomiNoti.clear();
    while (q.next()) {
        m_nomiNoti.insert(q.value(0).toString(), q.value(1).toString());
    }
    m_schemaNoto = true;
    return true;
}

QString Database::definizione(const QString &tabella) const
{
    return m_nomiNoti.value(tabella.toLower());
}

QHash<QString, QStringList> Database::campiTabelle(const QString &schema) const
{
    QHash<QString, QStringList> tabelle;
    if (!aperto()) {
        return tabelle;
    }
    const bool principale = schema.compare(QLatin1String("main"), Qt::CaseInsensitive) == 0;
    QSqlQuery nomi(connessione());
    nomi.setForwardOnly(true);
    if (!nomi.exec(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' "
                                  "ESCAPE '\\'")
                       .arg(Parentesi(schema)))) {
        return tabelle;
    }
    // One small statement a table: a join with pragma_table_info costs more than all of them.
    QSqlQuery colonne(connessione());
    colonne.setForwardOnly(true);
    while (nomi.next()) {
        const QString nome = nomi.value(0).toString();
        if (principale) {
            tabelle.insert(nome.toLower(), campi(nome));
            continue;
        }
        QStringList campiTabella;
        if (colonne.exec(QStringLiteral("PRAGMA %1.table_info(%2)").arg(Parentesi(schema), Parentesi(nome)))) {
            while (colonne.next()) {
                campiTabella << colonne.value(1).toString();
            }
        }
        tabelle.insert(nome.toLower(), campiTabella);
    }
    return tabelle;
}

bool Database::esisteCampo(const QString &tabella, const QString &campo) const
{
    const QStringList nomi = campi(tabella);
    return std::any_of(nomi.cbegin(), nomi.cend(),
                       [&](const QString &n) { return n.compare(campo, Qt::CaseInsensitive) == 0; });
}

QStringList Database::tabelle() const
{
    QStringList nomi;
    if (!aperto()) {
        return nomi;
    }
    QSqlQuery q(connessione());
    if (q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' "
                              "ESCAPE '\\' ORDER BY name"))) {
        while (q.next()) {
            nomi << q.value(0).toString();
        }
    }
    return nomi;
}

bool Database::iniziaTransazione()
{
    if (!aperto()) {
        return fallisci(ErroreFileMancante, QStringLiteral("Database non aperto"));
    }
    QSqlDatabase db = connessione();
    if (!db.transaction()) {
        m_errore = ErroreDa(db.lastError());
        return false;
    }
    m_inTransazione = true;
    return true;
}

bool Database::confermaTransazione()
{
    QSqlDatabase db = connessione();
    if (!m_inTransazione || !db.commit()) {
        m_errore = m_inTransazione ? ErroreDa(db.lastError())
                                   : Errore{ErroreIstruzione, QStringLiteral("Nessuna transazione")};
        return false;
    }
    m_inTransazione = false;
    return true;
}

bool Database::annullaTransazione()
{
    QSqlDatabase db = connessione();
    if (!m_inTransazione) {
        return fallisci(ErroreIstruzione, QStringLiteral("Nessuna transazione"));
    }
    m_inTransazione = false;
    if (!db.rollback()) {
        m_errore = ErroreDa(db.lastError());
        return false;
    }
    return true;
}

QString Parentesi(const QString &nome)
{
    return QLatin1Char('[') + nome + QLatin1Char(']');
}

QString TestoDataArchivio(const QDateTime &momento)
{
    return momento.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QVariant ValoreArchivio(const QVariant &valore)
{
    switch (valore.typeId()) {
    case QMetaType::QDateTime:
        return TestoDataArchivio(valore.toDateTime());
    case QMetaType::QDate:
        return TestoDataArchivio(valore.toDate().startOfDay());
    case QMetaType::Bool:
        return valore.toBool() ? -1 : 0;
    default:
        return valore;
    }
}

QString ComeTesto(const QVariant &valore)
{
    return valore.isNull() ? QString() : valore.toString();
}

namespace {

// Digits at [da, da + n) of the text as a number, -1 when any is not a digit.
int cifre(QStringView t, qsizetype da, qsizetype n)
{
    int v = 0;
    for (qsizetype i = da; i < da + n; ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9') {
            return -1;
        }
        v = v * 10 + (c - u'0');
    }
    return v;
}

} // namespace

QDate ComeGiorno(const QVariant &valore)
{
    if (valore.typeId() == QMetaType::QString) {
        const QString testo = valore.toString().trimmed();
        const bool soloGiorno = testo.size() == 10;
        const bool conOra = testo.size() == 19 && (testo[10] == QLatin1Char(' ') || testo[10] == QLatin1Char('T')) &&
                            testo[13] == QLatin1Char(':') && testo[16] == QLatin1Char(':') &&
                            QTime(cifre(testo, 11, 2), cifre(testo, 14, 2), cifre(testo, 17, 2)).isValid();
        if ((soloGiorno || conOra) && testo[4] == QLatin1Char('-') && testo[7] == QLatin1Char('-')) {
            const QDate giorno(cifre(testo, 0, 4), cifre(testo, 5, 2), cifre(testo, 8, 2));
            if (giorno.isValid()) {
                return giorno;
            }
        }
    }
    const QDateTime d = ComeData(valore);
    return d.isValid() ? d.date() : QDate();
}

QDateTime ComeData(const QVariant &valore)
{
    if (valore.isNull()) {
        return {};
    }
    if (valore.typeId() == QMetaType::QDateTime) {
        return valore.toDateTime();
    }
    const QString testo = valore.toString().trimmed();
    // The stored form "yyyy-mm-dd[ hh:mm:ss]" is read by hand: it is on the hot path of every list.
    if ((testo.size() == 10 || testo.size() == 19) && testo[4] == QLatin1Char('-') && testo[7] == QLatin1Char('-')) {
        const QDate giorno(cifre(testo, 0, 4), cifre(testo, 5, 2), cifre(testo, 8, 2));
        if (giorno.isValid()) {
            if (testo.size() == 10) {
                return giorno.startOfDay();
            }
            if ((testo[10] == QLatin1Char(' ') || testo[10] == QLatin1Char('T')) && testo[13] == QLatin1Char(':') &&
                testo[16] == QLatin1Char(':')) {
                const QTime ora(cifre(testo, 11, 2), cifre(testo, 14, 2), cifre(testo, 17, 2));
                if (ora.isValid()) {
                    return QDateTime(giorno, ora);
                }
            }
        }
    }
    return QDateTime::fromString(testo, Qt::ISODate);
}

bool ComeBool(const QVariant &valore)
{
    if (valore.isNull()) {
        return false;
    }
    if (valore.typeId() == QMetaType::QString) {
        const QString t = valore.toString().trimmed();
        bool ok = false;
        const double n = t.toDouble(&ok);
        return ok ? n != 0 : t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
    }
    return valore.toDouble() != 0;
}

} // namespace lanvera::dao
