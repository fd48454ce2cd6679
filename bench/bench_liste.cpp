// Patient lists of a 5,000-patient archive: how long the engine takes to build the server's and
// the archive's lists, beside the bare reading of the same rows in the same run.
#include "ConnessioneServer.h"
#include "Database.h"
#include "Recordset.h"
#include "ServerBench.h"
#include "TestServer.h"
#include "clsSincronizza.h"
#include "modGeneratore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace lanvera;

namespace {

constexpr int Pazienti = 5000;
constexpr int Pubblicati = 1250;
constexpr int Giri = 7;
const QString Cf = QStringLiteral("RSSMRA70A01H501U");
const QString Password = QStringLiteral("{AES}bench");

double mediana(QList<double> valori)
{
    std::sort(valori.begin(), valori.end());
    return valori.at(valori.size() / 2);
}

bool eseguiAdmin(const QString &sql, const QVariantList &valori = {})
{
    lanvera::test::AdminConnection admin;
    QSqlQuery q(admin.database());
    q.prepare(sql);
    for (const QVariant &v : valori) {
        q.addBindValue(v);
    }
    if (!q.exec()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("TMPDIR", dir.path().toUtf8());

    // A server of its own unless one is named.
    ServerBench privato(dir.filePath(QStringLiteral("server")));
    if (!privato.pronto()) {
        return 1;
    }

    QString errore;
    if (!lanvera::test::resetServer(&errore)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(errore));
        return 1;
    }
    eseguiAdmin(QStringLiteral("INSERT INTO quor.tblmedici (CF, Cognome, Nome, Password, IDGruppo, Progressivo) "
                               "VALUES (?, 'Rossi', 'Mario', ?, 1, 1)"),
                {Cf, Password});

    host::OpzioniGeneratore o;
    o.cf = Cf;
    o.pazienti = Pazienti;
    o.passwordSync = Password;
    o.righe = 0.2;
    const QString archivio = dir.filePath(QStringLiteral("Archivio.mdb"));
    if (!host::GeneraArchivio(archivio, o, &errore)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(errore));
        return 1;
    }
    // A quarter of the patients published on the server.
    {
        dao::Database db;
        db.apri(archivio);
        dao::Recordset rs(db);
        rs.apri(QStringLiteral("SELECT CodiceFiscale, Cognome, Nome FROM tblAnagrafica ORDER BY ID LIMIT ?"),
                dao::Recordset::Tipo::SoloAvanti, {Pubblicati});
        lanvera::test::AdminConnection admin;
        QSqlQuery q(admin.database());
        admin.exec(QStringLiteral("START TRANSACTION"));
        q.prepare(QStringLiteral("INSERT IGNORE INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, "
                                 "IDDatabase, Autorizzazioni) VALUES (?, ?, ?, ?, ?, 1, '01')"));
        for (; !rs.eof(); rs.muoviProssimo()) {
            const QString cf = rs.testo(QStringLiteral("CodiceFiscale"));
            const QString cognome = rs.testo(QStringLiteral("Cognome"));
            const QString nome = rs.testo(QStringLiteral("Nome"));
            for (const QVariant &v : {QVariant(clsSincronizza::ChiavePaziente(cf, cognome, nome)), QVariant(cf),
                                      QVariant(cognome), QVariant(nome), QVariant(Cf)}) {
                q.addBindValue(v);
            }
            q.exec();
        }
        admin.exec(QStringLiteral("COMMIT"));
    }

    ConnessioneServer server;
    ImpostazioniServer s;
    s.host = lanvera::test::TestServer::host();
    s.porta = QString::number(lanvera::test::TestServer::port());
    if (!server.connetti(s, false)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(server.ultimoErrore()));
        return 1;
    }

    QList<double> tServer, tLocale, fServer, fLocale;
    for (int giro = 0; giro < Giri; ++giro) {
        clsSincronizza sync;
        sync.Init(server);
        QElapsedTimer t;
        double inizioServer = 0, inizioLocale = 0, fine = 0;
        QObject::connect(&sync, &clsSincronizza::Log, [&](const QString &riga) {
            if (riga.endsWith(QStringLiteral("Analisi pazienti su server"))) {
                inizioServer = t.nsecsElapsed() / 1e6;
            } else if (riga.endsWith(QStringLiteral("Analisi pazienti in locale"))) {
                inizioLocale = t.nsecsElapsed() / 1e6;
            } else if (riga.endsWith(QStringLiteral("Operazione conclusa"))) {
                fine = t.nsecsElapsed() / 1e6;
            }
        });
        t.start();
        if (!sync.Sincronizza(archivio) || sync.PazientiLocali().size() < Pazienti / 2 ||
            sync.PazientiServer().size() != Pubblicati) {
            std::fprintf(stderr, "bench: the run failed: %s\n", qPrintable(sync.MessaggioErrore()));
            return 1;
        }
        // each step ends with one log line of ~1 ms (write and yield): take it off
        tServer << inizioLocale - inizioServer - 1.0;
        tLocale << fine - inizioLocale - 1.0;

        // Floor: the same rows read bare, in the same run.
        QElapsedTimer f;
        f.start();
        {
            QSqlQuery q(server.database());
            q.setForwardOnly(true);
            q.exec(
                QStringLiteral("SELECT * FROM quor.tblanagrafica WHERE CFMedico='%1' ORDER BY Cognome,Nome").arg(Cf));
            int n = 0;
            while (q.next()) {
                n += q.value(1).toString().size();
            }
        }
        fServer << f.nsecsElapsed() / 1e6;
        f.restart();
        {
            dao::Database db;
            db.apri(archivio);
            QSqlQuery q(db.connessione());
            q.setForwardOnly(true);
            q.exec(QStringLiteral(
                "SELECT ID,CodiceFiscale,Cognome,Nome,Proprio,"
                "(SELECT Max(DataInizio) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID),"
                "(SELECT Max(DataFine) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID),"
                "(SELECT Motivo FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID ORDER BY ID DESC LIMIT 1),"
                "(SELECT IDUpdate FROM QUOR_tblUpdate WHERE IDPaziente=tblAnagrafica.ID LIMIT 1)"
                " FROM tblAnagrafica ORDER BY Cognome COLLATE NOCASE, Nome COLLATE NOCASE, ID"));
            int n = 0;
            while (q.next()) {
                n += q.value(2).toString().size();
            }
        }
        fLocale << f.nsecsElapsed() / 1e6;
    }

    std::printf("Patient lists, %d patients in the archive, %d published (median of %d runs)\n", Pazienti, Pubblicati,
                Giri);
    std::printf("%-34s %10s %10s %8s\n", "", "engine ms", "floor ms", "ratio");
    std::printf("%-34s %10.1f %10.1f %8.2f\n", "server list (LeggiPazientiServer)", mediana(tServer), mediana(fServer),
                mediana(tServer) / mediana(fServer));
    std::printf("%-34s %10.1f %10.1f %8.2f\n", "local list (LeggiPazientiLocali)", mediana(tLocale), mediana(fLocale),
                mediana(tLocale) / mediana(fLocale));
    return 0;
}
