// A colleague's side of a shared chart through the real host and the real plug-in: opening a chart
// of about 2,000 rows in the network archive (operation 4: fetch, decode, unzip, copy) and sending
// back 50 changed rows (operation 5: pack and store), beside the floor of the same work done
// directly in the same run. Each figure is the median over several host runs of the time the host
// itself measured for the line that does it ("avanti 1" up to the chart window, "chiudi-cartella"
// up to the end of the send-back), operation window and server login included.

#include "ConnessioneServer.h"
#include "Database.h"
#include "ListaPazienti.h"
#include "Module1.h"
#include "PacchettoCartella.h"
#include "ServerBench.h"
#include "TestServer.h"
#include "clsBase64.h"
#include "clsSincronizza.h"
#include "modArchivio.h"
#include "modArchivioHost.h"
#include "modCartelle.h"
#include "modGeneratore.h"
#include "modIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <zip.h>

using namespace lanvera;
using lanvera::test::AdminConnection;

namespace {

const QString CfRossi = QStringLiteral("RSSMRA70A01H501U");
const QString CfBianchi = QStringLiteral("BNCLCU65B41F205X");
const QString Password = QStringLiteral("Bench-2026");
constexpr int Ripetizioni = 7;
constexpr int Cambiate = 50;

double mediana(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

bool fallisci(const QString &testo)
{
    std::fprintf(stderr, "bench: %s\n", qPrintable(testo));
    return false;
}

class Scambio
{
public:
    explicit Scambio(const QString &cartella) : m_cartella(cartella) {}

    bool prepara()
    {
        QString errore;
        if (!test::resetServer(&errore)) {
            return fallisci(errore);
        }
        const QString cifrata = Module1::CifraPassword(Password);
        AdminConnection admin;
        QSqlQuery q(admin.database());
        q.prepare(QStringLiteral("INSERT INTO quor.tblmedici (CF, Cognome, Nome, Password, IDGruppo, Progressivo) "
                                 "VALUES (?, 'Rossi', 'Mario', ?, 1, 1), (?, 'Bianchi', 'Lucia', ?, 1, 2)"));
        for (const QVariant &v : {QVariant(CfRossi), QVariant(cifrata), QVariant(CfBianchi), QVariant(cifrata)}) {
            q.addBindValue(v);
        }
        if (!q.exec()) {
            return fallisci(q.lastError().text());
        }
        m_idRossi = admin.scalar(QStringLiteral("SELECT ID FROM quor.tblmedici WHERE CF='%1'").arg(CfRossi)).toInt();

        // Rossi's archive: one patient with a chart of about 2,000 rows, published for Bianchi.
        host::OpzioniGeneratore o;
        o.cf = CfRossi;
        o.pazienti = 1;
        o.righe = 20;
        o.quotaRevocati = o.quotaProprio = o.quotaDaCollega = 0;
        o.passwordSync = cifrata;
        m_studio = m_cartella + QStringLiteral("/Rossi.mdb");
        if (!host::GeneraArchivio(m_studio, o, &errore)) {
            return fallisci(errore);
        }
        dao::Database studio;
        ListaPazienti lista;
        dao::Errore e;
        if (!studio.apri(m_studio) ||
            !clsSincronizza::LeggiPazientiArchivio(studio, CfRossi, QDate::currentDate(), lista, {}, &e) ||
            lista.size() != 1) {
            return fallisci(QStringLiteral("the generated archive has no network patient"));
        }
        const clsPaziente p = lista.pazienti().first();
        m_cognome = p.Cognome;
        // Every row of the patient's chart: the tables that carry his ID, and his own row.
        QSqlQuery righe(studio.connessione());
        righe.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
        QStringList tabelle;
        while (righe.next()) {
            tabelle << righe.value(0).toString();
        }
        m_righe = 1;
        for (const QString &t : std::as_const(tabelle)) {
            QSqlQuery c(studio.connessione());
            if (studio.esisteCampo(t, QStringLiteral("IDPaziente")) &&
                c.exec(QStringLiteral("SELECT count(*) FROM [%1] WHERE IDPaziente=%2").arg(t).arg(p.ID)) && c.next()) {
                m_righe += c.value(0).toLongLong();
            }
        }
        studio.chiudi();
        QSqlQuery riga(admin.database());
        riga.prepare(QStringLiteral("INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, "
                                    "IDDatabase, Autorizzazioni) VALUES (?, ?, ?, ?, ?, ?, '01')"));
        for (const QVariant &v : {QVariant(p.KeyPaziente), QVariant(p.CF), QVariant(p.Cognome), QVariant(p.Nome),
                                  QVariant(CfRossi), QVariant(m_idRossi)}) {
            riga.addBindValue(v);
        }
        if (!riga.exec()) {
            return fallisci(riga.lastError().text());
        }
        ImpostazioniServer s;
        s.host = test::TestServer::host();
        s.porta = QString::number(test::TestServer::port());
        ConnessioneServer server;
        if (!server.connetti(s, false)) {
            return fallisci(server.ultimoErrore());
        }
        clsSincronizza sync;
        sync.Init(server);
        if (!sync.Sincronizza(m_studio)) {
            return fallisci(QStringLiteral("Sync did not publish the chart: ") + sync.MessaggioErrore());
        }
        m_chiave = p.KeyPaziente;

        // Bianchi's computer: the host and the plug-in with their files.
        m_programmi = m_cartella + QStringLiteral("/Clinora");
        const QString plugin = m_programmi + QStringLiteral("/Plugins/plgLanvera");
        QDir().mkpath(plugin);
        const QString origine = QStringLiteral(LANVERA_OUTPUT_DIR);
        QFile::copy(origine + QStringLiteral("/clinora-host"), m_programmi + QStringLiteral("/clinora-host"));
        for (const char *nome : {"libplgLanvera.so", "plgLanvera.ini", "System.mdw", "Cartella.sql", "ClinoraTemp.mdb",
                                 "QUOR_SATPE_1.xml"}) {
            QFile::copy(origine + QLatin1Char('/') + QLatin1String(nome),
                        plugin + QLatin1Char('/') + QLatin1String(nome));
        }
        const QString ini = plugin + QStringLiteral("/plgLanvera.ini");
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
        ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host"), s.host);
        ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Port"), s.porta);
        m_bianchi = m_cartella + QStringLiteral("/Bianchi.mdb");
        dao::Database b;
        if (!host::CreaArchivioVuoto(m_bianchi, &errore) || !b.apri(m_bianchi) ||
            !b.esegui(QStringLiteral("INSERT INTO tblMedico (IDRete, CodiceFiscale) VALUES (1, ?)"), {CfBianchi}) ||
            !b.esegui(QStringLiteral("INSERT INTO arcItems ([Key], Item) VALUES ('QUOR.PasswordMedico', ?)"),
                      {cifrata})) {
            return fallisci(QStringLiteral("Bianchi's archive: ") + errore + b.ultimoErrore().testo());
        }
        return true;
    }

    // One host run of the script; the times it printed for its timed lines, empty when it failed.
    QList<double> host(const QString &script)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_cartella + QStringLiteral("/dati"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(m_programmi + QStringLiteral("/clinora-host"),
                {QStringLiteral("--archivio"), m_bianchi, QStringLiteral("--script"), QStringLiteral("-")});
        p.write(script.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(300000);
        const QByteArray uscita = p.readAllStandardOutput();
        if (p.exitCode() != 0 || uscita.contains("ERRORE") || uscita.contains("MESSAGGIO")) {
            fallisci(QStringLiteral("host: ") + QString::fromUtf8(uscita));
            return {};
        }
        QList<double> tempi;
        for (const QByteArray &riga : uscita.split('\n')) {
            if (riga.startsWith("TEMPO ")) {
                tempi << riga.mid(6).toDouble();
            }
        }
        return tempi;
    }

    // The two operations, each timed by the host around the line that starts it.
    bool misura()
    {
        QString script = QStringLiteral("medico %1\ncerca %2\ncronometra\navanti 1\n").arg(CfRossi, m_cognome);
        for (int i = 0; i < Cambiate; ++i) {
            script += QStringLiteral("diario riga %1\n").arg(i);
        }
        script += QStringLiteral("cronometra\nchiudi-cartella\n");
        QList<double> apri, invio;
        for (int i = 0; i < Ripetizioni; ++i) {
            const QList<double> tempi = host(script);
            if (tempi.size() != 2) {
                return fallisci(QStringLiteral("the host did not time both lines"));
            }
            apri << tempi.at(0);
            invio << tempi.at(1);
        }
        m_apertura = mediana(apri);
        m_invio = mediana(invio);
        AdminConnection admin;
        admin.exec(QStringLiteral("DELETE FROM quor.tblmodifiche"));
        return true;
    }

    // The same work done directly: fetch, decode, unzip, write, copy into a fresh archive with the
    // doctor's own tables from his archive; then pack the changed rows and store them.
    bool floor()
    {
        AdminConnection admin;
        QList<double> apertura, invio;
        for (int i = 0; i < Ripetizioni; ++i) {
            QElapsedTimer t;
            t.start();
            QSqlQuery q(admin.database());
            q.prepare(QStringLiteral("SELECT Cartella FROM quor_%1.tblcartella WHERE IDPaziente=?").arg(m_idRossi));
            q.addBindValue(m_chiave);
            if (!q.exec() || !q.next()) {
                return fallisci(q.lastError().text());
            }
            QByteArray zip;
            clsBase64().Base64Decoder(q.value(0).toString().toLatin1(), zip);
            zip_error_t ze;
            zip_error_init(&ze);
            zip_source_t *src = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &ze);
            zip_t *archivio = zip_open_from_source(src, ZIP_RDONLY, &ze);
            zip_stat_t st;
            zip_stat_index(archivio, 0, 0, &st);
            QByteArray mdb(qsizetype(st.size), Qt::Uninitialized);
            zip_file_t *voce = zip_fopen_index(archivio, 0, 0);
            zip_fread(voce, mdb.data(), st.size);
            zip_fclose(voce);
            zip_discard(archivio);
            const QString pacchetto = m_cartella + QStringLiteral("/floor.mdb");
            const QString rete = m_cartella + QStringLiteral("/floor-rete.mdb");
            QFile::remove(pacchetto);
            QFile::remove(rete);
            QFile f(pacchetto);
            f.open(QIODevice::WriteOnly);
            f.write(mdb);
            f.close();
            QFile::copy(QStringLiteral(LANVERA_OUTPUT_DIR "/ClinoraTemp.mdb"), rete);
            {
                dao::Database db;
                db.apri(rete);
                QSqlQuery c(db.connessione());
                c.exec(QStringLiteral("ATTACH DATABASE '%1' AS p").arg(pacchetto));
                c.exec(QStringLiteral("ATTACH DATABASE '%1' AS h").arg(m_bianchi));
                c.exec(QStringLiteral("BEGIN"));
                // The doctor's own tables from his archive, as the host brings them.
                for (const char *t : {"arcItems", "tblImpostazioni", "tblMacro", "tblMedico", "tblNote",
                                      "tblSetupUtente", "tblSottomacro", "tblUtenti", "tblValoriImpostazioni",
                                      "SOLE_tblConfig", "SOLE_tblIDPrestazione", "tblRicetteStampate",
                                      "tblPrescrizioniRicetta"}) {
                    c.exec(QStringLiteral("DELETE FROM main.[%1]").arg(QLatin1String(t)));
                    c.exec(QStringLiteral("INSERT INTO main.[%1] SELECT * FROM h.[%1]").arg(QLatin1String(t)));
                }
                QSqlQuery tabelle(db.connessione());
                tabelle.exec(QStringLiteral("SELECT name FROM p.sqlite_master WHERE type='table'"));
                QStringList nomi;
                while (tabelle.next()) {
                    nomi << tabelle.value(0).toString();
                }
                for (const QString &n : nomi) {
                    c.exec(QStringLiteral("INSERT INTO main.[%1] SELECT * FROM p.[%1]").arg(n));
                }
                c.exec(QStringLiteral("COMMIT"));
                c.exec(QStringLiteral("DETACH DATABASE p"));
                c.exec(QStringLiteral("DETACH DATABASE h"));
            }
            apertura << double(t.nsecsElapsed()) / 1e6;

            // 50 changed rows, packed and stored.
            {
                dao::Database db;
                db.apri(rete);
                db.esegui(
                    QStringLiteral("UPDATE tblDiario SET ToSend=0 WHERE ID IN (SELECT ID FROM tblDiario LIMIT %1)")
                        .arg(Cambiate));
                QElapsedTimer u;
                u.start();
                StatoMotore stato;
                stato.archivio = &db;
                QString testo;
                PacchettoCartella pc(stato);
                pc.CreaPacchetto(
                    QStringLiteral("Crea Modifiche"),
                    [&db](const QString &file, QString &) {
                        const bool ok = db.esegui(
                            QStringLiteral(
                                "SELECT [tblDiario].* INTO [tblDiario] IN \"%1\" FROM [tblDiario] WHERE ToSend<>-1")
                                .arg(file));
                        db.staccaDestinazione();
                        return ok;
                    },
                    testo);
                QSqlQuery s(admin.database());
                s.prepare(QStringLiteral("INSERT INTO quor.tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, "
                                         "Modifiche) VALUES (?, ?, ?, ?)"));
                for (const QVariant &v :
                     {QVariant(m_chiave), QVariant(CfBianchi), QVariant(CfRossi), QVariant(testo)}) {
                    s.addBindValue(v);
                }
                s.exec();
                invio << double(u.nsecsElapsed()) / 1e6;
            }
        }
        admin.exec(QStringLiteral("DELETE FROM quor.tblmodifiche"));
        m_floorApertura = mediana(apertura);
        m_floorInvio = mediana(invio);
        return true;
    }

    void stampa() const
    {
        std::printf("chart of %lld rows; %d of them changed and sent back\n", static_cast<long long>(m_righe),
                    Cambiate);
        std::printf("\noperation                                  ours ms   floor ms   ratio\n");
        std::printf("open the chart in the network archive (4) %8.1f %10.1f %7.2f\n", m_apertura, m_floorApertura,
                    m_apertura / m_floorApertura);
        std::printf("send back %d changed rows (5)            %8.1f %10.1f %7.2f\n", Cambiate, m_invio, m_floorInvio,
                    m_invio / m_floorInvio);
    }

private:
    QString m_cartella;
    QString m_studio;
    QString m_bianchi;
    QString m_programmi;
    QString m_cognome;
    QString m_chiave;
    int m_idRossi = 0;
    qint64 m_righe = 0;
    double m_apertura = 0;
    double m_invio = 0;
    double m_floorApertura = 0;
    double m_floorInvio = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("TMPDIR", dir.path().toUtf8());
    ImpostaCartellaProgramma(QStringLiteral(LANVERA_OUTPUT_DIR));

    // A server of its own unless one is named.
    ServerBench privato(dir.filePath(QStringLiteral("server")));
    if (!privato.pronto()) {
        return 1;
    }

    Scambio scambio(dir.path());
    if (!scambio.prepara() || !scambio.misura() || !scambio.floor()) {
        return 1;
    }
    std::printf("A colleague's chart through clinora-host and the plug-in; medians of %d host runs\n", Ripetizioni);
    scambio.stampa();
    return 0;
}
