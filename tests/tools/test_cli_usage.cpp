// Arguments lanvera-server must refuse before it goes near a server.

#include "ToolRunner.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace lanvera::test;

namespace {

ToolResult serverTool(const QStringList &arguments)
{
    return runTool(QStringLiteral(LANVERA_SERVER_TOOL), arguments, QString());
}

} // namespace

TEST(CliUsageTest, BadOrMissingArgumentsExitWithUsage)
{
    const QStringList doctor = {u"add-doctor"_s, u"--cf"_s,  u"RSSMRC68C12A944S"_s, u"--cognome"_s, u"Rossi"_s,
                                u"--nome"_s,     u"Marco"_s, u"--gruppo"_s,         u"1"_s};
    QStringList badCf = doctor + QStringList{u"--progressivo"_s, u"1"_s};
    badCf[2].chop(1);
    const QList<QStringList> cases = {
        {},
        {u"frobnicate"_s},
        {u"init"_s, u"extra"_s},
        {u"init"_s, u"--bogus"_s},
        {u"init"_s, u"--port"_s, u"70000"_s},
        {u"init"_s, u"--port"_s},
        doctor,
        badCf,
        doctor + QStringList{u"--progressivo"_s, u"1.5"_s},
        {u"list-doctors"_s, u"--gruppo"_s, u"-1"_s},
        {u"suspend-doctor"_s},
        {u"reset-password"_s},
        {u"reset-password"_s, u"--cf"_s, u"RSSMRC68C12A944"_s},
    };
    for (const QStringList &arguments : cases) {
        // Exit status 2 also shows that the tool did not try to connect (that gives 1, 3 or 4).
        const ToolResult result = serverTool(arguments);
        const std::string shown = arguments.join(u' ').toStdString();
        EXPECT_EQ(result.exitCode, 2) << shown << "\n" << result.all().toStdString();
        EXPECT_TRUE(result.err.contains(u"Usage: lanvera-server"_s)) << shown;
        EXPECT_TRUE(result.out.isEmpty()) << shown;
    }
}
