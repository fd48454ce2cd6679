// The real lanvera-demo executable against the private MariaDB server of the run, checked against
// what the synchronisation engine then makes of its work.

#include "ConnessioneServer.h"
#include "Database.h"
#include "Recordset.h"
#include "ServerTest.h"
#include "StampaQt.h"
#include "TestServer.h"
#include "ToolRunner.h"
#include "clsSincronizza.h"
#include "modCartelle.h"
#include "modGeneratore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace lanvera;
using namespace lanvera::test;
using lanvera::dao::Database;
using lanvera::dao::Recordset;

namespace {

class DemoToolTest : public ServerTest
{
protected:
    static inline const QString CfRossi = u"RSSMRC68C12A944Y"_s;
    static inline const QString CfBianchi = u"BNCGLI75L65F257J"_s;
    static inline const QString CfRomano = u"RMNLSN65E30H501Z"_s;
    static inline const QString PasswordRossi = u"{AES}rossi=="_s;

    void SetUp() override
    {
        ServerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ImpostaCartellaProgramma(qEnvironmentVariable("LANVERA_OUTPUT_DIR"));
        // Rossi's group: Bianchi and Ferrari active, Esposito suspended; Romano in another group.
        ASSERT_TRUE(m_admin.exec(u"INSERT INTO quor.tblmedici (CF, Cognome, Nome, IDGruppo, Progressivo, Sospeso) "
                                 "VALUES ('%1', 'Rossi', 'Marco', 1, 1, 0), ('%2', 'Bianchi', 'Giulia', 1, 2, 0), "
                                 "('FRRLCU80S03G337P', 'Ferrari', 'Luca', 1, 3, 0), "
                                 "('SPSCHR72A59F839N', 'Esposito', 'Chiara', 1, 4, 1), "
                                 "('%3', 'Romano', 'Alessandro', 2, 1, 0)"_s.arg(CfRossi, CfBianchi, CfRomano)))
            << m_admin.lastError().toStdString();
        m_idRossi = m_admin.scalar(u"SELECT ID FROM quor.tblmedici WHERE CF='%1'"_s.arg(CfRossi)).toInt();

        host::OpzioniGeneratore o;
        o.cf = CfRossi;
        o.pazienti = 40;
        o.passwordSync = PasswordRossi;
        o.righe = 0.3;
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(u"studio"_s)));
        QString errore;
        ASSERT_TRUE(host::GeneraArchivio(m_archivio, o, &errore)) << errore.toStdString();

        ImpostazioniServer s;
        s.host = TestServer::host();
        s.porta = QString::number(TestServer::port());
        ASSERT_TRUE(m_server.connetti(s, false)) << m_server.ultimoErrore().toStdString();
        m_sync.Init(m_server);
        QObject::connect(&m_sync, &clsSincronizza::Log, [this](const QString &riga) { m_righe << riga.mid(29); });
    }

    // The tool with the test server's address and, unless told otherwise, its administrator.
    static ToolResult strumento(QStringList argomenti, bool server = true,
                                const std::optional<QString> &password = TestServer::adminPassword())
    {
        if (server) {
            argomenti << u"--host"_s << TestServer::host() << u"--port"_s << QString::number(TestServer::port())
                      << u"--user"_s << TestServer::adminUser();
        }
        return runTool(QStringLiteral(LANVERA_DEMO_TOOL), argomenti, password);
    }

    ToolResult pubblica(int quanti, const QStringList &altro = {}, const QString &cf = CfRossi)
    {
        return strumento(QStringList{u"publish"_s, u"--archive"_s, m_archivio, u"--cf"_s, cf, u"--count"_s,
                                     QString::number(quanti)} +
                         altro);
    }

    ToolResult modifica(int quanti, const QString &collega = CfBianchi)
    {
        return strumento({u"modify"_s, u"--archive"_s, m_archivio, u"--owner"_s, CfRossi, u"--colleague"_s, collega,
                          u"--patients"_s, QString::number(quanti)});
    }

    // One run of the engine over an archive: how many of the messages it logged begin with `inizio`.
    int sincronizza(const QString &archivio, const QString &inizio = u"Invio di "_s)
    {
        m_righe.clear();
        EXPECT_TRUE(m_sync.Sincronizza(archivio)) << m_righe.join(u'\n').toStdString();
        EXPECT_EQ(m_sync.Errori(), 0) << m_righe.join(u'\n').toStdString();
        return int(
            std::count_if(m_righe.cbegin(), m_righe.cend(), [&](const QString &r) { return r.startsWith(inizio); }));
    }

    QStringList colonna(const QString &sql) { return m_admin.column(sql); }
    int conta(const QString &sql) { return m_admin.scalar(sql).toInt(); }

    QTemporaryDir m_dir;
    AdminConnection m_admin;
    int m_idRossi = 0;
    QString m_archivio = m_dir.filePath(u"studio/Rossi.mdb"_s);
    ConnessioneServer m_server;
    clsSincronizza m_sync;
    QStringList m_righe;
};

