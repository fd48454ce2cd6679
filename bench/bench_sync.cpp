// Whole synchronisation runs over a generated archive of 2,000 patients, 500 of them published:
// the owner's first run (500 uploads), the run right after it (nothing changed), a run that merges
// 100 colleagues' modification packages, and the first run of the owner's second installation
// (500 downloads). Each is printed beside its floor, measured in the same run on the same charts:
// the bare SQLite copy, deflate, Base64 and server statement that the same work needs at the
// least. A half-size archive (1,000 patients, 250 published) shows how the first and the
// no-change runs grow with the archive.
#include "ConnessioneServer.h"
#include "Database.h"
#include "PacchettoCartella.h"
#include "Recordset.h"
#include "ServerBench.h"
#include "StatoMotore.h"
#include "TestServer.h"
#include "clsSincronizza.h"
#include "modArchivioHost.h"
#include "modCartelle.h"
#include "modGeneratore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <optional>
#include <zlib.h>

using namespace lanvera;
using lanvera::dao::Database;
using lanvera::test::AdminConnection;

namespace {

const QString CfTitolare = QStringLiteral("RSSMRA70A01H501U");
const QString CfCollega = QStringLiteral("BNCLCU65B41F205X");
const QString Password = QStringLiteral("{AES}bench");
constexpr int GiriSenzaModifiche = 5;
constexpr int GiriPrimaCorsa = 3;
constexpr int PacchettiModifiche = 100;
constexpr qint64 RigheCartellaGrande = 20000;
// A chart database that no doctor uses: the floor's uploads go there, into a table made as the
// engine makes its own.
constexpr qint32 DatabaseFloor = 9999;
// Severity, tag, time stamp and blank in front of every log message.
constexpr qsizetype PrefissoLog = 29;

double msDa(const QElapsedTimer &t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The kernel's high-water mark of this process's resident memory, reset at the start of each
// phase so that each prints its own peak.
void azzeraPicco()
{
    // Memory freed by earlier phases (the archive's generation) goes back first, so that the mark
    // is this phase's own.
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) {
        f.write("5");
    }
}

double piccoMB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray &riga : f.readAll().split('\n')) {
        if (riga.startsWith("VmHWM:")) {
            return riga.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0;
}

double mediana(QList<double> valori)
{
    std::sort(valori.begin(), valori.end());
    return valori.isEmpty() ? 0.0 : valori.at(valori.size() / 2);
}

void avvisa(const QString &testo)
{
    std::fprintf(stderr, "bench: %s\n", qPrintable(testo));
}

bool eseguiAdmin(const QString &sql, const QVariantList &valori = {})
{
    AdminConnection admin;
    QSqlQuery q(admin.database());
    q.prepare(sql);
    for (const QVariant &v : valori) {
        q.addBindValue(v);
    }
    if (!q.exec()) {
        avvisa(q.lastError().text());
        return false;
    }
    return true;
}

bool eseguiLocale(Database &db, const QString &sql, const QVariantList &valori = {})
{
    if (!db.esegui(sql, valori)) {
        avvisa(db.ultimoErrore().testo() + QStringLiteral(" in: ") + sql);
        return false;
    }
    return true;
}

bool esegui(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql)) {
        avvisa(q.lastError().text() + QStringLiteral(" in: ") + sql);
        return false;
    }
    return true;
}

// One engine run, with the moments at which its steps began.
struct Corsa
{
    bool ok = false;
    double totale = 0;    // the whole Sincronizza call
    double modifiche = 0; // from "Verifico modifiche su server" to "Verifico dati da sincronizzare"
    double giro = 0;      // from "Verifico dati da sincronizzare" to "Operazione conclusa"
    double cpu = 0;       // CPU time of this process during the call
    double picco = 0;     // peak resident memory of this process during the call, MB
    int errori = 0;
    QStringList righe; // messages without their prefix

    int conta(const QString &inizio) const
    {
        return int(std::count_if(righe.cbegin(), righe.cend(), [&](const QString &r) { return r.startsWith(inizio); }));
    }
};

Corsa sincronizza(clsSincronizza &sync, const QString &archivio)
{
    Corsa c;
    QElapsedTimer t;
    double inizioModifiche = -1;
    double inizioGiro = -1;
    double fine = -1;
    const auto collegamento = QObject::connect(&sync, &clsSincronizza::Log, [&](const QString &voce) {
        const QString messaggio = voce.mid(PrefissoLog);
        const double adesso = msDa(t);
        if (messaggio == QLatin1String("Verifico modifiche su server")) {
            inizioModifiche = adesso;
        } else if (messaggio == QLatin1String("Verifico dati da sincronizzare")) {
            inizioGiro = adesso;
        } else if (messaggio == QLatin1String("Operazione conclusa")) {
            fine = adesso;
        }
        c.righe << messaggio;
    });
    const double cpu = cpuMs();
    azzeraPicco();
    t.start();
    c.ok = sync.Sincronizza(archivio);
    c.totale = msDa(t);
    c.cpu = cpuMs() - cpu;
    c.picco = piccoMB();
    QObject::disconnect(collegamento);
    c.errori = sync.Errori();
    c.ok = c.ok && inizioModifiche >= 0 && inizioGiro >= 0 && fine >= 0;
    c.modifiche = inizioGiro - inizioModifiche;
    c.giro = fine - inizioGiro;
    if (!c.ok) {
        avvisa(QStringLiteral("the run failed: ") + sync.MessaggioErrore() + QLatin1Char('\n') +
               c.righe.join(QLatin1Char('\n')));
    }
    return c;
}

// One chart table as the floor copies it: its definition in the archive and its patient condition.
struct TabellaFloor
{
    QString nome;
    QString definizione; // the column list of CREATE TABLE, parentheses included
    QString condizione;  // "IDPaziente=%1"
};

