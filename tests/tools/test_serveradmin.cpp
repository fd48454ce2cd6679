// The server set-up and the doctors' register against the private MariaDB server of the run.

#include "Segreti.h"
#include "ServerAdmin.h"
#include "ServerTest.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace lanvera;
using namespace lanvera::test;

namespace {

NewDoctor doctor(const char *cf, int gruppo, int progressivo)
{
    NewDoctor d;
    d.cf = QString::fromLatin1(cf);
    d.cognome = u"Rossi"_s;
    d.nome = u"Anna"_s;
    d.gruppo = gruppo;
    d.progressivo = progressivo;
    return d;
}

class ServerAdminTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        AdminLogin login;
        login.host = TestServer::host();
        login.port = TestServer::port();
        login.user = TestServer::adminUser();
        login.password = TestServer::adminPassword();
        ASSERT_TRUE(m_admin.connect(login)) << m_admin.lastError().toStdString();
    }

    int add(const NewDoctor &d)
    {
        int id = 0;
        EXPECT_TRUE(m_admin.addDoctor(d, &id)) << m_admin.lastError().toStdString();
        return id;
    }

    // The refusal of a doctor, with the text the operator reads.
    void expectRefused(const NewDoctor &d, const char *mentions)
    {
        int id = 0;
        EXPECT_FALSE(m_admin.addDoctor(d, &id));
        EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::Refused);
        EXPECT_TRUE(m_admin.lastError().contains(QLatin1String(mentions))) << m_admin.lastError().toStdString();
    }

    QList<int> listed(std::optional<int> gruppo = std::nullopt)
    {
        QList<Doctor> doctors;
        EXPECT_TRUE(m_admin.listDoctors(gruppo, &doctors)) << m_admin.lastError().toStdString();
        QList<int> ids;
        for (const Doctor &d : std::as_const(doctors)) {
            ids << (d.sospeso ? -d.id : d.id);
        }
        return ids;
    }

    ServerAdmin m_admin;
};

} // namespace

TEST_F(ServerAdminTest, InitRepairsWhatIsMissingOrChangedByHand)
{
    AdminConnection sql;
    for (const char *statement : {"DROP TABLE quor.tblmodifiche", "DROP USER 'utenteclinora'@'%'",
                                  "ALTER USER 'utenteclinora'@'localhost' IDENTIFIED BY 'altro'"}) {
        ASSERT_TRUE(sql.exec(QString::fromLatin1(statement))) << statement << ": " << sql.lastError().toStdString();
    }
    QStringList report;
    ASSERT_TRUE(m_admin.initialise(&report)) << m_admin.lastError().toStdString();
    EXPECT_EQ(report.filter(u"created"_s), QStringList({u"table `quor`.`tblmodifiche`: created (InnoDB)"_s,
                                                        u"account 'utenteclinora'@'%': created"_s}));
    EXPECT_TRUE(report.contains(u"account 'utenteclinora'@'localhost': already there, password set again"_s))
        << report.join(u'\n').toStdString();
    AdminConnection account(UtenteServer(), PasswordServer());
    EXPECT_TRUE(account.isOpen()) << account.lastError().toStdString();
}

TEST_F(ServerAdminTest, InitRefusesATableThatLacksAColumn)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(u"ALTER TABLE quor.tblmedici DROP COLUMN Ulmet, DROP COLUMN ASLCompleto"_s));
    QStringList report;
    EXPECT_FALSE(m_admin.initialise(&report));
    EXPECT_TRUE(m_admin.lastError().contains(u"tblmedici"_s)) << m_admin.lastError().toStdString();
    EXPECT_TRUE(m_admin.lastError().contains(u"Ulmet, ASLCompleto"_s)) << m_admin.lastError().toStdString();
}

