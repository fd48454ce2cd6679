#include "Doctor.h"
#include "ServerSchema.h"

#include <gtest/gtest.h>

using namespace lanvera;

namespace {

NewDoctor validDoctor()
{
    NewDoctor d;
    d.cf = QStringLiteral("RSSMRC68C12A944S");
    d.cognome = QStringLiteral("Rossi");
    d.nome = QStringLiteral("Marco");
    d.gruppo = 1;
    d.progressivo = 1;
    return d;
}

} // namespace

TEST(DoctorValidationTest, NormalisesFiscalCodeAndTexts)
{
    NewDoctor d = validDoctor();
    d.cf = QStringLiteral("  rssmrc68c12a944s ");
    d.cognome = QStringLiteral(" Rossi ");
    d.aslCompleto = QStringLiteral(" 080105 ");
    QString error;
    ASSERT_TRUE(normaliseNewDoctor(&d, &error)) << error.toStdString();
    EXPECT_EQ(d.cf, QStringLiteral("RSSMRC68C12A944S"));
    EXPECT_EQ(d.cognome, QStringLiteral("Rossi"));
    EXPECT_EQ(d.aslCompleto, QStringLiteral("080105"));
}

TEST(DoctorValidationTest, RefusesWhatCannotBeADoctor)
{
    struct Case
    {
        const char *name;
        void (*change)(NewDoctor &);
        const char *mentions;
    };
    const Case cases[] = {
        {"15 characters", [](NewDoctor &d) { d.cf = QStringLiteral("RSSMRC68C12A944"); }, "fiscal code"},
        {"17 characters", [](NewDoctor &d) { d.cf = QStringLiteral("RSSMRC68C12A944SX"); }, "fiscal code"},
        {"symbol", [](NewDoctor &d) { d.cf = QStringLiteral("RSSMRC68C12A94-S"); }, "fiscal code"},
        {"accented letter", [](NewDoctor &d) { d.cf = QStringLiteral("RSSMRC68C12A94\u00c8S"); }, "fiscal code"},
        {"blank surname", [](NewDoctor &d) { d.cognome = QStringLiteral("   "); }, "surname"},
        {"no name", [](NewDoctor &d) { d.nome.clear(); }, "name"},
        {"group 0", [](NewDoctor &d) { d.gruppo = 0; }, "group"},
        {"negative progressivo", [](NewDoctor &d) { d.progressivo = -3; }, "progressivo"},
    };
    for (const Case &c : cases) {
        NewDoctor d = validDoctor();
        c.change(d);
        QString error;
        EXPECT_FALSE(normaliseNewDoctor(&d, &error)) << c.name;
        EXPECT_TRUE(error.contains(QLatin1String(c.mentions))) << c.name << ": " << error.toStdString();
    }
}

TEST(DoctorTableTest, AlignsColumnsAndShowsOnlyWhetherAPasswordIsSet)
{
    Doctor a;
    a.id = 7;
    a.cf = QStringLiteral("RSSMRC68C12A944S");
    a.cognome = QStringLiteral("Rossi");
    a.nome = QStringLiteral("Marco");
    a.gruppo = 1;
    a.progressivo = 12;
    a.passwordSet = true;
    Doctor b = a;
    b.id = 123;
    b.cognome = QStringLiteral("Dell'Acqua Bianchi");
    b.progressivo = 3;
    b.sospeso = true;
    b.passwordSet = false;

    const QStringList lines = formatDoctorTable({a, b}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QLatin1String(" ID  CF")));
    // Every column starts at the same place on every line.
    for (const char *heading : {"CF", "Cognome", "Nome", "Sospeso", "Password"}) {
        const qsizetype at = lines[0].indexOf(QLatin1String(heading));
        ASSERT_GE(at, 0) << heading;
        EXPECT_NE(lines[1].at(at), QLatin1Char(' ')) << heading;
        EXPECT_NE(lines[2].at(at), QLatin1Char(' ')) << heading;
        EXPECT_EQ(lines[1].at(at - 1), QLatin1Char(' ')) << heading;
    }
    EXPECT_TRUE(lines[1].endsWith(QLatin1String("no       yes")));
    EXPECT_TRUE(lines[2].endsWith(QLatin1String("yes      no")));
}

TEST(ServerSchemaTest, PasswordHashIsTheServersNativeForm)
{
    // The server's PASSWORD('password').
    EXPECT_EQ(serverschema::nativePasswordHash(QStringLiteral("password")),
              QStringLiteral("*2470C0C06DEE42FD1618BB99005ADCA2EC9D1E19"));
}

TEST(ServerSchemaTest, QuotedTextCannotEndTheLiteral)
{
    EXPECT_EQ(serverschema::quoteText(QStringLiteral("it's")), QStringLiteral("'it''s'"));
    EXPECT_EQ(serverschema::quoteText(QStringLiteral("a\\' OR 1")), QStringLiteral("'a\\\\'' OR 1'"));
}
