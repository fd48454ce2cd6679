// The server set-up and the doctors' register against the private MariaDB server of the run.

#include "Segreti.h"
#include "ServerAdmin.h"
#include "ServerTest.h"

#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace lanvera;
using namespace lanvera::test;

namespace {

AdminLogin testLogin()
{
    AdminLogin login;
    login.host = TestServer::host();
    login.port = TestServer::port();
    login.user = TestServer::adminUser();
    login.password = TestServer::adminPassword();
    return login;
}

NewDoctor doctor(const char *cf, const char *cognome, int gruppo, int progressivo)
{
    NewDoctor d;
    d.cf = QString::fromLatin1(cf);
    d.cognome = QString::fromLatin1(cognome);
    d.nome = QStringLiteral("Anna");
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
        ASSERT_TRUE(m_admin.connect(testLogin())) << m_admin.lastError().toStdString();
    }

    int add(const NewDoctor &d)
    {
        int id = 0;
        EXPECT_TRUE(m_admin.addDoctor(d, &id)) << m_admin.lastError().toStdString();
        return id;
    }

    QList<Doctor> list(std::optional<int> gruppo = std::nullopt)
    {
        QList<Doctor> doctors;
        EXPECT_TRUE(m_admin.listDoctors(gruppo, &doctors)) << m_admin.lastError().toStdString();
        return doctors;
    }

    // What a repeated init must not change: table definitions, accounts with their passwords
    // and rights, rows.
    QStringList snapshot()
    {
        AdminConnection sql;
        QStringList state;
        for (const char *table : {"tblmedici", "tblanagrafica", "tblmodifiche"}) {
            QSqlQuery query(sql.database());
            EXPECT_TRUE(query.exec(QStringLiteral("SHOW CREATE TABLE `quor`.`%1`").arg(QString::fromLatin1(table))));
            EXPECT_TRUE(query.next());
            state.append(query.value(1).toString());
        }
        for (const char *host : {"%", "localhost"}) {
            state += sql.column(QStringLiteral("SHOW GRANTS FOR 'utenteclinora'@'%1'").arg(QString::fromLatin1(host)));
            state += sql.column(QStringLiteral("SELECT Priv FROM mysql.global_priv "
                                               "WHERE User = 'utenteclinora' AND Host = '%1'")
                                    .arg(QString::fromLatin1(host)));
        }
        state += sql.column(QStringLiteral("SELECT CONCAT_WS(' ', ID, CF, Sospeso) FROM quor.tblmedici ORDER BY ID"));
        return state;
    }

    ServerAdmin m_admin;
};

class AccountTest : public ServerTest
{
protected:
    // Runs `sql` as the programs' account, which is how every program reaches the server.
    bool asAccount(AdminConnection &account, const QString &sql)
    {
        const bool ok = account.exec(sql);
        m_lastError = account.lastError();
        return ok;
    }

    QString m_lastError;
};

} // namespace

TEST_F(ServerAdminTest, InitTwiceChangesNothing)
{
    add(doctor("RSSMRC68C12A944S", "Rossi", 1, 1));
    const QStringList before = snapshot();
    ASSERT_EQ(before.size(), 3 + 2 * 4 + 1);

    QStringList report;
    ASSERT_TRUE(m_admin.initialise(&report)) << m_admin.lastError().toStdString();
    EXPECT_EQ(report.filter(QStringLiteral("created")), QStringList()) << report.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(report.filter(QStringLiteral("already there")).size(), 1 + 3 + 2);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(ServerAdminTest, InitCreatesWhatIsMissingAndSaysSo)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(QStringLiteral("DROP TABLE quor.tblmodifiche"))) << sql.lastError().toStdString();
    ASSERT_TRUE(sql.exec(QStringLiteral("DROP USER 'utenteclinora'@'localhost'"))) << sql.lastError().toStdString();

    QStringList report;
    ASSERT_TRUE(m_admin.initialise(&report)) << m_admin.lastError().toStdString();
    EXPECT_EQ(report.filter(QStringLiteral("created")),
              QStringList({QStringLiteral("table `quor`.`tblmodifiche`: created (InnoDB)"),
                           QStringLiteral("account 'utenteclinora'@'localhost': created")}));
    AdminConnection account(UtenteServer(), PasswordServer());
    EXPECT_TRUE(account.isOpen()) << account.lastError().toStdString();
}

