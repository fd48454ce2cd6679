#include "ConnessioneServer.h"
#include "ServerTest.h"
#include "TestServer.h"
#include "modCartelle.h"
#include "modIni.h"
#include "modLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>

using namespace lanvera;
using lanvera::test::AdminConnection;
using lanvera::test::TestServer;

namespace {

class ServerTest : public lanvera::test::ServerTest
{
protected:
    static ImpostazioniServer impostazioni()
    {
        ImpostazioniServer s;
        s.host = TestServer::host();
        s.porta = QString::number(TestServer::port());
        return s;
    }

    // A port on this machine where nothing listens.
    static int portaChiusa()
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        const int porta = s.serverPort();
        s.close();
        return porta;
    }
};

TEST_F(ServerTest, ConnectsWithTheBuiltInAccountAndSelectsTheNetworkDatabase)
{
    ConnessioneServer server;
    ASSERT_TRUE(server.connetti(impostazioni(), false)) << server.ultimoErrore().toStdString();
    ASSERT_TRUE(server.usaDatabaseRete()) << server.ultimoErrore().toStdString();
    QSqlQuery q(server.database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT DATABASE(), @@SESSION.sql_mode")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("quor"));
    EXPECT_TRUE(q.value(1).toString().contains(QStringLiteral("NO_BACKSLASH_ESCAPES")));
    server.chiudi();
    EXPECT_FALSE(server.aperta());
    server.chiudi(); // closing twice is harmless
}

TEST_F(ServerTest, ConnectionsThatCannotBeMadeSayWhyInTimeAndLeaveNothingOpen)
{
    // This socket accepts the connection (the kernel does) but never says a word.
    QTcpServer muto;
    ASSERT_TRUE(muto.listen(QHostAddress::LocalHost, 0));
    const QString errore = QStringLiteral("Connessione al server: Errore ");
    const struct
    {
        const char *caso;
        std::function<void(ImpostazioniServer &)> cambia;
        QString motivo; // the reason, or how it begins
    } casi[] = {
        {"no host", [](ImpostazioniServer &s) { s.host.clear(); }, QStringLiteral("Manca l'indirizzo dell'Host")},
        {"refused", [](ImpostazioniServer &s) { s.porta = QString::number(portaChiusa()); },
         errore + QStringLiteral("200")},
        {"port not a number", [](ImpostazioniServer &s) { s.porta = QStringLiteral("porta"); }, errore},
        {"never answers", [&muto](ImpostazioniServer &s) { s.porta = QString::number(muto.serverPort()); }, errore},
        {"unknown driver", [](ImpostazioniServer &s) { s.driver = QStringLiteral("QNONESISTE"); }, errore},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        ImpostazioniServer s = impostazioni();
        c.cambia(s);
        ConnessioneServer server;
        QElapsedTimer tempo;
        tempo.start();
        EXPECT_FALSE(server.connetti(s, false, LimitiServer{2, 2, 2}));
        EXPECT_LT(tempo.elapsed(), 20000);
        EXPECT_TRUE(c.motivo.startsWith(errore) ? server.ultimoErrore().startsWith(c.motivo)
                                                : server.ultimoErrore() == c.motivo)
            << server.ultimoErrore().toStdString();
        EXPECT_FALSE(server.aperta());
    }
    // the ODBC name of older settings files means MySQL
    ImpostazioniServer s = impostazioni();
    s.driver = QStringLiteral("{MySQL ODBC 3.51 Driver}");
    ConnessioneServer server;
    EXPECT_TRUE(server.connetti(s, false)) << server.ultimoErrore().toStdString();
}

TEST_F(ServerTest, ChartDatabaseIsCreatedOnFirstUseAndThenReused)
{
    ConnessioneServer server;
    ASSERT_TRUE(server.connetti(impostazioni(), false));
    ASSERT_TRUE(server.usaDatabaseCartelle(7)) << server.ultimoErrore().toStdString();
    ASSERT_TRUE(server.esegui(QStringLiteral("INSERT INTO tblcartella (IDPaziente, Cartella) VALUES (?, ?)"),
                              {QStringLiteral("rssmra70a01h501u;rossi;mario"), QStringLiteral("UEsDBA==")}));
    // the key is unique
    EXPECT_FALSE(server.esegui(QStringLiteral("INSERT INTO tblcartella (IDPaziente, Cartella) VALUES (?, ?)"),
                               {QStringLiteral("rssmra70a01h501u;rossi;mario"), QStringLiteral("x")}));
    EXPECT_EQ(server.errore().numero, 1062);

    ASSERT_TRUE(server.usaDatabaseRete());
    ASSERT_TRUE(server.usaDatabaseCartelle(7));
    QSqlQuery q(server.database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM tblcartella")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);

    AdminConnection admin;
    ASSERT_TRUE(admin.exec(QStringLiteral("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA='quor_7' "
                                          "AND TABLE_NAME='tblcartella'")));
}

TEST_F(ServerTest, ChartDatabaseWithoutItsTableGetsItOncePerConnection)
{
    // as a program stopped between the creation of the database and that of its table leaves it
    AdminConnection admin;
    ASSERT_TRUE(admin.exec(QStringLiteral("CREATE DATABASE quor_8")));
    auto tabelle = [&admin] {
        return admin
            .scalar(QStringLiteral("SELECT count(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='quor_8' "
                                   "AND TABLE_NAME='tblcartella'"))
            .toInt();
    };
    ConnessioneServer server;
    ASSERT_TRUE(server.connetti(impostazioni(), false));
    ASSERT_TRUE(server.usaDatabaseCartelle(8)) << server.ultimoErrore().toStdString();
    EXPECT_EQ(tabelle(), 1);

    // checked once while the connection stays open, again on a new one
    ASSERT_TRUE(admin.exec(QStringLiteral("DROP TABLE quor_8.tblcartella")));
    ASSERT_TRUE(server.usaDatabaseCartelle(8));
    EXPECT_EQ(tabelle(), 0);
    ASSERT_TRUE(server.connetti(impostazioni(), false));
    ASSERT_TRUE(server.usaDatabaseCartelle(8));
    EXPECT_EQ(tabelle(), 1);
}

// Texts that once broke statements or let data in as SQL.
TEST_F(ServerTest, HostileTextsArriveUnchanged)
{
    const QStringList testi{
        QStringLiteral("D'Angelo"),
        QStringLiteral("Via Roma 1\\"),
        QStringLiteral("\\'; DROP TABLE tblmedici; -- "),
        QStringLiteral("O\\'Neil"),
        QStringLiteral("\"Nino\" Bixio"),
        QStringLiteral("Niccolò Fòscolo àèéìòù ÇŞ 北京"),
        QStringLiteral("nul") + QChar(0) + QStringLiteral("dentro"),
        QStringLiteral("a capo\r\nseconda riga"),
        QStringLiteral("%_ percent and underscore"),
    };
    ConnessioneServer server;
    ASSERT_TRUE(server.connetti(impostazioni(), false));
    ASSERT_TRUE(server.usaDatabaseRete());
    int n = 0;
    for (const QString &testo : testi) {
        // once pasted into the statement as the system's own statements do, once bound
        const QString chiave = QStringLiteral("chiave-%1").arg(++n);
        ASSERT_TRUE(
            server.esegui(QStringLiteral("INSERT INTO tblanagrafica (IDPaziente, CFMedico, Cognome) VALUES ('") +
                          chiave + QStringLiteral("', 'RSSMRA70A01H501U', '") +
                          QString(testo).replace(QLatin1Char('\''), QStringLiteral("''")) + QStringLiteral("')")))
            << server.ultimoErrore().toStdString();
        ASSERT_TRUE(server.esegui(QStringLiteral("INSERT INTO tblanagrafica (IDPaziente, CFMedico, Cognome) VALUES (?, "
                                                 "'RSSMRA70A01H501U', ?)"),
                                  QVariantList{QString(chiave + QStringLiteral("-b")), testo}))
            << server.ultimoErrore().toStdString();
        for (const QString &k : QStringList{chiave, chiave + QStringLiteral("-b")}) {
            QSqlQuery q(server.database());
            q.prepare(QStringLiteral("SELECT Cognome FROM tblanagrafica WHERE IDPaziente=?"));
            q.addBindValue(k);
            ASSERT_TRUE(q.exec());
            ASSERT_TRUE(q.next()) << k.toStdString();
            EXPECT_EQ(q.value(0).toString(), testo) << k.toStdString();
        }
    }
    QSqlQuery q(server.database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM tblmedici")));
}

TEST_F(ServerTest, ReusedConnectionIsReplacedQuietlyWhenTheServerDroppedIt)
{
    ConnessioneServer server;
    ASSERT_TRUE(server.connettiRiusando(impostazioni())) << server.ultimoErrore().toStdString();
    QSqlQuery id(server.database());
    ASSERT_TRUE(id.exec(QStringLiteral("SELECT CONNECTION_ID()")) && id.next());
    const qlonglong primo = id.value(0).toLongLong();
    id = QSqlQuery();

    // still alive: kept
    ASSERT_TRUE(server.connettiRiusando(impostazioni()));
    QSqlQuery ancora(server.database());
    ASSERT_TRUE(ancora.exec(QStringLiteral("SELECT CONNECTION_ID()")) && ancora.next());
    EXPECT_EQ(ancora.value(0).toLongLong(), primo);
    ancora = QSqlQuery();

    AdminConnection admin;
    ASSERT_TRUE(admin.exec(QStringLiteral("KILL CONNECTION %1").arg(primo)));
    ASSERT_TRUE(server.connettiRiusando(impostazioni())) << server.ultimoErrore().toStdString();
    QSqlQuery nuova(server.database());
    ASSERT_TRUE(nuova.exec(QStringLiteral("SELECT CONNECTION_ID(), DATABASE()")) && nuova.next());
    EXPECT_NE(nuova.value(0).toLongLong(), primo);
    EXPECT_EQ(nuova.value(1).toString(), QStringLiteral("quor"));
}

TEST_F(ServerTest, ProgramConnectionReadsTheSettingsFileAndLogs)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("plgLanvera.ini"));
    ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host"), TestServer::host()));
    ASSERT_TRUE(
        ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Port"), QString::number(TestServer::port())));
    ImpostaFileIni(ini);
    QString chiave = QStringLiteral("Quor");
    PreparaCartelle(chiave);
    QFile::remove(FileLogSync());

    ASSERT_TRUE(ConnettiServer()) << UltimoErrore().toStdString();
    EXPECT_TRUE(UsaDatabaseRete());
    EXPECT_TRUE(UsaDatabaseCartelle(3));
    ChiudiServer();
    QFile log(FileLogSync());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().endsWith(" Connessione al server\r\n"));

    ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host"), QString()));
    EXPECT_FALSE(ConnettiServer());
    EXPECT_EQ(UltimoErrore(), QStringLiteral("Manca l'indirizzo dell'Host"));
    ImpostaFileIni(QString());
}

TEST(ImpostazioniServerTest, EmptyValuesTakeTheDefaults)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("plgLanvera.ini"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Setup]\r\nHost= server.lan \r\nPort=\r\nDriver=\r\n");
    f.close();
    ImpostaFileIni(ini);
    const ImpostazioniServer s = ImpostazioniServer::daIni();
    ImpostaFileIni(QString());
    EXPECT_EQ(s.host, QStringLiteral("server.lan"));
    EXPECT_EQ(s.porta, QStringLiteral("3306"));
    EXPECT_EQ(s.driver, QStringLiteral("{MySQL ODBC 3.51 Driver}"));
    EXPECT_EQ(s.opzioni, QStringLiteral("3"));
}

} // namespace