TEST_F(DemoToolTest, PublishesTheFirstActivePatientsOfSyncsListAndTheirChartsGoUp)
{
    const ToolResult esito = pubblica(8);
    ASSERT_EQ(esito.exitCode, 0) << esito.all().toStdString();
    const QStringList chiavi = colonna(u"SELECT IDPaziente FROM quor.tblanagrafica ORDER BY ID"_s);
    // The owner, his chart database, the active colleagues of his group, and no chart yet.
    EXPECT_EQ(colonna(u"SELECT DISTINCT concat(CFMedico, '|', IDDatabase, '|', Autorizzazioni, '|', "
                      "IDUpdate) FROM quor.tblanagrafica"_s),
              QStringList{u"%1|%2|011|"_s.arg(CfRossi).arg(m_idRossi)});

    // The engine's own list of the archive: the published patients are its first active ones.
    EXPECT_EQ(sincronizza(m_archivio), 8) << m_righe.join(u'\n').toStdString();
    QStringList attivi;
    for (const clsPaziente &p : m_sync.PazientiLocali()) {
        if (p.Revocato == 0) {
            attivi << p.KeyPaziente;
        }
    }
    EXPECT_EQ(chiavi, attivi.mid(0, 8));
    EXPECT_EQ(conta(u"SELECT count(*) FROM quor_%1.tblcartella"_s.arg(m_idRossi)), 8);

    // Asked for more than there are: every active patient, and not one revoked.
    ASSERT_LT(attivi.size(), m_sync.PazientiLocali().size()) << "the archive should hold revoked patients";
    const ToolResult tutti = pubblica(1000);
    ASSERT_EQ(tutti.exitCode, 0) << tutti.all().toStdString();
    EXPECT_TRUE(tutti.out.contains(u"The archive has only %1 active patients."_s.arg(attivi.size())))
        << tutti.all().toStdString();
    EXPECT_EQ(colonna(u"SELECT IDPaziente FROM quor.tblanagrafica ORDER BY ID"_s), attivi);
}

TEST_F(DemoToolTest, PublishingAgainOnlyChangesTheAuthorisations)
{
    ASSERT_EQ(pubblica(5).exitCode, 0);
    ASSERT_TRUE(m_admin.exec(u"UPDATE quor.tblanagrafica SET IDUpdate='{STAMP}' ORDER BY ID LIMIT 1"_s));

    const ToolResult esito = pubblica(5, {u"--authorise"_s, u"001"_s});
    ASSERT_EQ(esito.exitCode, 0) << esito.all().toStdString();
    EXPECT_TRUE(esito.out.contains(u"Published 0 new patients, 5 already on the server."_s))
        << esito.all().toStdString();
    EXPECT_EQ(colonna(u"SELECT DISTINCT Autorizzazioni FROM quor.tblanagrafica"_s), QStringList{u"001"_s});
    EXPECT_EQ(conta(u"SELECT count(*) FROM quor.tblanagrafica WHERE IDUpdate='{STAMP}'"_s), 1)
        << "a chart already sent keeps its stamp";
    const ToolResult piu = pubblica(7);
    EXPECT_TRUE(piu.out.contains(u"Published 2 new patients, 5 already on the server."_s)) << piu.all().toStdString();
}

TEST_F(DemoToolTest, PublishRefusesWhatSyncCouldNotUse)
{
    // Each change to the server, in turn, and the reason the tool gives.
    const std::tuple<QString, QString, QString> casi[] = {
        {{}, CfBianchi, u"belongs to "_s + CfRossi},
        {u"UPDATE quor.tblmedici SET Password='{AES}altra' WHERE CF='%1'"_s.arg(CfRossi), CfRossi, u"differs"_s},
        {u"UPDATE quor.tblmedici SET Sospeso=1 WHERE CF='%1'"_s.arg(CfRossi), CfRossi, u"is suspended"_s},
    };
    for (const auto &[prima, cf, motivo] : casi) {
        ASSERT_TRUE(prima.isEmpty() || m_admin.exec(prima)) << m_admin.lastError().toStdString();
        const ToolResult esito = pubblica(3, {}, cf);
        EXPECT_EQ(esito.exitCode, 1) << esito.all().toStdString();
        EXPECT_TRUE(esito.err.contains(motivo)) << esito.all().toStdString();
    }
    EXPECT_EQ(conta(u"SELECT count(*) FROM quor.tblanagrafica"_s), 0);
}