TEST_F(ServerAdminTest, TablesHaveTheColumnsKeysAndCharacterSetTheProgramsNeed)
{
    AdminConnection sql;
    EXPECT_EQ(sql.column(QStringLiteral("SELECT DISTINCT CONCAT(ENGINE, ' ', TABLE_COLLATION) FROM "
                                        "information_schema.TABLES WHERE TABLE_SCHEMA = 'quor'")),
              QStringList{QStringLiteral("InnoDB utf8mb4_unicode_ci")});

    const auto type = [&sql](const char *table, const char *column) {
        return sql
            .scalar(
                QStringLiteral("SELECT CONCAT(COLUMN_TYPE, ' ', IS_NULLABLE, ' ', IFNULL(COLUMN_DEFAULT, '-'), ' ', "
                               "EXTRA) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = 'quor' AND "
                               "TABLE_NAME = '%1' AND COLUMN_NAME = '%2'")
                    .arg(QString::fromLatin1(table), QString::fromLatin1(column)))
            .toString()
            .trimmed();
    };
    EXPECT_EQ(type("tblmedici", "ID"), QStringLiteral("int(11) NO - auto_increment"));
    EXPECT_EQ(type("tblmedici", "CF"), QStringLiteral("varchar(16) NO -"));
    EXPECT_EQ(type("tblmedici", "Sospeso"), QStringLiteral("int(11) NO 0"));
    EXPECT_EQ(type("tblanagrafica", "IDPaziente"), QStringLiteral("varchar(116) NO ''"));
    EXPECT_EQ(type("tblanagrafica", "IDUpdate"), QStringLiteral("varchar(38) YES ''"));
    EXPECT_EQ(type("tblanagrafica", "IDDatabase"), QStringLiteral("int(11) YES 0"));
    EXPECT_EQ(type("tblmodifiche", "IDPaziente"), QStringLiteral("varchar(116) NO ''"));
    EXPECT_EQ(type("tblmodifiche", "Modifiche"), QStringLiteral("longtext NO -"));

    // One row per patient and owner; the same patient may belong to two owners.
    const QString insert = QStringLiteral("INSERT INTO quor.tblanagrafica (IDPaziente, CFMedico) VALUES "
                                          "('bnclra80a41h501x;bianchi;laura', '%1')");
    ASSERT_TRUE(sql.exec(insert.arg(QStringLiteral("RSSMRC68C12A944S")))) << sql.lastError().toStdString();
    EXPECT_TRUE(sql.exec(insert.arg(QStringLiteral("VRDGPP70B02F205K")))) << sql.lastError().toStdString();
    EXPECT_FALSE(sql.exec(insert.arg(QStringLiteral("RSSMRC68C12A944S"))));
    EXPECT_TRUE(sql.lastError().contains(QLatin1String("1062"))) << sql.lastError().toStdString();

    // Lookups by owner and by patient have their indexes.
    EXPECT_EQ(sql.column(QStringLiteral("SELECT DISTINCT CONCAT(TABLE_NAME, '.', COLUMN_NAME) FROM "
                                        "information_schema.STATISTICS WHERE TABLE_SCHEMA = 'quor' AND "
                                        "SEQ_IN_INDEX = 1 AND INDEX_NAME <> 'PRIMARY' ORDER BY 1")),
              QStringList({QStringLiteral("tblanagrafica.CFMedico"), QStringLiteral("tblanagrafica.IDPaziente"),
                           QStringLiteral("tblmedici.CF"), QStringLiteral("tblmedici.IDGruppo"),
                           QStringLiteral("tblmodifiche.IDPaziente")}));
}

TEST_F(ServerAdminTest, InitRefusesATableThatLacksAColumn)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(QStringLiteral("ALTER TABLE quor.tblmedici DROP COLUMN Ulmet, DROP COLUMN ASLCompleto")));

    QStringList report;
    EXPECT_FALSE(m_admin.initialise(&report));
    EXPECT_TRUE(m_admin.lastError().contains(QLatin1String("Ulmet, ASLCompleto"))) << m_admin.lastError().toStdString();
    EXPECT_TRUE(m_admin.lastError().contains(QLatin1String("tblmedici")));
}

