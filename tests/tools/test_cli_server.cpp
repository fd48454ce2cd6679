// The real lanvera-server executable against the private MariaDB server of the run.

#include "Segreti.h"
#include "ServerSchema.h"
#include "ServerTest.h"
#include "ToolRunner.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace lanvera;
using namespace lanvera::test;

namespace {

const QString kServerTool = QStringLiteral(LANVERA_SERVER_TOOL);

class CliServerTest : public ServerTest
{
protected:
    static QStringList at(QStringList arguments)
    {
        return arguments << u"--host"_s << TestServer::host() << u"--port"_s << QString::number(TestServer::port())
                         << u"--user"_s << TestServer::adminUser();
    }

    static ToolResult tool(const QStringList &arguments)
    {
        return runTool(kServerTool, at(arguments), TestServer::adminPassword());
    }

    static ToolResult addDoctor(const char *cf, const char *progressivo)
    {
        return tool({u"add-doctor"_s, u"--cf"_s, QString::fromLatin1(cf), u"--cognome"_s, u"Bianchi"_s, u"--nome"_s,
                     u"Giulia"_s, u"--gruppo"_s, u"1"_s, u"--progressivo"_s, QString::fromLatin1(progressivo)});
    }

    // No password of any kind may show up in what the tool prints.
    static void expectNoSecrets(const ToolResult &result)
    {
        for (const QString &secret : {TestServer::adminPassword(), PasswordServer(),
                                      serverschema::nativePasswordHash(PasswordServer()).mid(1)}) {
            EXPECT_FALSE(result.all().contains(secret, Qt::CaseInsensitive)) << result.all().toStdString();
        }
    }
};

// Table definitions, accounts with their passwords and rights, rows: what a repeated init must keep.
QStringList snapshot()
{
    AdminConnection sql;
    QStringList state;
    for (const char *table : {"tblmedici", "tblanagrafica", "tblmodifiche"}) {
        QSqlQuery query(sql.database());
        EXPECT_TRUE(query.exec(u"SHOW CREATE TABLE `quor`.`%1`"_s.arg(QString::fromLatin1(table))) && query.next());
        state.append(query.value(1).toString());
    }
    for (const char *host : {"%", "localhost"}) {
        state += sql.column(u"SHOW GRANTS FOR 'utenteclinora'@'%1'"_s.arg(QString::fromLatin1(host)));
        state += sql.column(u"SELECT Priv FROM mysql.global_priv "
                            "WHERE User = 'utenteclinora' AND Host = '%1'"_s.arg(QString::fromLatin1(host)));
    }
    state += sql.column(u"SELECT CONCAT_WS(' ', ID, CF, Sospeso) FROM quor.tblmedici ORDER BY ID"_s);
    return state;
}

} // namespace

TEST_F(CliServerTest, InitOnAnEmptyServerThenAgainChangesNothing)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(u"DROP DATABASE quor"_s));
    ASSERT_TRUE(sql.exec(u"DROP USER 'utenteclinora'@'%', 'utenteclinora'@'localhost'"_s));

    const ToolResult first = tool({u"init"_s});
    ASSERT_EQ(first.exitCode, 0) << first.all().toStdString();
    EXPECT_EQ(first.out.count(u": created"_s), 1 + 3 + 2) << first.out.toStdString();
    expectNoSecrets(first);
    ASSERT_TRUE(sql.exec(u"INSERT INTO quor.tblmedici (CF, Cognome, Nome, IDGruppo, Progressivo) VALUES "
                         "('RSSMRC68C12A944S', 'Rossi', 'Marco', 1, 1)"_s));
    const QStringList before = snapshot();
    ASSERT_EQ(before.size(), 3 + 2 * 4 + 1);

    const ToolResult second = tool({u"init"_s});
    ASSERT_EQ(second.exitCode, 0) << second.all().toStdString();
    EXPECT_FALSE(second.out.contains(u"created"_s)) << second.out.toStdString();
    EXPECT_EQ(second.out.count(u"already there"_s), 1 + 3 + 2);
    expectNoSecrets(second);
    EXPECT_EQ(snapshot(), before);
    AdminConnection account(UtenteServer(), PasswordServer());
    EXPECT_TRUE(account.isOpen()) << account.lastError().toStdString();
}

