// The real lanvera-demo executable against the private MariaDB server of the run, checked against
// what the synchronisation engine then makes of its work.

#include "ConnessioneServer.h"
#include "Database.h"
#include "Recordset.h"
#include "ServerTest.h"
#include "StampaQt.h"
#include "TestServer.h"
#include "clsSincronizza.h"
#include "modArchivioHost.h"
#include "modCartelle.h"
#include "modGeneratore.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <optional>

using namespace lanvera;
using namespace lanvera::test;
using lanvera::dao::Database;
using lanvera::dao::Recordset;

namespace {

struct Esito
{
    int codice = -1;
    QString out;
    QString err;

    std::string tutto() const { return QString(out + err).toStdString(); }
};

class DemoToolTest : public ServerTest
{
protected:
    static inline const QString CfRossi = QStringLiteral("RSSMRC68C12A944Y");
    static inline const QString CfBianchi = QStringLiteral("BNCGLI75L65F257J");
    static inline const QString CfRomano = QStringLiteral("RMNLSN65E30H501Z");
    static inline const QString PasswordRossi = QStringLiteral("{AES}rossi==");

    void SetUp() override
    {
        ServerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(m_dir.isValid());
        ImpostaCartellaProgramma(qEnvironmentVariable("LANVERA_OUTPUT_DIR"));
        registra(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Marco"), 1, 1);
        registra(CfBianchi, QStringLiteral("Bianchi"), QStringLiteral("Giulia"), 1, 2);
        registra(QStringLiteral("FRRLCU80S03G337P"), QStringLiteral("Ferrari"), QStringLiteral("Luca"), 1, 3);
        registra(QStringLiteral("SPSCHR72A59F839N"), QStringLiteral("Esposito"), QStringLiteral("Chiara"), 1, 4, 1);
        registra(CfRomano, QStringLiteral("Romano"), QStringLiteral("Alessandro"), 2, 1);
        m_idRossi = m_admin.scalar(QStringLiteral("SELECT ID FROM quor.tblmedici WHERE CF='%1'").arg(CfRossi)).toInt();

        host::OpzioniGeneratore o;
        o.cf = CfRossi;
        o.pazienti = 40;
        o.passwordSync = PasswordRossi;
        o.righe = 0.3;
        m_archivio = m_dir.filePath(QStringLiteral("studio/Rossi.mdb"));
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("studio"))));
        QString errore;
        ASSERT_TRUE(host::GeneraArchivio(m_archivio, o, &errore)) << errore.toStdString();

