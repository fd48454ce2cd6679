// The real lanvera-server executable against the private MariaDB server of the run.

#include "Segreti.h"
#include "ServerSchema.h"
#include "ServerTest.h"
#include "ToolRunner.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace lanvera;
using namespace lanvera::test;

namespace {

class CliServerTest : public ServerTest
{
protected:
    QStringList at(QStringList arguments) const
    {
        return arguments << QStringLiteral("--host") << TestServer::host() << QStringLiteral("--port")
                         << QString::number(TestServer::port()) << QStringLiteral("--user") << TestServer::adminUser();
    }

    ToolResult tool(const QStringList &arguments) const { return runTool(at(arguments), TestServer::adminPassword()); }

    // No password of any kind may show up in what the tool prints.
    static void expectNoSecrets(const ToolResult &result)
    {
        for (const QString &secret : {TestServer::adminPassword(), PasswordServer(),
                                      serverschema::nativePasswordHash(PasswordServer()).mid(1)}) {
            EXPECT_FALSE(result.all().contains(secret, Qt::CaseInsensitive)) << result.all().toStdString();
        }
    }
};

QStringList doctorArguments(const char *cf, const char *cognome, const char *gruppo, const char *progressivo)
{
    return {QStringLiteral("add-doctor"),    QStringLiteral("--cf"),          QString::fromLatin1(cf),
            QStringLiteral("--cognome"),     QString::fromLatin1(cognome),    QStringLiteral("--nome"),
            QStringLiteral("Giulia"),        QStringLiteral("--gruppo"),      QString::fromLatin1(gruppo),
            QStringLiteral("--progressivo"), QString::fromLatin1(progressivo)};
}

} // namespace

TEST_F(CliServerTest, InitOnAnEmptyServerThenAgain)
{
    AdminConnection sql;
    ASSERT_TRUE(sql.exec(QStringLiteral("DROP DATABASE quor")));
    ASSERT_TRUE(sql.exec(QStringLiteral("DROP USER 'utenteclinora'@'%', 'utenteclinora'@'localhost'")));

    const ToolResult first = tool({QStringLiteral("init")});
    ASSERT_EQ(first.exitCode, 0) << first.all().toStdString();
    EXPECT_EQ(first.out.count(QStringLiteral(": created")), 1 + 3 + 2) << first.out.toStdString();
    expectNoSecrets(first);

    const ToolResult second = tool({QStringLiteral("init")});
    ASSERT_EQ(second.exitCode, 0) << second.all().toStdString();
    EXPECT_FALSE(second.out.contains(QLatin1String("created"))) << second.out.toStdString();
    EXPECT_EQ(second.out.count(QStringLiteral("already there")), 1 + 3 + 2);
    expectNoSecrets(second);

    AdminConnection account(UtenteServer(), PasswordServer());
    EXPECT_TRUE(account.isOpen()) << account.lastError().toStdString();
}

TEST_F(CliServerTest, AddListAndSuspendDoctors)
{
    const ToolResult added = tool(doctorArguments("bnc gla75l65f257z", "Bianchi", "1", "1"));
    EXPECT_EQ(added.exitCode, 2) << "a blank inside the fiscal code";

    const ToolResult first = tool(doctorArguments("bncgla75l65f257z", "Bianchi", "1", "1"));
    ASSERT_EQ(first.exitCode, 0) << first.all().toStdString();
    const QRegularExpressionMatch id = QRegularExpression(QStringLiteral("ID (\\d+)")).match(first.out);
    ASSERT_TRUE(id.hasMatch()) << first.out.toStdString();
    const ToolResult second = tool(doctorArguments("FRRLCU80S03G337B", "Ferrari", "2", "1"));
    ASSERT_EQ(second.exitCode, 0) << second.all().toStdString();

    const ToolResult duplicate = tool(doctorArguments("BNCGLA75L65F257Z", "Bianchi", "1", "2"));
    EXPECT_EQ(duplicate.exitCode, 1);
    EXPECT_TRUE(duplicate.err.contains(QLatin1String("BNCGLA75L65F257Z is already registered")))
        << duplicate.err.toStdString();

    ToolResult listed = tool({QStringLiteral("list-doctors"), QStringLiteral("--gruppo"), QStringLiteral("1")});
    ASSERT_EQ(listed.exitCode, 0) << listed.all().toStdString();
    QStringList lines = listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    EXPECT_EQ(lines[1].simplified(), id.captured(1) + QStringLiteral(" BNCGLA75L65F257Z Bianchi Giulia 1 1 no no"));

    const ToolResult suspended =
        tool({QStringLiteral("suspend-doctor"), QStringLiteral("--cf"), QStringLiteral("BNCGLA75L65F257Z")});
    ASSERT_EQ(suspended.exitCode, 0) << suspended.all().toStdString();
    const ToolResult unknown =
        tool({QStringLiteral("suspend-doctor"), QStringLiteral("--cf"), QStringLiteral("ZZZZZZ00Z00Z000Z")});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("no doctor"))) << unknown.err.toStdString();

    listed = tool({QStringLiteral("list-doctors")});
    ASSERT_EQ(listed.exitCode, 0) << listed.all().toStdString();
    lines = listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << listed.out.toStdString();
    EXPECT_TRUE(lines[1].simplified().endsWith(QLatin1String("Bianchi Giulia 1 1 yes no")));
    EXPECT_TRUE(lines[2].simplified().endsWith(QLatin1String("Ferrari Giulia 2 1 no no")));
    expectNoSecrets(listed);
}

TEST_F(CliServerTest, WrongAdministratorPasswordIsRefusedWithTheServersError)
{
    const QString wrong = QStringLiteral("not-the-admin-password");
    const ToolResult result = runTool(at({QStringLiteral("list-doctors")}), wrong);
    EXPECT_EQ(result.exitCode, 4) << result.all().toStdString();
    EXPECT_TRUE(result.err.contains(QRegularExpression(QStringLiteral("error (1045|1698): Access denied for user"))))
        << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_FALSE(result.all().contains(wrong));
}

TEST_F(CliServerTest, APortWithNothingListeningIsReportedQuickly)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QString port = QString::number(probe.serverPort());
    probe.close();

    QElapsedTimer timer;
    timer.start();
    const ToolResult result = runTool({QStringLiteral("init"), QStringLiteral("--port"), port}, QStringLiteral("x"));
    EXPECT_EQ(result.exitCode, 3) << result.all().toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("cannot reach the server at 127.0.0.1:") + port))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QLatin1String("error 2002"))) << result.err.toStdString();
    EXPECT_LT(timer.elapsed(), 10000);
}