TEST_F(ServerAdminTest, InitRestoresAnAccountPasswordChangedByHand)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(QStringLiteral("ALTER USER 'utenteclinora'@'localhost' IDENTIFIED BY 'altro'")));
    {
        AdminConnection account(UtenteServer(), PasswordServer());
        ASSERT_FALSE(account.isOpen());
    }

    QStringList report;
    ASSERT_TRUE(m_admin.initialise(&report)) << m_admin.lastError().toStdString();
    EXPECT_TRUE(
        report.contains(QStringLiteral("account 'utenteclinora'@'localhost': already there, password set again")))
        << report.join(QLatin1Char('\n')).toStdString();
    AdminConnection account(UtenteServer(), PasswordServer());
    EXPECT_TRUE(account.isOpen()) << account.lastError().toStdString();
}

TEST_F(AccountTest, LogsInWithTheProgramsPasswordOnly)
{
    AdminConnection account(UtenteServer(), PasswordServer());
    EXPECT_TRUE(account.isOpen()) << account.lastError().toStdString();

    AdminConnection wrong(UtenteServer(), PasswordServer() + QLatin1Char('x'));
    EXPECT_FALSE(wrong.isOpen());
    EXPECT_TRUE(wrong.lastError().contains(QLatin1String("1045"))) << wrong.lastError().toStdString();
}

TEST_F(AccountTest, BothHostsGetTheSameRights)
{
    AdminConnection sql;
    QStringList remote = sql.column(QStringLiteral("SHOW GRANTS FOR 'utenteclinora'@'%'"));
    const QStringList local = sql.column(QStringLiteral("SHOW GRANTS FOR 'utenteclinora'@'localhost'"));
    ASSERT_EQ(remote.size(), 3);
    remote.replaceInStrings(QStringLiteral("`@`%`"), QStringLiteral("`@`localhost`"));
    EXPECT_EQ(remote, local);
}

TEST_F(AccountTest, CreatesAndUsesChartDatabasesAndUsesQuor)
{
    AdminConnection account(UtenteServer(), PasswordServer());
    ASSERT_TRUE(account.isOpen()) << account.lastError().toStdString();

    // What the programs do on the first chart sent to a chart database.
    for (const char *statement :
         {"CREATE DATABASE IF NOT EXISTS `quor_7`", "USE `quor_7`",
          "CREATE TABLE IF NOT EXISTS `tblcartella` (`ID` int(11) NOT NULL auto_increment, `IDPaziente` varchar(116) "
          "NOT NULL default '', `Cartella` longtext NOT NULL, PRIMARY KEY (`ID`), UNIQUE KEY `IDPaziente` "
          "(`IDPaziente`)) ENGINE=InnoDB",
          "INSERT INTO tblcartella (IDPaziente, Cartella) VALUES ('a;b;c', 'UEsDBA==')",
          "UPDATE tblcartella SET Cartella = 'UEsDBB==' WHERE IDPaziente = 'a;b;c'",
          "CREATE INDEX Prova ON tblcartella (Cartella(10))", "ALTER TABLE tblcartella DROP INDEX Prova",
          "DELETE FROM tblcartella WHERE IDPaziente = 'a;b;c'", "CREATE DATABASE IF NOT EXISTS `quor_7`", "USE `quor`",
          "INSERT INTO tblmedici (CF, Cognome, Nome, IDGruppo, Progressivo) VALUES ('RSSMRC68C12A944S', 'Rossi', "
          "'Marco', 1, 1)",
          "UPDATE tblmedici SET Password = 'x' WHERE CF = 'RSSMRC68C12A944S'",
          "INSERT INTO tblanagrafica (IDPaziente, CFMedico, IDDatabase) VALUES ('a;b;c', 'RSSMRC68C12A944S', 7)",
          "DELETE FROM tblanagrafica WHERE IDPaziente = 'a;b;c'"}) {
        EXPECT_TRUE(asAccount(account, QString::fromLatin1(statement)))
            << statement << ": " << m_lastError.toStdString();
    }

    // A modifications package of several megabytes fits in one statement.
    QSqlQuery insert(account.database());
    ASSERT_TRUE(insert.prepare(QStringLiteral(
        "INSERT INTO tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, Modifiche) VALUES (?, ?, ?, ?)")));
    const QString package(12 * 1024 * 1024, QLatin1Char('A'));
    insert.addBindValue(QStringLiteral("a;b;c"));
    insert.addBindValue(QStringLiteral("VRDGPP70B02F205K"));
    insert.addBindValue(QStringLiteral("RSSMRC68C12A944S"));
    insert.addBindValue(package);
    ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
    EXPECT_EQ(account.scalar(QStringLiteral("SELECT LENGTH(Modifiche) FROM tblmodifiche")).toLongLong(),
              package.size());
    EXPECT_TRUE(asAccount(account, QStringLiteral("DELETE FROM tblmodifiche"))) << m_lastError.toStdString();
}

