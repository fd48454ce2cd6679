#include "Doctor.h"
#include "ServerSchema.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace lanvera;

namespace {

NewDoctor validDoctor()
{
    NewDoctor d;
    d.cf = u"  rssmrc68c12a944s "_s;
    d.cognome = u" Rossi "_s;
    d.nome = u"Marco"_s;
    d.gruppo = 1;
    d.progressivo = 1;
    return d;
}

} // namespace

TEST(DoctorValidationTest, NormalisesOrRefusesADoctor)
{
    NewDoctor valid = validDoctor();
    QString error;
    ASSERT_TRUE(normaliseNewDoctor(&valid, &error)) << error.toStdString();
    EXPECT_EQ(valid.cf, u"RSSMRC68C12A944S"_s);
    EXPECT_EQ(valid.cognome, u"Rossi"_s);

    const struct
    {
        const char *name;
        void (*change)(NewDoctor &);
        const char *mentions;
    } cases[] = {
        {"15 characters", [](NewDoctor &d) { d.cf = u"RSSMRC68C12A944"_s; }, "fiscal code"},
        {"symbol", [](NewDoctor &d) { d.cf = u"RSSMRC68C12A94-S"_s; }, "fiscal code"},
        {"accented letter", [](NewDoctor &d) { d.cf = u"RSSMRC68C12A94\u00c8S"_s; }, "fiscal code"},
        {"blank surname", [](NewDoctor &d) { d.cognome = u"   "_s; }, "surname"},
        {"no name", [](NewDoctor &d) { d.nome.clear(); }, "name"},
        {"group 0", [](NewDoctor &d) { d.gruppo = 0; }, "group"},
        {"negative progressivo", [](NewDoctor &d) { d.progressivo = -3; }, "progressivo"},
    };
    for (const auto &c : cases) {
        NewDoctor d = validDoctor();
        c.change(d);
        QString error;
        EXPECT_FALSE(normaliseNewDoctor(&d, &error)) << c.name;
        EXPECT_TRUE(error.contains(QLatin1String(c.mentions))) << c.name << ": " << error.toStdString();
    }
}

TEST(ServerSchemaTest, PasswordHashAndQuotingAreTheServersOwn)
{
    // The server's PASSWORD('password').
    EXPECT_EQ(serverschema::nativePasswordHash(u"password"_s), u"*2470C0C06DEE42FD1618BB99005ADCA2EC9D1E19"_s);
    // Quoted text cannot end the literal.
    EXPECT_EQ(serverschema::quoteText(u"it's"_s), u"'it''s'"_s);
    EXPECT_EQ(serverschema::quoteText(u"a\\' OR 1"_s), u"'a\\\\'' OR 1'"_s);
}