QList<TabellaFloor> tabelleFloor(Database &archivio, const QList<clsTabelle> &lista)
{
    static const QRegularExpression dove(QStringLiteral(R"(\bWHERE\s+(.*?)\s*;?\s*$)"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    QList<TabellaFloor> tabelle;
    QSqlQuery q(archivio.connessione());
    for (const clsTabelle &t : lista) {
        q.prepare(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
        q.addBindValue(t.Tabella);
        if (!q.exec() || !q.next()) {
            continue;
        }
        const QString nome = q.value(0).toString();
        const QString sql = q.value(1).toString();
        const QRegularExpressionMatch m = dove.match(t.QueryCartella);
        if (!m.hasMatch()) {
            continue;
        }
        QString condizione = m.captured(1);
        condizione.replace(QStringLiteral("[ID]"), QStringLiteral("%1"), Qt::CaseInsensitive);
        tabelle << TabellaFloor{nome, sql.mid(sql.indexOf(QLatin1Char('('))), condizione};
    }
    return tabelle;
}

QByteArray leggiFile(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool scriviFile(const QString &percorso, const QByteArray &dati)
{
    QFile::remove(percorso);
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly) && f.write(dati) == dati.size();
}

QByteArray deflate(const QByteArray &dati)
{
    uLongf dimensione = compressBound(static_cast<uLong>(dati.size()));
    QByteArray uscita(static_cast<qsizetype>(dimensione), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(uscita.data()), &dimensione,
                  reinterpret_cast<const Bytef *>(dati.constData()), static_cast<uLong>(dati.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return {};
    }
    uscita.resize(static_cast<qsizetype>(dimensione));
    return uscita;
}

// The one entry of a package's zip, inflated straight from its local header.
QByteArray inflateVoce(const QByteArray &zip)
{
    const auto u16 = [&zip](qsizetype o) { return quint32(quint8(zip.at(o))) | quint32(quint8(zip.at(o + 1))) << 8; };
    const auto u32 = [&](qsizetype o) { return u16(o) | u16(o + 2) << 16; };
    if (zip.size() < 30 || !zip.startsWith("PK\x03\x04") || u16(8) != Z_DEFLATED) {
        return {};
    }
    const qsizetype inizio = 30 + qsizetype(u16(26)) + qsizetype(u16(28));
    const quint32 dichiarata = u32(22);
    QByteArray uscita(dichiarata > 0 ? qsizetype(dichiarata) : zip.size() * 4, Qt::Uninitialized);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        return {};
    }
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zip.constData() + inizio));
    z.avail_in = static_cast<uInt>(zip.size() - inizio);
    int esito = Z_OK;
    while (esito == Z_OK) {
        if (qsizetype(z.total_out) == uscita.size()) {
            uscita.resize(uscita.size() * 2);
        }
        z.next_out = reinterpret_cast<Bytef *>(uscita.data() + z.total_out);
        z.avail_out = static_cast<uInt>(uscita.size() - qsizetype(z.total_out));
        esito = inflate(&z, Z_NO_FLUSH);
    }
    uscita.resize(qsizetype(z.total_out));
    inflateEnd(&z);
    return esito == Z_STREAM_END ? uscita : QByteArray();
}

// Floor of an upload, per chart, summed over the charts.
struct FloorInvio
{
    double copia = 0, deflate = 0, base64 = 0, insert = 0;
    double copiaSenzaTransazione = 0; // not part of the floor: the same copy, a transaction per statement
    qint64 byteFile = 0, caratteri = 0;
    int cartelle = 0;
    double perCartella() const { return (copia + deflate + base64 + insert) / cartelle; }
};

// Floor of a download or of a merge, per package, summed over the packages.
struct FloorScarico
{
    double select = 0, decodifica = 0, inflate = 0, scrittura = 0;
    int pacchetti = 0;
    double perPacchetto() const { return (select + decodifica + inflate + scrittura) / pacchetti; }
};

// The server row of a published patient, as the plug-in leaves it: no chart yet.
bool pubblica(const QList<clsPaziente> &pazienti, qint32 idDatabase)
{
    AdminConnection admin;
    admin.exec(QStringLiteral("START TRANSACTION"));
    QSqlQuery q(admin.database());
    q.prepare(QStringLiteral("INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, IDDatabase, "
                             "Autorizzazioni) VALUES (?, ?, ?, ?, ?, ?, '01')"));
    for (const clsPaziente &p : pazienti) {
        for (const QVariant &v : {QVariant(p.KeyPaziente), QVariant(p.CF), QVariant(p.Cognome), QVariant(p.Nome),
                                  QVariant(CfTitolare), QVariant(idDatabase)}) {
            q.addBindValue(v);
        }
        if (!q.exec()) {
            avvisa(q.lastError().text());
            return false;
        }
    }
    return admin.exec(QStringLiteral("COMMIT"));
}

// One chart ten times the realistic size, through every road: ms of each step, its peak memory.
struct Grande
{
    qint64 righe = 0;            // rows of the large chart
    double righeRealistiche = 0; // rows of a published chart, on average
    double pacchetto = 0, invio = 0, scarico = 0, unione = 0;
    double piccoInvio = 0, piccoScarico = 0, piccoUnione = 0;
    qint64 righeUnite = 0; // rows the colleague changed
};

// One network on a freshly reset server: the owner and a colleague, the owner's generated archive.
class Rete
{
public:
    Rete(const QString &cartella, int pazienti, int pubblicati)
        : m_cartella(cartella), m_pazienti(pazienti), m_quanti(pubblicati)
    {}

    bool prepara()
    {
        QDir().mkpath(m_cartella);
        QString errore;
        if (!test::resetServer(&errore)) {
            avvisa(errore);
            return false;
        }
        if (!eseguiAdmin(QStringLiteral("INSERT INTO quor.tblmedici (CF, Cognome, Nome, Password, IDGruppo, "
                                        "Progressivo) VALUES (?, 'Rossi', 'Mario', ?, 1, 1), (?, 'Bianchi', 'Lucia', "
                                        "'{AES}b', 1, 2)"),
                         {CfTitolare, Password, CfCollega})) {
            return false;
        }
        AdminConnection admin;
        m_idTitolare =
            admin.scalar(QStringLiteral("SELECT ID FROM quor.tblmedici WHERE CF='%1'").arg(CfTitolare)).toInt();

        ImpostazioniServer s;
        s.host = test::TestServer::host();
        s.porta = QString::number(test::TestServer::port());
        if (!m_server.connetti(s, false)) {
            avvisa(m_server.ultimoErrore());
            return false;
        }
        m_sync.emplace();
        m_sync->Init(m_server);

        host::OpzioniGeneratore o;
        o.cf = CfTitolare;
        o.pazienti = m_pazienti;
        o.passwordSync = Password;
        o.righe = 1.0;
        m_archivio = m_cartella + QStringLiteral("/studio/Archivio.mdb");
        QDir().mkpath(m_cartella + QStringLiteral("/studio"));
        host::RiepilogoGeneratore riepilogo;
        QElapsedTimer t;
        t.start();
        if (!host::GeneraArchivio(m_archivio, o, &errore, &riepilogo)) {
            avvisa(errore);
            return false;
        }
        m_msGenerazione = msDa(t);
        m_righeArchivio = riepilogo.righe;

        // A run with nothing on the server gives the archive's list; active patients spread over it
        // are published.
        const Corsa elenco = sincronizza(*m_sync, m_archivio);
        if (!elenco.ok) {
            return false;
        }
        QList<clsPaziente> attivi;
        for (const clsPaziente &p : m_sync->PazientiLocali()) {
            if (p.Revocato == 0) {
                attivi << p;
            }
        }
        if (attivi.size() < m_quanti) {
            avvisa(QStringLiteral("only %1 active patients").arg(attivi.size()));
            return false;
        }
        for (int i = 0; i < m_quanti; ++i) {
            m_pubblicati << attivi.at(qsizetype(i) * attivi.size() / m_quanti);
        }
        return pubblica(m_pubblicati, m_idTitolare);
    }

    // The owner's first run: every published chart goes up.
    bool primaCorsa()
    {
        m_prima = sincronizza(*m_sync, m_archivio);
        if (!m_prima.ok || m_prima.errori != 0 || m_prima.conta(QStringLiteral("Invio di ")) != m_quanti) {
            avvisa(QStringLiteral("first run: %1 uploads, %2 errors")
                       .arg(m_prima.conta(QStringLiteral("Invio di ")))
                       .arg(m_prima.errori));
            return false;
        }
        return true;
    }

    // The first run again, after the server has forgotten every chart and stamp: the same uploads.
    bool ripetiPrimaCorsa()
    {
        m_primeCorse = {m_prima.totale};
        m_primeCpu = {m_prima.cpu};
        m_primePicchi = {m_prima.picco};
        for (int giro = 1; giro < GiriPrimaCorsa; ++giro) {
            if (!eseguiAdmin(QStringLiteral("UPDATE quor.tblanagrafica SET IDUpdate='' WHERE CFMedico=?"),
                             {CfTitolare}) ||
                !eseguiAdmin(QStringLiteral("DELETE FROM quor_%1.tblcartella").arg(m_idTitolare))) {
                return false;
            }
            const Corsa c = sincronizza(*m_sync, m_archivio);
            if (!c.ok || c.errori != 0 || c.conta(QStringLiteral("Invio di ")) != m_quanti) {
                avvisa(QStringLiteral("repeated first run: %1 uploads").arg(c.conta(QStringLiteral("Invio di "))));
                return false;
            }
            m_primeCorse << c.totale;
            m_primeCpu << c.cpu;
            m_primePicchi << c.picco;
        }
        return true;
    }

    // The engine's packing alone, on the same charts: the part of an upload spent in the package.
    bool pacchettiMotore()
    {
        Database archivio;
        if (!archivio.apri(m_archivio, true)) {
            avvisa(archivio.ultimoErrore().testo());
            return false;
        }
        StatoMotore stato;
        stato.archivio = &archivio;
        PacchettoCartella pacchetto(stato);
        pacchetto.CaricaListaTabelle(QStringLiteral(LANVERA_OUTPUT_DIR "/Cartella.sql"));
        QElapsedTimer t;
        t.start();
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            QString testo;
            if (!pacchetto.CreaCartella(p.ID, testo)) {
                avvisa(stato.messaggioErrore);
                return false;
            }
        }
        m_msPacchetto = msDa(t) / double(m_pubblicati.size());
        return true;
    }

    // Runs with nothing to do, several times.
    bool corseSenzaModifiche()
    {
        m_senzaModifiche.clear();
        m_cpuSenzaModifiche.clear();
        m_picchiSenzaModifiche.clear();
        for (int giro = 0; giro < GiriSenzaModifiche; ++giro) {
            const Corsa c = sincronizza(*m_sync, m_archivio);
            const int mosse = c.conta(QStringLiteral("Invio di ")) + c.conta(QStringLiteral("Scarico cartella di "));
            if (!c.ok || c.errori != 0 || mosse != 0) {
                avvisa(QStringLiteral("no-change run: %1 charts moved, %2 errors").arg(mosse).arg(c.errori));
                return false;
            }
            m_senzaModifiche << c.totale;
            m_cpuSenzaModifiche << c.cpu;
            m_picchiSenzaModifiche << c.picco;
        }
        return true;
    }

    // Floor of the no-change run: both lists read bare (every column the engine needs of a patient),
    // and each published patient's mark.
    double floorSenzaModifiche()
    {
        QList<double> tempi;
        for (int giro = 0; giro < GiriSenzaModifiche; ++giro) {
            QElapsedTimer t;
            t.start();
            qint64 n = 0;
            {
                QSqlQuery q(m_server.database());
                q.setForwardOnly(true);
                q.prepare(QStringLiteral("SELECT * FROM quor.tblanagrafica WHERE CFMedico=? ORDER BY Cognome,Nome"));
                q.addBindValue(CfTitolare);
                q.exec();
                while (q.next()) {
                    n += q.value(1).toString().size();
                }
            }
            {
                Database db;
                db.apri(m_archivio);
                QSqlQuery q(db.connessione());
                q.setForwardOnly(true);
                // the columns the engine needs of every patient: what it compares and what it sends
                q.exec(QStringLiteral(
                    "SELECT ID,GUID,Cognome,Nome,Tessera,CodiceFiscale,Sesso,Indirizzo,[Città],CAP,Provincia,"
                    "DataNascita,LuogoNascita,Telefono,USL,Medico,Proprio,"
                    "(SELECT Max(DataInizio) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID),"
                    "(SELECT Max(DataFine) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID),"
                    "(SELECT Motivo FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID ORDER BY ID DESC LIMIT 1),"
                    "(SELECT IDUpdate FROM QUOR_tblUpdate WHERE IDPaziente=tblAnagrafica.ID LIMIT 1)"
                    " FROM tblAnagrafica ORDER BY Cognome COLLATE NOCASE, Nome COLLATE NOCASE, ID"));
                const int colonne = q.record().count();
                while (q.next()) {
                    for (int i = 0; i < colonne; ++i) {
                        n += q.value(i).toString().size();
                    }
                }
                QSqlQuery stato(db.connessione());
                stato.setForwardOnly(true);
                stato.prepare(QStringLiteral("SELECT TagStato FROM tblAnagrafica2 WHERE IDPaziente=?"));
                for (const clsPaziente &p : std::as_const(m_pubblicati)) {
                    stato.bindValue(0, p.ID);
                    stato.exec();
                    n += stato.next() ? stato.value(0).toInt() : 0;
                    stato.finish();
                }
            }
            tempi << msDa(t);
            if (n < 0) {
                avvisa(QStringLiteral("unreachable"));
            }
        }
        return mediana(tempi);
    }

    // Floor of the uploads: for every published chart, its rows copied bare into a fresh file,
    // deflated, Base64-encoded and inserted with one statement into a chart table on the server.
    bool floorInvii()
    {
        Database archivio;
        if (!archivio.apri(m_archivio)) {
            avvisa(archivio.ultimoErrore().testo());
            return false;
        }
        m_tabelle = tabelleFloor(archivio, caricaLista());
        if (!m_server.usaDatabaseCartelle(DatabaseFloor) || !m_server.usaDatabaseRete()) {
            avvisa(m_server.ultimoErrore());
            return false;
        }
        const QString file = m_cartella + QStringLiteral("/floor-invio.mdb");
        QSqlQuery q(archivio.connessione());
        QSqlQuery inserisci(m_server.database());
        inserisci.prepare(
            QStringLiteral("INSERT INTO quor_%1.tblcartella (IDPaziente, Cartella) VALUES (?, ?)").arg(DatabaseFloor));
        // One chart's rows into a fresh file attached once; in one transaction, or with every
        // statement a transaction of its own (as a statement run through the archive layer is).
        const auto copia = [&](const clsPaziente &p, bool transazione) {
            QFile::remove(file);
            if (!esegui(q, QStringLiteral("ATTACH DATABASE '%1' AS f").arg(file)) ||
                !esegui(q, QStringLiteral("PRAGMA f.journal_mode=OFF")) ||
                !esegui(q, QStringLiteral("PRAGMA f.synchronous=OFF")) ||
                (transazione && !esegui(q, QStringLiteral("BEGIN")))) {
                return false;
            }
            for (const TabellaFloor &tabella : std::as_const(m_tabelle)) {
                if (!esegui(q, QStringLiteral("CREATE TABLE f.[%1] %2").arg(tabella.nome, tabella.definizione)) ||
                    !esegui(q, QStringLiteral("INSERT INTO f.[%1] SELECT * FROM main.[%1] WHERE %2")
                                   .arg(tabella.nome, tabella.condizione.arg(p.ID)))) {
                    return false;
                }
            }
            return (!transazione || esegui(q, QStringLiteral("COMMIT"))) &&
                   esegui(q, QStringLiteral("DETACH DATABASE f"));
        };
        m_floorInvio = {};
        QElapsedTimer t;
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            t.start();
            if (!copia(p, false)) {
                return false;
            }
            m_floorInvio.copiaSenzaTransazione += msDa(t);
        }
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            t.start();
            if (!copia(p, true)) {
                return false;
            }
            const QByteArray dati = leggiFile(file);
            m_floorInvio.copia += msDa(t);

            t.start();
            const QByteArray compresso = deflate(dati);
            m_floorInvio.deflate += msDa(t);

            t.start();
            const QByteArray testo = compresso.toBase64();
            m_floorInvio.base64 += msDa(t);

            t.start();
            inserisci.bindValue(0, p.KeyPaziente);
            inserisci.bindValue(1, QString::fromLatin1(testo));
            if (!inserisci.exec()) {
                avvisa(inserisci.lastError().text());
                return false;
            }
            m_floorInvio.insert += msDa(t);
            m_floorInvio.byteFile += dati.size();
            m_floorInvio.caratteri += testo.size();
            ++m_floorInvio.cartelle;
        }
        return true;
    }

    // 100 colleagues' packages, one changed diary row each, waiting on the server; then their floor
    // on a copy of the archive: each package read, decoded, inflated and its changed row applied.
    bool preparaModifiche()
    {
        const QString copiaCollega = m_cartella + QStringLiteral("/collega.mdb");
        QFile::remove(copiaCollega);
        if (!QFile::copy(m_archivio, copiaCollega)) {
            avvisa(QStringLiteral("cannot copy the archive"));
            return false;
        }
        Database copia;
        if (!copia.apri(copiaCollega)) {
            avvisa(copia.ultimoErrore().testo());
            return false;
        }
        // As the colleague's copy: every row as received, the changed ones marked.
        StatoMotore stato;
        stato.archivio = &copia;
        PacchettoCartella pacchetto(stato);
        if (!pacchetto.CaricaListaTabelle(QStringLiteral(LANVERA_OUTPUT_DIR "/Cartella.sql"))) {
            avvisa(stato.messaggioErrore);
            return false;
        }
        for (const clsTabelle &t : std::as_const(stato.tabelle)) {
            if (copia.esisteCampo(t.Tabella, QStringLiteral("ToSend")) &&
                !eseguiLocale(copia, QStringLiteral("UPDATE [%1] SET ToSend=-1").arg(t.Tabella))) {
                return false;
            }
        }
        const QString ultimaModifica = dao::TestoDataArchivio(QDateTime::currentDateTime().addSecs(3600));
        AdminConnection admin;
        QSqlQuery accoda(admin.database());
        accoda.prepare(QStringLiteral("INSERT INTO quor.tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, "
                                      "Modifiche) VALUES (?, ?, ?, ?)"));
        m_modificati.clear();
        m_guidModificati.clear();
        m_idModifiche.clear();
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            if (m_modificati.size() == PacchettiModifiche) {
                break;
            }
            QString guid;
            {
                dao::Recordset rs(copia);
                if (!rs.apri(QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"),
                             dao::Recordset::Tipo::SoloAvanti, {p.ID}) ||
                    rs.eof()) {
                    continue;
                }
                guid = rs.testo(QStringLiteral("GUID"));
            }
            QString testo;
            if (!eseguiLocale(copia,
                              QStringLiteral("UPDATE tblDiario SET ToSend=0, Diario=?, LastUpdate=? WHERE GUID=?"),
                              {QStringLiteral("Visto dal collega: terapia confermata."), ultimaModifica, guid}) ||
                !pacchetto.CreaCartella(p.ID, testo)) {
                avvisa(stato.messaggioErrore);
                return false;
            }
            for (const QVariant &v :
                 {QVariant(p.KeyPaziente), QVariant(CfCollega), QVariant(CfTitolare), QVariant(testo)}) {
                accoda.addBindValue(v);
            }
            if (!accoda.exec()) {
                avvisa(accoda.lastError().text());
                return false;
            }
            m_idModifiche << accoda.lastInsertId().toLongLong();
            m_modificati << p;
            m_guidModificati << guid;
        }
        if (m_modificati.size() != PacchettiModifiche) {
            avvisa(QStringLiteral("only %1 patients with a diary").arg(m_modificati.size()));
            return false;
        }
        copia.chiudi();
        QFile::remove(copiaCollega);
        return floorModifiche();
    }

    bool corsaModifiche()
    {
        m_corsaModifiche = sincronizza(*m_sync, m_archivio);
        AdminConnection admin;
        const int rimaste = admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblmodifiche")).toInt();
        Database db;
        db.apri(m_archivio, true);
        dao::Recordset rs(db);
        rs.apri(QStringLiteral("SELECT ModificatoDa FROM tblDiario WHERE GUID=?"), dao::Recordset::Tipo::SoloAvanti,
                {m_guidModificati.constFirst()});
        const QString autore = rs.eof() ? QString() : rs.testo(QStringLiteral("ModificatoDa"));
        if (!m_corsaModifiche.ok || m_corsaModifiche.errori != 0 ||
            m_corsaModifiche.conta(QStringLiteral("Aggiorno cartella di ")) != PacchettiModifiche ||
            m_corsaModifiche.conta(QStringLiteral("Invio di ")) != PacchettiModifiche || rimaste != 0 ||
            m_corsaModifiche.conta(QStringLiteral("Conflitto ")) != 0 || autore != QStringLiteral("Bianchi Lucia")) {
            avvisa(QStringLiteral("merge run: %1 merged, %2 sent back, %3 errors, %4 left on the server, author '%5'")
                       .arg(m_corsaModifiche.conta(QStringLiteral("Aggiorno cartella di ")))
                       .arg(m_corsaModifiche.conta(QStringLiteral("Invio di ")))
                       .arg(m_corsaModifiche.errori)
                       .arg(rimaste)
                       .arg(autore));
            return false;
        }
        return true;
    }

    // The second installation: an empty archive of the same doctor downloads every chart.
    bool corsaCasa()
    {
        QDir().mkpath(m_cartella + QStringLiteral("/casa"));
        const QString casa = m_cartella + QStringLiteral("/casa/Archivio.mdb");
        m_archivioCasa = casa;
        QString errore;
        if (!host::CreaArchivioVuoto(casa, &errore)) {
            avvisa(errore);
            return false;
        }
        {
            Database db;
            if (!db.apri(casa) ||
                !eseguiLocale(db, QStringLiteral("INSERT INTO tblMedico (IDRete, CodiceFiscale) VALUES (1, ?)"),
                              {CfTitolare}) ||
                !eseguiLocale(db,
                              QStringLiteral("INSERT INTO arcItems (Key, Item) VALUES ('QUOR.PasswordMedicoSync', ?)"),
                              {Password})) {
                return false;
            }
        }
        m_casa = sincronizza(*m_sync, casa);
        if (!m_casa.ok || m_casa.errori != 0 || m_casa.conta(QStringLiteral("Scarico cartella di ")) != m_quanti) {
            avvisa(QStringLiteral("second installation: %1 downloads, %2 errors")
                       .arg(m_casa.conta(QStringLiteral("Scarico cartella di ")))
                       .arg(m_casa.errori));
            return false;
        }
        return floorScarichi();
    }

    // Rows of one patient's chart, as the chart's tables select them.
    qint64 righeCartella(Database &archivio, qint32 id)
    {
        qint64 righe = 0;
        QSqlQuery q(archivio.connessione());
        for (const TabellaFloor &tabella : std::as_const(m_tabelle)) {
            if (q.exec(QStringLiteral("SELECT count(*) FROM main.[%1] WHERE %2")
                           .arg(tabella.nome, tabella.condizione.arg(id))) &&
                q.next()) {
                righe += q.value(0).toLongLong();
            }
        }
        return righe;
    }

    // A long-standing patient: his diary grown until his chart holds about 20,000 rows, packed,
    // sent, downloaded by the second installation, then every diary entry of it changed by a
    // colleague and merged back.
    bool cartellaGrande()
    {
        const clsPaziente p = m_pubblicati.constFirst();
        {
            Database db;
            if (!db.apri(m_archivio)) {
                avvisa(db.ultimoErrore().testo());
                return false;
            }
            double tutte = 0;
            for (const clsPaziente &x : std::as_const(m_pubblicati)) {
                tutte += double(righeCartella(db, x.ID));
            }
            m_grande.righeRealistiche = tutte / double(m_pubblicati.size());
            const qint64 aggiunte = RigheCartellaGrande - righeCartella(db, p.ID);
            const QString adesso = dao::TestoDataArchivio(QDateTime::currentDateTime());
            QSqlQuery q(db.connessione());
            q.prepare(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                "INSERT INTO tblDiario (GUID, IDPaziente, Data, Diario, LastUpdate, LastInsert, ToSend) "
                "SELECT '{' || hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-' || hex(randomblob(2)) || '-' || "
                "hex(randomblob(2)) || '-' || hex(randomblob(6)) || '}', ?, datetime('2001-01-01', '+' || i || ' "
                "hours'), "
                "'Controllo n. ' || i || ': pressione 130/85, terapia invariata, esami nei limiti; rivedere tra tre "
                "mesi.', "
                "?, ?, 0 FROM n"));
            for (const QVariant &v : {QVariant(aggiunte), QVariant(p.ID), QVariant(adesso), QVariant(adesso)}) {
                q.addBindValue(v);
            }
            if (!q.exec() ||
                !eseguiLocale(db, QStringLiteral("UPDATE tblAnagrafica2 SET TagStato=1 WHERE IDPaziente=?"), {p.ID})) {
                avvisa(q.lastError().text());
                return false;
            }
            m_grande.righe = righeCartella(db, p.ID);
        }
        {
            Database archivio;
            if (!archivio.apri(m_archivio, true)) {
                return false;
            }
            StatoMotore stato;
            stato.archivio = &archivio;
            PacchettoCartella pacchetto(stato);
            pacchetto.CaricaListaTabelle(QStringLiteral(LANVERA_OUTPUT_DIR "/Cartella.sql"));
            QList<double> tempi;
            for (int i = 0; i < 3; ++i) {
                QElapsedTimer t;
                t.start();
                QString testo;
                if (!pacchetto.CreaCartella(p.ID, testo)) {
                    avvisa(stato.messaggioErrore);
                    return false;
                }
                tempi << msDa(t);
            }
            m_grande.pacchetto = mediana(tempi);
        }
        const Corsa invio = sincronizza(*m_sync, m_archivio);
        const Corsa scarico = sincronizza(*m_sync, m_archivioCasa);
        if (invio.conta(QStringLiteral("Invio di ")) != 1 ||
            scarico.conta(QStringLiteral("Scarico cartella di ")) != 1 || invio.errori + scarico.errori != 0) {
            avvisa(QStringLiteral("large chart: %1 uploads, %2 downloads")
                       .arg(invio.conta(QStringLiteral("Invio di ")))
                       .arg(scarico.conta(QStringLiteral("Scarico cartella di "))));
            return false;
        }
        m_grande.invio = invio.giro;
        m_grande.piccoInvio = invio.picco;
        m_grande.scarico = scarico.giro;
        m_grande.piccoScarico = scarico.picco;

        // The colleague's copy: every row as received, every diary entry of the chart changed.
        const QString copiaCollega = m_cartella + QStringLiteral("/collega-grande.mdb");
        QFile::remove(copiaCollega);
        QString testo;
        {
            QFile::copy(m_archivio, copiaCollega);
            Database copia;
            if (!copia.apri(copiaCollega)) {
                return false;
            }
            StatoMotore stato;
            stato.archivio = &copia;
            PacchettoCartella pacchetto(stato);
            pacchetto.CaricaListaTabelle(QStringLiteral(LANVERA_OUTPUT_DIR "/Cartella.sql"));
            for (const clsTabelle &t : std::as_const(stato.tabelle)) {
                if (copia.esisteCampo(t.Tabella, QStringLiteral("ToSend")) &&
                    !eseguiLocale(copia, QStringLiteral("UPDATE [%1] SET ToSend=-1").arg(t.Tabella))) {
                    return false;
                }
            }
            if (!eseguiLocale(copia,
                              QStringLiteral("UPDATE tblDiario SET ToSend=0, Diario=Diario || ' Rivisto dal collega.', "
                                             "LastUpdate=? WHERE IDPaziente=?"),
                              {dao::TestoDataArchivio(QDateTime::currentDateTime().addSecs(3600)), p.ID})) {
                return false;
            }
            m_grande.righeUnite = copia.righeInteressate();
            if (!pacchetto.CreaCartella(p.ID, testo)) {
                avvisa(stato.messaggioErrore);
                return false;
            }
        }
        QFile::remove(copiaCollega);
        if (!eseguiAdmin(QStringLiteral("INSERT INTO quor.tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, "
                                        "Modifiche) VALUES (?, ?, ?, ?)"),
                         {p.KeyPaziente, CfCollega, CfTitolare, testo})) {
            return false;
        }
        const Corsa unione = sincronizza(*m_sync, m_archivio);
        if (unione.conta(QStringLiteral("Aggiorno cartella di ")) != 1 || unione.errori != 0) {
            avvisa(QStringLiteral("large chart: merge failed"));
            return false;
        }
        m_grande.unione = unione.modifiche;
        m_grande.piccoUnione = unione.picco;
        return true;
    }

    const QList<clsPaziente> &pubblicati() const { return m_pubblicati; }
    double msGenerazione() const { return m_msGenerazione; }
    qint64 righeArchivio() const { return m_righeArchivio; }
    const Corsa &prima() const { return m_prima; }
    const Corsa &modifiche() const { return m_corsaModifiche; }
    const Corsa &casa() const { return m_casa; }
    double primaMediana() const { return mediana(m_primeCorse); }
    double primaCpuMediana() const { return mediana(m_primeCpu); }
    double senzaModifiche() const { return mediana(m_senzaModifiche); }
    double msPacchetto() const { return m_msPacchetto; }
    double msApertura() const { return m_msApertura; }
    double cpuSenzaModifiche() const { return mediana(m_cpuSenzaModifiche); }
    double primaPicco() const { return mediana(m_primePicchi); }
    double piccoSenzaModifiche() const { return mediana(m_picchiSenzaModifiche); }
    const Grande &grande() const { return m_grande; }
    const FloorInvio &floorInvio() const { return m_floorInvio; }
    const FloorScarico &floorModificheMisurato() const { return m_floorModifiche; }
    const FloorScarico &floorScarico() const { return m_floorScarico; }

    // Mean length of the engine's packages on the server.
    double caratteriPacchetto()
    {
        AdminConnection admin;
        return admin.scalar(QStringLiteral("SELECT avg(length(Cartella)) FROM quor_%1.tblcartella").arg(m_idTitolare))
            .toDouble();
    }