TEST_F(AccountTest, CannotCreateOtherDatabasesNorDropOrReshapeQuor)
{
    AdminConnection account(UtenteServer(), PasswordServer());
    ASSERT_TRUE(account.isOpen()) << account.lastError().toStdString();
    ASSERT_TRUE(asAccount(account, QStringLiteral("CREATE DATABASE `quor_7`")));

    for (const char *statement :
         {"CREATE DATABASE `clinora`", "CREATE DATABASE `quorx`", "CREATE DATABASE `quor7`", "DROP DATABASE `quor`",
          "DROP DATABASE `quor_7`", "DROP TABLE `quor`.`tblmedici`", "CREATE TABLE `quor`.`tblaltro` (ID int)",
          "ALTER TABLE `quor`.`tblmedici` ADD COLUMN Altro int", "CREATE USER 'altro'@'%'",
          "SELECT COUNT(*) FROM mysql.user"}) {
        EXPECT_FALSE(asAccount(account, QString::fromLatin1(statement))) << statement;
        EXPECT_TRUE(m_lastError.contains(QLatin1String("denied"))) << statement << ": " << m_lastError.toStdString();
    }
}

TEST_F(ServerAdminTest, AddsListsAndSuspendsDoctors)
{
    NewDoctor first = doctor(" rssmrc68c12a944s ", "Rossi", 1, 2);
    first.ulmet = QStringLiteral("token-1");
    first.codiceRegionale = QStringLiteral("123456");
    first.aslCompleto = QStringLiteral("080105");
    const int rossi = add(first);
    const int verdi = add(doctor("VRDGPP70B02F205K", "Verdi", 2, 1));
    const int bianchi = add(doctor("BNCLRA80A41H501X", "Bianchi", 1, 1));
    EXPECT_GT(rossi, 0);
    EXPECT_GT(verdi, rossi);
    EXPECT_GT(bianchi, verdi);

    AdminConnection sql;
    EXPECT_EQ(
        sql.column(QStringLiteral("SELECT CONCAT_WS('|', CF, Nome, Sospeso, Password, Ulmet, CodiceRegionale, "
                                  "ASLCompleto) FROM quor.tblmedici ORDER BY ID")),
        QStringList({QStringLiteral("RSSMRC68C12A944S|Anna|0||token-1|123456|080105"),
                     QStringLiteral("VRDGPP70B02F205K|Anna|0||||"), QStringLiteral("BNCLRA80A41H501X|Anna|0||||")}));
    ASSERT_TRUE(
        sql.exec(QStringLiteral("UPDATE quor.tblmedici SET Password = 'cifrata' WHERE CF = 'VRDGPP70B02F205K'")));

    QList<Doctor> all = list();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].id, bianchi);
    EXPECT_EQ(all[1].id, rossi);
    EXPECT_EQ(all[2].id, verdi);
    EXPECT_EQ(all[1].cf, QStringLiteral("RSSMRC68C12A944S"));
    EXPECT_EQ(all[1].cognome, QStringLiteral("Rossi"));
    EXPECT_EQ(all[1].gruppo, 1);
    EXPECT_EQ(all[1].progressivo, 2);
    EXPECT_FALSE(all[1].passwordSet);
    EXPECT_TRUE(all[2].passwordSet);

    const QList<Doctor> group1 = list(1);
    ASSERT_EQ(group1.size(), 2);
    EXPECT_EQ(group1[0].id, bianchi);
    EXPECT_EQ(group1[1].id, rossi);
    EXPECT_TRUE(list(9).isEmpty());

    bool already = true;
    ASSERT_TRUE(m_admin.suspendDoctor(QStringLiteral("rssmrc68c12a944s"), &already))
        << m_admin.lastError().toStdString();
    EXPECT_FALSE(already);
    ASSERT_TRUE(m_admin.suspendDoctor(QStringLiteral("RSSMRC68C12A944S"), &already));
    EXPECT_TRUE(already);
    all = list();
    EXPECT_FALSE(all[0].sospeso);
    EXPECT_TRUE(all[1].sospeso);
    EXPECT_EQ(sql.scalar(QStringLiteral("SELECT Sospeso FROM quor.tblmedici WHERE ID = %1").arg(rossi)).toInt(), 1);

    EXPECT_FALSE(m_admin.suspendDoctor(QStringLiteral("ZZZZZZ00Z00Z000Z")));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::Refused);
    EXPECT_TRUE(m_admin.lastError().contains(QLatin1String("ZZZZZZ00Z00Z000Z")));
}

