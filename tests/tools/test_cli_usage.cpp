// Arguments the tool must refuse before it goes near a server.

#include "ToolRunner.h"

#include <gtest/gtest.h>

using namespace lanvera::test;

namespace {

const QStringList fullDoctor = {QStringLiteral("--cf"),          QStringLiteral("RSSMRC68C12A944S"),
                                QStringLiteral("--cognome"),     QStringLiteral("Rossi"),
                                QStringLiteral("--nome"),        QStringLiteral("Marco"),
                                QStringLiteral("--gruppo"),      QStringLiteral("1"),
                                QStringLiteral("--progressivo"), QStringLiteral("1")};

QStringList replaced(QStringList arguments, const QString &option, const QString &value)
{
    arguments[arguments.indexOf(option) + 1] = value;
    return arguments;
}

} // namespace

TEST(CliUsageTest, BadOrMissingArgumentsExitWithUsage)
{
    const QString addDoctor = QStringLiteral("add-doctor");
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("init"), QStringLiteral("extra")},
        {QStringLiteral("init"), QStringLiteral("--bogus")},
        {QStringLiteral("init"), QStringLiteral("--port"), QStringLiteral("70000")},
        {QStringLiteral("init"), QStringLiteral("--port"), QStringLiteral("abc")},
        {QStringLiteral("init"), QStringLiteral("--port")},
        QStringList{addDoctor} + fullDoctor.mid(0, 8),
        QStringList{addDoctor} + replaced(fullDoctor, QStringLiteral("--cf"), QStringLiteral("RSSMRC68C12A944")),
        QStringList{addDoctor} + replaced(fullDoctor, QStringLiteral("--gruppo"), QStringLiteral("0")),
        QStringList{addDoctor} + replaced(fullDoctor, QStringLiteral("--progressivo"), QStringLiteral("1.5")),
        QStringList{addDoctor} + replaced(fullDoctor, QStringLiteral("--nome"), QStringLiteral(" ")),
        {QStringLiteral("list-doctors"), QStringLiteral("--gruppo"), QStringLiteral("-1")},
        {QStringLiteral("list-doctors"), QStringLiteral("--cf"), QStringLiteral("RSSMRC68C12A944S")},
        {QStringLiteral("suspend-doctor")},
        {QStringLiteral("suspend-doctor"), QStringLiteral("--cf"), QStringLiteral("nope")},
    };
    for (const QStringList &arguments : cases) {
        // Exit status 2 also shows that the tool did not try to connect (that gives 1, 3 or 4).
        const ToolResult result = runTool(arguments, QString());
        const std::string shown = arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(result.exitCode, 2) << shown << "\n" << result.all().toStdString();
        EXPECT_TRUE(result.err.contains(QLatin1String("Usage: lanvera-server"))) << shown;
        EXPECT_TRUE(result.out.isEmpty()) << shown;
    }
}

TEST(CliUsageTest, HelpGoesToStandardOutput)
{
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--help")}, QStringList{QStringLiteral("add-doctor"), QStringLiteral("--help")}}) {
        const ToolResult result = runTool(arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.out.contains(QLatin1String("suspend-doctor --cf CF")));
        EXPECT_TRUE(result.err.isEmpty());
    }
}