private:
    static QList<clsTabelle> caricaLista()
    {
        StatoMotore stato;
        PacchettoCartella pacchetto(stato);
        pacchetto.CaricaListaTabelle(QStringLiteral(LANVERA_OUTPUT_DIR "/Cartella.sql"));
        return stato.tabelle;
    }

    // The part of a download or merge floor after the package is in hand: decoded, inflated,
    // written, attached to the target, its rows applied in one transaction.
    bool applica(QSqlQuery &q, const QString &testo, const QString &file, const std::function<bool()> &righe,
                 FloorScarico &floor)
    {
        QElapsedTimer t;
        t.start();
        const QByteArray zip = QByteArray::fromBase64(testo.toLatin1());
        floor.decodifica += msDa(t);

        t.start();
        const QByteArray dati = inflateVoce(zip);
        floor.inflate += msDa(t);
        if (dati.isEmpty()) {
            avvisa(QStringLiteral("cannot inflate a package"));
            return false;
        }

        t.start();
        if (!scriviFile(file, dati) || !esegui(q, QStringLiteral("ATTACH DATABASE '%1' AS p").arg(file)) ||
            !esegui(q, QStringLiteral("BEGIN")) || !righe() || !esegui(q, QStringLiteral("COMMIT")) ||
            !esegui(q, QStringLiteral("DETACH DATABASE p"))) {
            return false;
        }
        floor.scrittura += msDa(t);
        ++floor.pacchetti;
        return true;
    }

    bool floorModifiche()
    {
        const QString bersaglio = m_cartella + QStringLiteral("/floor-modifiche.mdb");
        QFile::remove(bersaglio);
        QFile::copy(m_archivio, bersaglio);
        Database db;
        if (!db.apri(bersaglio)) {
            avvisa(db.ultimoErrore().testo());
            return false;
        }
        QSqlQuery q(db.connessione());
        QSqlQuery leggi(m_server.database());
        leggi.setForwardOnly(true);
        leggi.prepare(QStringLiteral("SELECT Modifiche FROM quor.tblmodifiche WHERE ID=?"));
        const QString file = m_cartella + QStringLiteral("/floor-modifica.mdb");
        m_floorModifiche = {};
        for (const qint64 id : std::as_const(m_idModifiche)) {
            QElapsedTimer t;
            t.start();
            leggi.bindValue(0, id);
            if (!leggi.exec() || !leggi.next()) {
                avvisa(leggi.lastError().text());
                return false;
            }
            const QString testo = leggi.value(0).toString();
            leggi.finish();
            m_floorModifiche.select += msDa(t);
            const auto riga = [&] {
                // the package's tables have no index: the changed rows are found in it, the local
                // ones through the archive's GUID index
                if (!esegui(q, QStringLiteral("UPDATE main.tblDiario SET (Diario, LastUpdate, ModificatoDa) = "
                                              "(SELECT x.Diario, x.LastUpdate, 'Bianchi Lucia' FROM p.tblDiario AS x "
                                              "WHERE x.GUID=main.tblDiario.GUID) "
                                              "WHERE GUID IN (SELECT GUID FROM p.tblDiario WHERE ToSend=0)"))) {
                    return false;
                }
                if (q.numRowsAffected() != 1) {
                    avvisa(QStringLiteral("the merge floor changed %1 rows").arg(q.numRowsAffected()));
                    return false;
                }
                return true;
            };
            if (!applica(q, testo, file, riga, m_floorModifiche)) {
                return false;
            }
        }
        return true;
    }

    bool floorScarichi()
    {
        const QString bersaglio = m_cartella + QStringLiteral("/floor-casa.mdb");
        QString errore;
        if (!host::CreaArchivioVuoto(bersaglio, &errore)) {
            avvisa(errore);
            return false;
        }
        Database db;
        if (!db.apri(bersaglio)) {
            avvisa(db.ultimoErrore().testo());
            return false;
        }
        QSqlQuery q(db.connessione());
        QSqlQuery leggi(m_server.database());
        leggi.setForwardOnly(true);
        leggi.prepare(QStringLiteral("SELECT Cartella FROM quor_%1.tblcartella WHERE IDPaziente=?").arg(m_idTitolare));
        const QString file = m_cartella + QStringLiteral("/floor-scarico.mdb");
        m_floorScarico = {};
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            QElapsedTimer t;
            t.start();
            leggi.bindValue(0, p.KeyPaziente);
            if (!leggi.exec() || !leggi.next()) {
                avvisa(leggi.lastError().text());
                return false;
            }
            const QString testo = leggi.value(0).toString();
            leggi.finish();
            m_floorScarico.select += msDa(t);
            const auto righe = [&] {
                for (const TabellaFloor &tabella : std::as_const(m_tabelle)) {
                    if (!esegui(q, QStringLiteral("INSERT INTO main.[%1] SELECT * FROM p.[%1]").arg(tabella.nome))) {
                        return false;
                    }
                }
                return true;
            };
            if (!applica(q, testo, file, righe, m_floorScarico)) {
                return false;
            }
        }
        return apertureMotore(leggi);
    }

    // The engine's unpacking alone, on the same packages: the part of a download spent before the
    // merge begins.
    bool apertureMotore(QSqlQuery &leggi)
    {
        StatoMotore stato;
        PacchettoCartella pacchetto(stato);
        double totale = 0;
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            leggi.bindValue(0, p.KeyPaziente);
            if (!leggi.exec() || !leggi.next()) {
                avvisa(leggi.lastError().text());
                return false;
            }
            const QString testo = leggi.value(0).toString();
            leggi.finish();
            QElapsedTimer t;
            t.start();
            Database db;
            if (!pacchetto.ApriPacchetto(testo, QStringLiteral("Importa Cartella"), db)) {
                avvisa(stato.messaggioErrore);
                return false;
            }
            pacchetto.ChiudiPacchetto(db);
            totale += msDa(t);
        }
        m_msApertura = totale / double(m_pubblicati.size());
        return true;
    }

    QString m_cartella;
    int m_pazienti;
    int m_quanti;
    int m_idTitolare = 0;
    ConnessioneServer m_server;
    std::optional<clsSincronizza> m_sync;
    QString m_archivio;
    double m_msGenerazione = 0;
    qint64 m_righeArchivio = 0;
    QList<clsPaziente> m_pubblicati;
    QList<TabellaFloor> m_tabelle;

    Corsa m_prima;
    QList<double> m_primeCorse;
    QList<double> m_primeCpu;
    double m_msPacchetto = 0;
    double m_msApertura = 0;
    QList<double> m_senzaModifiche;
    QList<double> m_cpuSenzaModifiche;
    QList<double> m_primePicchi;
    QList<double> m_picchiSenzaModifiche;
    QString m_archivioCasa;
    Grande m_grande;
    Corsa m_corsaModifiche;
    Corsa m_casa;
    FloorInvio m_floorInvio;
    FloorScarico m_floorModifiche;
    FloorScarico m_floorScarico;

    QList<clsPaziente> m_modificati;
    QStringList m_guidModificati;
    QList<qint64> m_idModifiche;
};