        ImpostazioniServer s;
        s.host = TestServer::host();
        s.porta = QString::number(TestServer::port());
        ASSERT_TRUE(m_server.connetti(s, false)) << m_server.ultimoErrore().toStdString();
        m_sync.Init(m_server);
        QObject::connect(&m_sync, &clsSincronizza::Log, [this](const QString &riga) { m_righe << riga.mid(29); });
    }

    void registra(const QString &cf, const QString &cognome, const QString &nome, int gruppo, int progressivo,
                  int sospeso = 0)
    {
        QSqlQuery q(m_admin.database());
        q.prepare(QStringLiteral("INSERT INTO quor.tblmedici (CF, Cognome, Nome, IDGruppo, Progressivo, Sospeso) "
                                 "VALUES (?, ?, ?, ?, ?, ?)"));
        for (const QVariant &v : {QVariant(cf), QVariant(cognome), QVariant(nome), QVariant(gruppo),
                                  QVariant(progressivo), QVariant(sospeso)}) {
            q.addBindValue(v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }

    // The tool with the test server's address and, unless told otherwise, its administrator.
    static Esito strumento(QStringList argomenti, bool server = true,
                           const std::optional<QString> &password = TestServer::adminPassword())
    {
        if (server) {
            argomenti << QStringLiteral("--host") << TestServer::host() << QStringLiteral("--port")
                      << QString::number(TestServer::port()) << QStringLiteral("--user") << TestServer::adminUser();
        }
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.remove(QStringLiteral("LANVERA_ADMIN_PASSWORD"));
        if (password) {
            ambiente.insert(QStringLiteral("LANVERA_ADMIN_PASSWORD"), *password);
        }
        QProcess processo;
        processo.setProcessEnvironment(ambiente);
        processo.setStandardInputFile(QProcess::nullDevice());
        processo.start(QStringLiteral(LANVERA_DEMO_TOOL), argomenti);
        Esito esito;
        if (!processo.waitForStarted() || !processo.waitForFinished(120000)) {
            esito.err = QStringLiteral("lanvera-demo did not run: ") + processo.errorString();
            processo.kill();
            processo.waitForFinished();
            return esito;
        }
        esito.codice = processo.exitStatus() == QProcess::NormalExit ? processo.exitCode() : -1;
        esito.out = QString::fromUtf8(processo.readAllStandardOutput());
        esito.err = QString::fromUtf8(processo.readAllStandardError());
        return esito;
    }

    Esito pubblica(int quanti, const QStringList &altro = {})
    {
        return strumento(QStringList{QStringLiteral("publish"), QStringLiteral("--archive"), m_archivio,
                                     QStringLiteral("--cf"), CfRossi, QStringLiteral("--count"),
                                     QString::number(quanti)} +
                         altro);
    }

    Esito modifica(int quanti, const QString &collega = CfBianchi)
    {
        return strumento({QStringLiteral("modify"), QStringLiteral("--archive"), m_archivio, QStringLiteral("--owner"),
                          CfRossi, QStringLiteral("--colleague"), collega, QStringLiteral("--patients"),
                          QString::number(quanti)});
    }

    // One run of the engine over an archive; the messages it wrote to the archive log.
    QStringList sincronizza(const QString &archivio)
    {
        m_righe.clear();
        EXPECT_TRUE(m_sync.Sincronizza(archivio)) << m_righe.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(m_sync.Errori(), 0) << m_righe.join(QLatin1Char('\n')).toStdString();
        return m_righe;
    }

    static int conta(const QStringList &righe, const QString &inizio)
    {
        return int(std::count_if(righe.cbegin(), righe.cend(), [&](const QString &r) { return r.startsWith(inizio); }));
    }

    QStringList colonna(const QString &sql) { return m_admin.column(sql); }

    QByteArray impronta() const
    {
        QFile f(m_archivio);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    }

    QTemporaryDir m_dir;
    AdminConnection m_admin;
    int m_idRossi = 0;
    QString m_archivio;
    ConnessioneServer m_server;
    clsSincronizza m_sync;
    QStringList m_righe;
};

TEST_F(DemoToolTest, PublishesTheFirstActivePatientsOfSyncsListAndTheirChartsGoUp)
{
    const Esito esito = pubblica(8);
    ASSERT_EQ(esito.codice, 0) << esito.tutto();
    EXPECT_TRUE(esito.out.contains(QStringLiteral("Server password of Rossi Marco set from the archive.")))
        << esito.tutto();
    EXPECT_EQ(
        m_admin.scalar(QStringLiteral("SELECT Password FROM quor.tblmedici WHERE CF='%1'").arg(CfRossi)).toString(),
        PasswordRossi);

    const QStringList chiavi = colonna(QStringLiteral("SELECT IDPaziente FROM quor.tblanagrafica ORDER BY ID"));
    ASSERT_EQ(chiavi.size(), 8);
    // the owner, his chart database, the active colleagues of his group, and no chart yet
    EXPECT_EQ(colonna(QStringLiteral("SELECT DISTINCT concat(CFMedico, '|', IDDatabase, '|', Autorizzazioni, '|', "
                                     "IDUpdate) FROM quor.tblanagrafica")),
              QStringList{QStringLiteral("%1|%2|011|").arg(CfRossi).arg(m_idRossi)});
    EXPECT_EQ(m_admin
                  .scalar(QStringLiteral("SELECT count(*) FROM quor.tblanagrafica WHERE Cognome='' OR Nome='' OR "
                                         "CHAR_LENGTH(CF)<>16 OR DataNascita NOT LIKE '__/__/____'"))
                  .toInt(),
              0);

    // The engine's own list of the archive: the published patients are its first active ones.
    const QStringList righe = sincronizza(m_archivio);
    QStringList attivi;
    for (const clsPaziente &p : m_sync.PazientiLocali()) {
        if (p.Revocato == 0) {
            attivi << p.KeyPaziente;
        }
    }
    EXPECT_EQ(chiavi, attivi.mid(0, 8));
    EXPECT_EQ(conta(righe, QStringLiteral("Invio di ")), 8) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(m_admin.scalar(QStringLiteral("SELECT count(*) FROM quor_%1.tblcartella").arg(m_idRossi)).toInt(), 8);

    // Asked for more than there are: every active patient, and not one revoked.
    ASSERT_LT(attivi.size(), m_sync.PazientiLocali().size()) << "the archive should hold revoked patients";
    const Esito tutti = pubblica(1000);
    ASSERT_EQ(tutti.codice, 0) << tutti.tutto();
    EXPECT_TRUE(tutti.out.contains(QStringLiteral("The archive has only %1 active patients.").arg(attivi.size())))
        << tutti.tutto();
    EXPECT_EQ(colonna(QStringLiteral("SELECT IDPaziente FROM quor.tblanagrafica ORDER BY ID")), attivi);
}

TEST_F(DemoToolTest, PublishingAgainOnlyChangesTheAuthorisations)
{
    ASSERT_EQ(pubblica(5).codice, 0);
    ASSERT_TRUE(m_admin.exec(QStringLiteral("UPDATE quor.tblanagrafica SET IDUpdate='{STAMP}' ORDER BY ID LIMIT 1")));

    const Esito esito = pubblica(5, {QStringLiteral("--authorise"), QStringLiteral("001")});
    ASSERT_EQ(esito.codice, 0) << esito.tutto();
    EXPECT_TRUE(esito.out.contains(QStringLiteral("Published 0 new patients, 5 already on the server.")))
        << esito.tutto();
    EXPECT_FALSE(esito.out.contains(QStringLiteral("password"))) << "the password was set already";
    EXPECT_EQ(colonna(QStringLiteral("SELECT DISTINCT Autorizzazioni FROM quor.tblanagrafica")),
              QStringList{QStringLiteral("001")});
    EXPECT_EQ(m_admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblanagrafica")).toInt(), 5);
    EXPECT_EQ(
        m_admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblanagrafica WHERE IDUpdate='{STAMP}'")).toInt(), 1)
        << "a chart already sent keeps its stamp";

    // more than before: the first five stay, the next ones are added
    const Esito piu = pubblica(7);
    ASSERT_EQ(piu.codice, 0) << piu.tutto();
    EXPECT_TRUE(piu.out.contains(QStringLiteral("Published 2 new patients, 5 already on the server."))) << piu.tutto();
}

TEST_F(DemoToolTest, PublishRefusesWhatSyncCouldNotUse)
{
    const Esito altrui = strumento({QStringLiteral("publish"), QStringLiteral("--archive"), m_archivio,
                                    QStringLiteral("--cf"), CfBianchi, QStringLiteral("--count"), QStringLiteral("3")});
    EXPECT_EQ(altrui.codice, 1) << altrui.tutto();
    EXPECT_TRUE(altrui.err.contains(QStringLiteral("belongs to ") + CfRossi)) << altrui.tutto();

    ASSERT_TRUE(
        m_admin.exec(QStringLiteral("UPDATE quor.tblmedici SET Password='{AES}altra' WHERE CF='%1'").arg(CfRossi)));
    const Esito password = pubblica(3);
    EXPECT_EQ(password.codice, 1) << password.tutto();
    EXPECT_TRUE(password.err.contains(QStringLiteral("differs"))) << password.tutto();
    EXPECT_EQ(
        m_admin.scalar(QStringLiteral("SELECT Password FROM quor.tblmedici WHERE CF='%1'").arg(CfRossi)).toString(),
        QStringLiteral("{AES}altra"));

    ASSERT_TRUE(m_admin.exec(QStringLiteral("UPDATE quor.tblmedici SET Sospeso=1 WHERE CF='%1'").arg(CfRossi)));
    EXPECT_EQ(pubblica(3).codice, 1);
    ASSERT_TRUE(m_admin.exec(QStringLiteral("DELETE FROM quor.tblmedici WHERE CF='%1'").arg(CfRossi)));
    const Esito assente = pubblica(3);
    EXPECT_EQ(assente.codice, 1) << assente.tutto();
    EXPECT_TRUE(assente.err.contains(QStringLiteral("no doctor with the fiscal code"))) << assente.tutto();

    EXPECT_EQ(m_admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblanagrafica")).toInt(), 0);
}

TEST_F(DemoToolTest, BadArgumentsAndConnectionFailuresHaveTheirExitCodes)
{
    EXPECT_EQ(
        strumento({QStringLiteral("publish"), QStringLiteral("--archive"), m_archivio, QStringLiteral("--cf"), CfRossi})
            .codice,
        2)
        << "no --count";
    EXPECT_EQ(pubblica(0).codice, 2);
    EXPECT_EQ(pubblica(3, {QStringLiteral("--authorise"), QStringLiteral("012")}).codice, 2);
    EXPECT_EQ(strumento({QStringLiteral("publish"), QStringLiteral("--archive"), m_archivio, QStringLiteral("--cf"),
                         QStringLiteral("RSSMRC68"), QStringLiteral("--count"), QStringLiteral("3")})
                  .codice,
              2);
    EXPECT_EQ(modifica(2, CfRossi).codice, 2) << "the owner is not his own colleague";
    EXPECT_EQ(strumento({QStringLiteral("publicize")}).codice, 2);

    const Esito rifiutato = strumento({QStringLiteral("publish"), QStringLiteral("--archive"), m_archivio,
                                       QStringLiteral("--cf"), CfRossi, QStringLiteral("--count"), QStringLiteral("3")},
                                      true, QStringLiteral("not-the-password"));
    EXPECT_EQ(rifiutato.codice, 4) << rifiutato.tutto();

    QTcpServer sonda;
    ASSERT_TRUE(sonda.listen(QHostAddress::LocalHost));
    const QString porta = QString::number(sonda.serverPort());
    sonda.close();
    const Esito irraggiungibile =
        strumento({QStringLiteral("publish"), QStringLiteral("--archive"), m_archivio, QStringLiteral("--cf"), CfRossi,
                   QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--host"),
                   QStringLiteral("127.0.0.1"), QStringLiteral("--port"), porta},
                  false);
    EXPECT_EQ(irraggiungibile.codice, 3) << irraggiungibile.tutto();
    EXPECT_EQ(m_admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblanagrafica")).toInt(), 0);
}

TEST_F(DemoToolTest, ColleaguesModificationsAreMergedByTheOwnersSync)
{
    ASSERT_EQ(pubblica(5).codice, 0);
    sincronizza(m_archivio); // the charts go up, so the colleague can open them
    const QByteArray prima = impronta();

    const Esito esito = modifica(2);
    ASSERT_EQ(esito.codice, 0) << esito.tutto();
    EXPECT_TRUE(esito.out.contains(QStringLiteral("Queued 2 modifications packages."))) << esito.tutto();
    EXPECT_EQ(impronta(), prima) << "the colleague works on his own copy";
    const QStringList pubblicati = colonna(QStringLiteral("SELECT IDPaziente FROM quor.tblanagrafica"));
    const QStringList modifiche = colonna(QStringLiteral("SELECT IDPaziente FROM quor.tblmodifiche"));
    ASSERT_EQ(modifiche.size(), 2);
    EXPECT_NE(modifiche.at(0), modifiche.at(1));
    for (const QString &chiave : modifiche) {
        EXPECT_TRUE(pubblicati.contains(chiave)) << chiave.toStdString();
    }
    EXPECT_EQ(colonna(QStringLiteral("SELECT DISTINCT concat(CFMedico, '|', CFMedicoTitolare) FROM quor.tblmodifiche")),
              QStringList{CfBianchi + QLatin1Char('|') + CfRossi});

    const QStringList righe = sincronizza(m_archivio);
    EXPECT_EQ(conta(righe, QStringLiteral("Aggiorno cartella di ")), 2) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(conta(righe, QStringLiteral("Invio di ")), 2) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(m_admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblmodifiche")).toInt(), 0);

    Database archivio;
    ASSERT_TRUE(archivio.apri(m_archivio));
    Recordset rs(archivio);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT ModificatoDa, ToSend FROM tblDiario WHERE Diario LIKE "
                                       "'%Visto dal collega Bianchi Giulia il %'"),
                        Recordset::Tipo::Dynaset));
    EXPECT_EQ(rs.conteggio(), 2);
    for (; !rs.eof(); rs.muoviProssimo()) {
        EXPECT_EQ(rs.testo(QStringLiteral("ModificatoDa")), QStringLiteral("Bianchi Giulia"));
    }
}

TEST_F(DemoToolTest, ModificationsOnlyForPatientsTheColleagueMaySee)
{
    ASSERT_EQ(pubblica(4, {QStringLiteral("--authorise"), QStringLiteral("001")}).codice, 0);
    const Esito nonAutorizzato = modifica(2);
    EXPECT_EQ(nonAutorizzato.codice, 1) << nonAutorizzato.tutto();
    EXPECT_TRUE(nonAutorizzato.out.contains(QStringLiteral("4 not authorised for Bianchi Giulia")))
        << nonAutorizzato.tutto();

    const Esito altroGruppo = modifica(2, CfRomano);
    EXPECT_EQ(altroGruppo.codice, 1) << altroGruppo.tutto();
    EXPECT_TRUE(altroGruppo.err.contains(QStringLiteral("not in the group"))) << altroGruppo.tutto();
    EXPECT_EQ(m_admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblmodifiche")).toInt(), 0);
}

TEST_F(DemoToolTest, SecondInstallationDownloadsWhatTheFirstSent)
{
    ASSERT_EQ(pubblica(3).codice, 0);
    sincronizza(m_archivio);

    const QString casa = m_dir.filePath(QStringLiteral("Casa.mdb"));
    QString errore;
    ASSERT_TRUE(host::CreaArchivioVuoto(casa, &errore)) << errore.toStdString();
    const Esito esito =
        strumento({QStringLiteral("prepare-empty"), QStringLiteral("--archive"), casa, QStringLiteral("--cf"),
                   CfRossi.toLower(), QStringLiteral("--password"), PasswordRossi},
                  false);
    ASSERT_EQ(esito.codice, 0) << esito.tutto();

    const QStringList righe = sincronizza(casa);
    EXPECT_EQ(conta(righe, QStringLiteral("Scarico cartella di ")), 3) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(conta(sincronizza(casa), QStringLiteral("Scarico cartella di ")), 0);
}

TEST_F(DemoToolTest, ArchiveListNamesTheArchiveByItsFullPath)
{
    const QString lista = m_dir.filePath(QStringLiteral("Quor.mdb"));
    QStringList argomenti{
        QStringLiteral("add-archive"),   QStringLiteral("--list"),     lista, QStringLiteral("--file"), m_archivio,
        QStringLiteral("--description"), QStringLiteral("Rossi Marco")};
    const Esito primo = strumento(argomenti, false);
    ASSERT_EQ(primo.codice, 0) << primo.tutto();
    EXPECT_TRUE(primo.out.startsWith(QStringLiteral("Listed "))) << primo.tutto();
    const Esito secondo = strumento(argomenti, false);
    ASSERT_EQ(secondo.codice, 0) << secondo.tutto();
    EXPECT_TRUE(secondo.out.startsWith(QStringLiteral("Already listed "))) << secondo.tutto();

    argomenti[4] = m_dir.filePath(QStringLiteral("Manca.mdb"));
    EXPECT_EQ(strumento(argomenti, false).codice, 1);

    Database db;
    ASSERT_TRUE(db.apri(lista));
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT File FROM tblFile"), Recordset::Tipo::Dynaset));
    ASSERT_EQ(rs.conteggio(), 1);
    EXPECT_EQ(rs.testo(QStringLiteral("File")), m_archivio);
}

} // namespace