TEST_F(ServerAdminTest, PublishedPatientsAreOneRowPerPatientAndOwner)
{
    AdminConnection sql;
    // Accented names need the full character set.
    EXPECT_EQ(sql.column(u"SELECT DISTINCT CONCAT(ENGINE, ' ', TABLE_COLLATION) FROM "
                         "information_schema.TABLES WHERE TABLE_SCHEMA = 'quor'"_s),
              QStringList{u"InnoDB utf8mb4_unicode_ci"_s});
    const QString insert = u"INSERT INTO quor.tblanagrafica (IDPaziente, CFMedico) VALUES "
                           "('bnclra80a41h501x;bianchi;laura', '%1')"_s;
    ASSERT_TRUE(sql.exec(insert.arg(u"RSSMRC68C12A944S"_s))) << sql.lastError().toStdString();
    EXPECT_TRUE(sql.exec(insert.arg(u"VRDGPP70B02F205K"_s))) << sql.lastError().toStdString();
    EXPECT_FALSE(sql.exec(insert.arg(u"RSSMRC68C12A944S"_s)));
    EXPECT_TRUE(sql.lastError().contains(u"1062"_s)) << sql.lastError().toStdString();
}

TEST_F(ServerAdminTest, TheProgramsAccountWorksOnChartDatabasesAndNothingElse)
{
    AdminConnection sql;
    QStringList remote = sql.column(u"SHOW GRANTS FOR 'utenteclinora'@'%'"_s);
    ASSERT_EQ(remote.size(), 3);
    EXPECT_EQ(remote.replaceInStrings(u"`@`%`"_s, u"`@`localhost`"_s),
              sql.column(u"SHOW GRANTS FOR 'utenteclinora'@'localhost'"_s));

    AdminConnection account(UtenteServer(), PasswordServer());
    ASSERT_TRUE(account.isOpen()) << account.lastError().toStdString();
    // What the programs do with the first chart sent to a chart database, and with the register.
    for (const char *statement :
         {"CREATE DATABASE IF NOT EXISTS `quor_7`", "USE `quor_7`",
          "CREATE TABLE IF NOT EXISTS `tblcartella` (`ID` int(11) NOT NULL auto_increment, `IDPaziente` varchar(116) "
          "NOT NULL default '', `Cartella` longtext NOT NULL, PRIMARY KEY (`ID`), UNIQUE KEY `IDPaziente` "
          "(`IDPaziente`)) ENGINE=InnoDB",
          "INSERT INTO tblcartella (IDPaziente, Cartella) VALUES ('a;b;c', 'UEsDBA==')",
          "UPDATE tblcartella SET Cartella = 'UEsDBB==' WHERE IDPaziente = 'a;b;c'",
          "DELETE FROM tblcartella WHERE IDPaziente = 'a;b;c'", "USE `quor`",
          "INSERT INTO tblmedici (CF, Cognome, Nome, IDGruppo, Progressivo) VALUES ('RSSMRC68C12A944S', 'Rossi', "
          "'Marco', 1, 1)",
          "UPDATE tblmedici SET Password = 'x' WHERE CF = 'RSSMRC68C12A944S'",
          "INSERT INTO tblanagrafica (IDPaziente, CFMedico, IDDatabase) VALUES ('a;b;c', 'RSSMRC68C12A944S', 7)",
          "INSERT INTO tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, Modifiche) VALUES ('a;b;c', "
          "'VRDGPP70B02F205K', 'RSSMRC68C12A944S', 'UEsDBA==')",
          "DELETE FROM tblmodifiche", "DELETE FROM tblanagrafica WHERE IDPaziente = 'a;b;c'"}) {
        EXPECT_TRUE(account.exec(QString::fromLatin1(statement)))
            << statement << ": " << account.lastError().toStdString();
    }
    for (const char *statement :
         {"CREATE DATABASE `clinora`", "CREATE DATABASE `quorx`", "CREATE DATABASE `quor7`", "DROP DATABASE `quor`",
          "DROP DATABASE `quor_7`", "DROP TABLE `quor`.`tblmedici`", "CREATE TABLE `quor`.`tblaltro` (ID int)",
          "ALTER TABLE `quor`.`tblmedici` ADD COLUMN Altro int", "CREATE USER 'altro'@'%'",
          "SELECT COUNT(*) FROM mysql.user"}) {
        EXPECT_FALSE(account.exec(QString::fromLatin1(statement))) << statement;
        EXPECT_TRUE(account.lastError().contains(u"denied"_s))
            << statement << ": " << account.lastError().toStdString();
    }
}