TEST_F(DemoToolTest, BadArgumentsAndConnectionFailuresHaveTheirExitCodes)
{
    EXPECT_EQ(pubblica(0).exitCode, 2);
    EXPECT_EQ(pubblica(3, {u"--authorise"_s, u"012"_s}).exitCode, 2);
    EXPECT_EQ(modifica(2, CfRossi).exitCode, 2) << "the owner is not his own colleague";

    const QStringList publish = {u"publish"_s, u"--archive"_s, m_archivio, u"--cf"_s, CfRossi, u"--count"_s, u"3"_s};
    const ToolResult rifiutato = strumento(publish, true, u"not-the-password"_s);
    EXPECT_EQ(rifiutato.exitCode, 4) << rifiutato.all().toStdString();
    QTcpServer sonda;
    ASSERT_TRUE(sonda.listen(QHostAddress::LocalHost));
    const QString porta = QString::number(sonda.serverPort());
    sonda.close();
    const ToolResult irraggiungibile =
        strumento(publish + QStringList{u"--host"_s, u"127.0.0.1"_s, u"--port"_s, porta}, false);
    EXPECT_EQ(irraggiungibile.exitCode, 3) << irraggiungibile.all().toStdString();
    EXPECT_EQ(conta(u"SELECT count(*) FROM quor.tblanagrafica"_s), 0);
}

TEST_F(DemoToolTest, ColleaguesModificationsAreMergedByTheOwnersSync)
{
    ASSERT_EQ(pubblica(5).exitCode, 0);
    sincronizza(m_archivio); // the charts go up, so the colleague can open them
    const auto impronta = [this] {
        QFile f(m_archivio);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    };
    const QByteArray prima = impronta();

    const ToolResult esito = modifica(2);
    ASSERT_EQ(esito.exitCode, 0) << esito.all().toStdString();
    EXPECT_EQ(impronta(), prima) << "the colleague works on his own copy";
    // Two packages, of two different published patients.
    EXPECT_EQ(conta(u"SELECT count(*) FROM quor.tblmodifiche"_s), 2);
    EXPECT_EQ(conta(u"SELECT count(DISTINCT IDPaziente) FROM quor.tblmodifiche JOIN quor.tblanagrafica "
                    "USING (IDPaziente)"_s),
              2);
    EXPECT_EQ(colonna(u"SELECT DISTINCT concat(CFMedico, '|', CFMedicoTitolare) FROM quor.tblmodifiche"_s),
              QStringList{CfBianchi + u'|' + CfRossi});

    EXPECT_EQ(sincronizza(m_archivio, u"Aggiorno cartella di "_s), 2) << m_righe.join(u'\n').toStdString();
    EXPECT_EQ(conta(u"SELECT count(*) FROM quor.tblmodifiche"_s), 0);
    Database archivio;
    ASSERT_TRUE(archivio.apri(m_archivio));
    Recordset rs(archivio);
    ASSERT_TRUE(rs.apri(u"SELECT ModificatoDa FROM tblDiario WHERE Diario LIKE "
                        "'%Visto dal collega Bianchi Giulia il %'"_s,
                        Recordset::Tipo::Dynaset));
    EXPECT_EQ(rs.conteggio(), 2);
    for (; !rs.eof(); rs.muoviProssimo()) {
        EXPECT_EQ(rs.testo(u"ModificatoDa"_s), u"Bianchi Giulia"_s);
    }
}

TEST_F(DemoToolTest, ModificationsOnlyForPatientsTheColleagueMaySee)
{
    const ToolResult pubblicati = pubblica(4, {u"--authorise"_s, u"001"_s});
    ASSERT_EQ(pubblicati.exitCode, 0) << pubblicati.all().toStdString();
    const ToolResult nonAutorizzato = modifica(2);
    EXPECT_EQ(nonAutorizzato.exitCode, 1) << nonAutorizzato.all().toStdString();
    EXPECT_TRUE(nonAutorizzato.out.contains(u"4 not authorised for Bianchi Giulia"_s))
        << nonAutorizzato.all().toStdString();

    const ToolResult altroGruppo = modifica(2, CfRomano);
    EXPECT_EQ(altroGruppo.exitCode, 1) << altroGruppo.all().toStdString();
    EXPECT_TRUE(altroGruppo.err.contains(u"not in the group"_s)) << altroGruppo.all().toStdString();
    EXPECT_EQ(conta(u"SELECT count(*) FROM quor.tblmodifiche"_s), 0);
}

} // namespace