TEST_F(CliServerTest, AddSuspendAndListDoctorsRefusingADuplicateFiscalCode)
{
    const ToolResult added = addDoctor("bncgla75l65f257z", "1");
    ASSERT_EQ(added.exitCode, 0) << added.all().toStdString();
    const ToolResult duplicate = addDoctor("BNCGLA75L65F257Z", "2");
    EXPECT_EQ(duplicate.exitCode, 1);
    EXPECT_TRUE(duplicate.err.contains(u"BNCGLA75L65F257Z is already registered"_s)) << duplicate.err.toStdString();

    ASSERT_EQ(tool({u"suspend-doctor"_s, u"--cf"_s, u"BNCGLA75L65F257Z"_s}).exitCode, 0);
    const ToolResult listed = tool({u"list-doctors"_s, u"--gruppo"_s, u"1"_s});
    ASSERT_EQ(listed.exitCode, 0) << listed.all().toStdString();
    const QStringList lines = listed.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    EXPECT_TRUE(lines[1].simplified().endsWith(u"BNCGLA75L65F257Z Bianchi Giulia 1 1 yes no"_s))
        << lines[1].toStdString();
    expectNoSecrets(listed);
}

TEST_F(CliServerTest, ResetPasswordEmptiesThatDoctorsPasswordOnly)
{
    ASSERT_EQ(addDoctor("BNCGLA75L65F257Z", "1").exitCode, 0);
    ASSERT_EQ(addDoctor("RSSMRC68C12A944S", "2").exitCode, 0);
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(u"UPDATE quor.tblmedici SET Password = 'cifrata'"_s));
    const auto passwords = [&sql] {
        return sql.column(u"SELECT CONCAT(CF, '=', Password) FROM quor.tblmedici ORDER BY CF"_s);
    };

    const ToolResult reset = tool({u"reset-password"_s, u"--cf"_s, u" bncgla75l65f257z"_s});
    ASSERT_EQ(reset.exitCode, 0) << reset.all().toStdString();
    const QStringList after = {u"BNCGLA75L65F257Z="_s, u"RSSMRC68C12A944S=cifrata"_s};
    EXPECT_EQ(passwords(), after);

    const ToolResult unknown = tool({u"reset-password"_s, u"--cf"_s, u"ZZZZZZ00Z00Z000Z"_s});
    EXPECT_EQ(unknown.exitCode, 1) << unknown.all().toStdString();
    EXPECT_TRUE(unknown.err.contains(u"ZZZZZZ00Z00Z000Z"_s)) << unknown.err.toStdString();
    EXPECT_EQ(passwords(), after);
}

TEST_F(CliServerTest, ConnectionFailuresHaveTheirExitCodes)
{
    const QString wrong = u"not-the-admin-password"_s;
    const ToolResult refused = runTool(kServerTool, at({u"list-doctors"_s}), wrong);
    EXPECT_EQ(refused.exitCode, 4) << refused.all().toStdString();
    EXPECT_TRUE(refused.err.contains(QRegularExpression(u"error (1045|1698): Access denied for user"_s)))
        << refused.err.toStdString();
    EXPECT_FALSE(refused.all().contains(wrong));

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    QElapsedTimer timer;
    timer.start();
    const ToolResult unreachable = runTool(kServerTool, {u"init"_s, u"--port"_s, port}, u"x"_s);
    EXPECT_EQ(unreachable.exitCode, 3) << unreachable.all().toStdString();
    EXPECT_TRUE(unreachable.err.contains(u"cannot reach the server at 127.0.0.1:"_s + port))
        << unreachable.err.toStdString();
    EXPECT_LT(timer.elapsed(), 10000);
}