TEST_F(ServerAdminTest, AddsListsAndSuspendsDoctors)
{
    NewDoctor first = doctor(" rssmrc68c12a944s ", 1, 2);
    first.cognome = u"Verdi"_s;
    first.ulmet = u"token-1"_s;
    first.aslCompleto = u"080105"_s;
    const int verdi = add(first);
    const int rossi = add(doctor("BNCLRA80A41H501X", 1, 1));
    const int altro = add(doctor("VRDGPP70B02F205K", 2, 1));
    AdminConnection sql;
    EXPECT_EQ(sql.column(u"SELECT CONCAT_WS('|', CF, Ulmet, ASLCompleto) FROM quor.tblmedici "
                         "WHERE ID = %1"_s.arg(verdi)),
              QStringList{u"RSSMRC68C12A944S|token-1|080105"_s});

    EXPECT_EQ(listed(), (QList<int>{rossi, verdi, altro})); // by group and progressivo
    EXPECT_EQ(listed(1), (QList<int>{rossi, verdi}));
    EXPECT_TRUE(listed(9).isEmpty());
    ASSERT_TRUE(sql.exec(u"UPDATE quor.tblmedici SET Password = 'cifrata' WHERE ID = %1"_s.arg(altro)));
    QList<Doctor> group2;
    ASSERT_TRUE(m_admin.listDoctors(2, &group2));
    ASSERT_EQ(group2.size(), 1);
    EXPECT_TRUE(group2[0].passwordSet);

    bool already = true;
    ASSERT_TRUE(m_admin.suspendDoctor(u"rssmrc68c12a944s"_s, &already)) << m_admin.lastError().toStdString();
    EXPECT_FALSE(already);
    ASSERT_TRUE(m_admin.suspendDoctor(u"RSSMRC68C12A944S"_s, &already));
    EXPECT_TRUE(already);
    EXPECT_EQ(listed(1), (QList<int>{rossi, -verdi}));

    EXPECT_FALSE(m_admin.suspendDoctor(u"ZZZZZZ00Z00Z000Z"_s));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::Refused);
    EXPECT_TRUE(m_admin.lastError().contains(u"ZZZZZZ00Z00Z000Z"_s));
}

TEST_F(ServerAdminTest, FiscalCodeAndProgressivoMustBeFree)
{
    add(doctor("RSSMRC68C12A944S", 1, 1));
    expectRefused(doctor("rssmrc68c12a944s", 1, 2), "already registered");
    // The progressivo is taken among the group's active doctors only.
    expectRefused(doctor("VRDGPP70B02F205K", 1, 1), "RSSMRC68C12A944S");
    EXPECT_GT(add(doctor("VRDGPP70B02F205K", 2, 1)), 0);

    ASSERT_TRUE(m_admin.suspendDoctor(u"RSSMRC68C12A944S"_s));
    expectRefused(doctor("RSSMRC68C12A944S", 3, 1), "suspended");
    EXPECT_GT(add(doctor("BNCLRA80A41H501X", 1, 1)), 0);
    EXPECT_EQ(listed().size(), 3);
}

TEST_F(ServerAdminTest, DoctorCommandsOnAServerWithoutQuorAskForInit)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(u"DROP DATABASE quor"_s));
    int id = 0;
    EXPECT_FALSE(m_admin.addDoctor(doctor("RSSMRC68C12A944S", 1, 1), &id));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::NoSchema);
    EXPECT_TRUE(m_admin.lastError().contains(u"lanvera-server init"_s)) << m_admin.lastError().toStdString();
    QList<Doctor> doctors;
    EXPECT_FALSE(m_admin.listDoctors(std::nullopt, &doctors));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::NoSchema);
}