void riga(const char *fase, int cartelle, const Corsa &corsa, double perCartella, double floor)
{
    std::printf("%-34s %6d %10.0f %9.0f %10.2f %10.2f %7.1f %8.0f\n", fase, cartelle, corsa.totale, corsa.cpu,
                perCartella, floor, perCartella / floor, corsa.picco);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("TMPDIR", dir.path().toUtf8());
    // The engine finds its table list beside the programs of this build.
    ImpostaCartellaProgramma(QStringLiteral(LANVERA_OUTPUT_DIR));

    // A server of its own unless one is named.
    ServerBench privato(dir.filePath(QStringLiteral("server")));
    if (!privato.pronto()) {
        return 1;
    }

    // Half size first: the first and the no-change runs only.
    QElapsedTimer tutto;
    tutto.start();
    double primaMeta = 0;
    double primaCpuMeta = 0;
    double senzaModificheMeta = 0;
    double senzaModificheCpuMeta = 0;
    double primaPiccoMeta = 0;
    double senzaModifichePiccoMeta = 0;
    {
        Rete meta(dir.filePath(QStringLiteral("meta")), 1000, 250);
        if (!meta.prepara() || !meta.primaCorsa() || !meta.ripetiPrimaCorsa() || !meta.corseSenzaModifiche()) {
            return 1;
        }
        primaMeta = meta.primaMediana();
        senzaModificheMeta = meta.senzaModifiche();
        primaCpuMeta = meta.primaCpuMediana();
        senzaModificheCpuMeta = meta.cpuSenzaModifiche();
        primaPiccoMeta = meta.primaPicco();
        senzaModifichePiccoMeta = meta.piccoSenzaModifiche();
    }

    Rete rete(dir.filePath(QStringLiteral("intera")), 2000, 500);
    if (!rete.prepara() || !rete.primaCorsa() || !rete.ripetiPrimaCorsa() || !rete.floorInvii() ||
        !rete.pacchettiMotore() || !rete.corseSenzaModifiche()) {
        return 1;
    }
    const double floorSenzaModifiche = rete.floorSenzaModifiche();
    if (!rete.preparaModifiche() || !rete.corsaModifiche() || !rete.corsaCasa()) {
        return 1;
    }
    const double caratteriPacchetto = rete.caratteriPacchetto();
    if (!rete.cartellaGrande()) {
        return 1;
    }

    const int n = int(rete.pubblicati().size());
    const FloorInvio &fi = rete.floorInvio();
    const FloorScarico &fm = rete.floorModificheMisurato();
    const FloorScarico &fs = rete.floorScarico();
    std::printf(
        "Whole synchronisation runs: archive of 2000 patients (%lld rows, generated in %.0f ms), %d published\n",
        static_cast<long long>(rete.righeArchivio()), rete.msGenerazione(), n);
    std::printf("chart package: engine %.0f characters on average; floor copy %.0f bytes, deflated and Base64 %.0f "
                "characters\n\n",
                caratteriPacchetto, double(fi.byteFile) / fi.cartelle, double(fi.caratteri) / fi.cartelle);
    std::printf("%-34s %6s %10s %9s %10s %10s %7s %8s\n", "phase", "charts", "total ms", "cpu ms", "ms/chart",
                "floor ms", "ratio", "peak MB");
    riga("owner's first run (uploads)", n, rete.prima(), rete.prima().giro / n, fi.perCartella());
    std::printf("%-34s %6d %10.0f %9.0f %10s %10.0f %7.1f %8.0f\n", "no-change run (median of 5)", n,
                rete.senzaModifiche(), rete.cpuSenzaModifiche(), "-", floorSenzaModifiche,
                rete.senzaModifiche() / floorSenzaModifiche, rete.piccoSenzaModifiche());
    riga("merge of modification packages", fm.pacchetti, rete.modifiche(), rete.modifiche().modifiche / fm.pacchetti,
         fm.perPacchetto());
    riga("second installation (downloads)", n, rete.casa(), rete.casa().giro / n, fs.perPacchetto());
    std::printf("\nms/chart is the patient walk (uploads, downloads) or the merge step divided by its charts; "
                "the merge run\nalso sends the 100 merged charts back (%.0f ms of its total).\n",
                rete.modifiche().giro);
    std::printf("no-change run over 2000 patients: %.0f ms (aim: under 1000 ms) -- %s\n", rete.senzaModifiche(),
                rete.senzaModifiche() < 1000 ? "met" : "NOT met");

    std::printf("\nfloors, ms per chart\n");
    std::printf("  upload:   copy (one transaction) %.2f, deflate %.2f, Base64 %.2f, INSERT %.2f\n",
                fi.copia / fi.cartelle, fi.deflate / fi.cartelle, fi.base64 / fi.cartelle, fi.insert / fi.cartelle);
    std::printf("  (the same copy with a transaction per statement: %.2f)\n", fi.copiaSenzaTransazione / fi.cartelle);
    std::printf("  merge:    SELECT %.2f, decode %.2f, inflate %.2f, write and UPDATE %.2f\n", fm.select / fm.pacchetti,
                fm.decodifica / fm.pacchetti, fm.inflate / fm.pacchetti, fm.scrittura / fm.pacchetti);
    std::printf("  download: SELECT %.2f, decode %.2f, inflate %.2f, write and copy back %.2f\n",
                fs.select / fs.pacchetti, fs.decodifica / fs.pacchetti, fs.inflate / fs.pacchetti,
                fs.scrittura / fs.pacchetti);
    std::printf("  no-change: both lists read bare, the columns the engine needs, and one TagStato per published "
                "patient\n");
    std::printf("engine parts, ms per chart, same charts\n");
    std::printf("  packing alone (CreaCartella) %.2f of the %.2f per upload\n", rete.msPacchetto(),
                rete.prima().giro / n);
    std::printf("  unpacking alone (ApriPacchetto) %.2f of the %.2f per download\n", rete.msApertura(),
                rete.casa().giro / n);

    std::printf("\n%-38s %14s %14s %7s\n", "growth", "1000 patients", "2000 patients", "ratio");
    std::printf("%-38s %14s %14s\n", "", "250 published", "500 published");
    // the first run, then twice again after the server has forgotten every chart and stamp
    std::printf("%-38s %14.0f %14.0f %7.2f\n", "first run, total ms (median of 3)", primaMeta, rete.primaMediana(),
                rete.primaMediana() / primaMeta);
    std::printf("%-38s %14.0f %14.0f %7.2f\n", "first run, cpu ms (median of 3)", primaCpuMeta, rete.primaCpuMediana(),
                rete.primaCpuMediana() / primaCpuMeta);
    std::printf("%-38s %14.0f %14.0f %7.2f\n", "no-change run, total ms (median of 5)", senzaModificheMeta,
                rete.senzaModifiche(), rete.senzaModifiche() / senzaModificheMeta);
    std::printf("%-38s %14.0f %14.0f %7.2f\n", "no-change run, cpu ms (median of 5)", senzaModificheCpuMeta,
                rete.cpuSenzaModifiche(), rete.cpuSenzaModifiche() / senzaModificheCpuMeta);
    std::printf("%-38s %14.0f %14.0f %7.2f\n", "first run, peak MB (median of 3)", primaPiccoMeta, rete.primaPicco(),
                rete.primaPicco() / primaPiccoMeta);
    std::printf("%-38s %14.0f %14.0f %7.2f\n", "no-change run, peak MB (median of 5)", senzaModifichePiccoMeta,
                rete.piccoSenzaModifiche(), rete.piccoSenzaModifiche() / senzaModifichePiccoMeta);

    const Grande &g = rete.grande();
    const double realistica = g.righeRealistiche;
    const auto perRiga = [](double ms, double righe) { return righe > 0 ? ms * 1000.0 / righe : 0.0; };
    std::printf("\nlarge chart: %lld rows (a published chart holds %.0f on average); the merge brings %lld changed "
                "diary entries\n",
                static_cast<long long>(g.righe), realistica, static_cast<long long>(g.righeUnite));
    std::printf("%-34s %10s %10s %18s %8s\n", "step", "ms", "us/row", "us/row realistic", "peak MB");
    std::printf("%-34s %10.1f %10.2f %18.2f %8s\n", "pack (CreaCartella)", g.pacchetto, perRiga(g.pacchetto, g.righe),
                perRiga(rete.msPacchetto(), realistica), "-");
    std::printf("%-34s %10.1f %10.2f %18.2f %8.0f\n", "upload (patient walk)", g.invio, perRiga(g.invio, g.righe),
                perRiga(rete.prima().giro / n, realistica), g.piccoInvio);
    std::printf("%-34s %10.1f %10.2f %18.2f %8.0f\n", "download (patient walk)", g.scarico, perRiga(g.scarico, g.righe),
                perRiga(rete.casa().giro / n, realistica), g.piccoScarico);
    std::printf("%-34s %10.1f %10.2f %18s %8.0f\n", "merge (merge step)", g.unione,
                perRiga(g.unione, double(g.righeUnite)), "-", g.piccoUnione);
    std::printf("\nwhole benchmark: %.0f s\n", msDa(tutto) / 1000);
    return 0;
}