TEST_F(ServerAdminTest, RefusesADuplicateFiscalCodeEvenOfASuspendedDoctor)
{
    add(doctor("RSSMRC68C12A944S", "Rossi", 1, 1));
    int id = 0;
    EXPECT_FALSE(m_admin.addDoctor(doctor("rssmrc68c12a944s", "Rossi", 1, 2), &id));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::Refused);
    EXPECT_TRUE(m_admin.lastError().contains(QLatin1String("already registered"))) << m_admin.lastError().toStdString();

    ASSERT_TRUE(m_admin.suspendDoctor(QStringLiteral("RSSMRC68C12A944S")));
    EXPECT_FALSE(m_admin.addDoctor(doctor("RSSMRC68C12A944S", "Rossi", 3, 1), &id));
    EXPECT_TRUE(m_admin.lastError().contains(QLatin1String("suspended"))) << m_admin.lastError().toStdString();
    EXPECT_EQ(list().size(), 1);
}

TEST_F(ServerAdminTest, ProgressivoMustBeFreeAmongTheGroupsActiveDoctors)
{
    add(doctor("RSSMRC68C12A944S", "Rossi", 1, 1));
    int id = 0;
    EXPECT_FALSE(m_admin.addDoctor(doctor("VRDGPP70B02F205K", "Verdi", 1, 1), &id));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::Refused);
    EXPECT_TRUE(m_admin.lastError().contains(QLatin1String("RSSMRC68C12A944S"))) << m_admin.lastError().toStdString();

    // Another group, or the place of a suspended doctor, is free.
    EXPECT_GT(add(doctor("VRDGPP70B02F205K", "Verdi", 2, 1)), 0);
    ASSERT_TRUE(m_admin.suspendDoctor(QStringLiteral("RSSMRC68C12A944S")));
    EXPECT_GT(add(doctor("BNCLRA80A41H501X", "Bianchi", 1, 1)), 0);
    EXPECT_EQ(list(1).size(), 2);
}

TEST_F(ServerAdminTest, InvalidDoctorIsRefusedBeforeReachingTheTable)
{
    int id = 0;
    EXPECT_FALSE(m_admin.addDoctor(doctor("RSSMRC68C12A944", "Rossi", 1, 1), &id));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::Refused);
    EXPECT_FALSE(m_admin.addDoctor(doctor("RSSMRC68C12A944S", "Rossi", 0, 1), &id));
    EXPECT_TRUE(list().isEmpty());
}

TEST_F(ServerAdminTest, DoctorCommandsOnAServerWithoutQuorAskForInit)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(QStringLiteral("DROP DATABASE quor")));
    int id = 0;
    EXPECT_FALSE(m_admin.addDoctor(doctor("RSSMRC68C12A944S", "Rossi", 1, 1), &id));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::NoSchema);
    EXPECT_TRUE(m_admin.lastError().contains(QLatin1String("lanvera-server init")))
        << m_admin.lastError().toStdString();
    QList<Doctor> doctors;
    EXPECT_FALSE(m_admin.listDoctors(std::nullopt, &doctors));
    EXPECT_EQ(m_admin.lastFailure(), ServerAdmin::Failure::NoSchema);
}
