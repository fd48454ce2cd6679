#include "modCodiceFiscale.h"

#include <QDate>

#include <gtest/gtest.h>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace lanvera::host;

TEST(HostCodiceFiscaleTest, BuiltFromThePersonalDataWithItsCheckCharacter)
{
    EXPECT_EQ(CarattereControllo(u"MRTMTT25D09F205"_s), u'Z');
    EXPECT_EQ(CalcolaCodiceFiscale(u"Rossi"_s, u"Mario"_s, QDate(1985, 12, 10), u'M', u"A562"_s),
              u"RSSMRA85T10A562S"_s);
    // Women: day plus 40; the month letter skips F, G, I, N, O, Q.
    const QString anna = CalcolaCodiceFiscale(u"Bianchi"_s, u"Anna"_s, QDate(1990, 6, 5), u'F', u"F205"_s);
    EXPECT_EQ(anna.left(11), u"BNCNNA90H45"_s);
    EXPECT_TRUE(CodiceFiscaleValido(anna));
    const QString ottobre = CalcolaCodiceFiscale(u"Rossi"_s, u"Mario"_s, QDate(2001, 10, 31), u'M', u"h501"_s);
    EXPECT_EQ(ottobre.mid(6, 9), u"01R31H501"_s);
    EXPECT_TRUE(CodiceFiscaleValido(ottobre));
    EXPECT_TRUE(CalcolaCodiceFiscale(u"Rossi"_s, u"Mario"_s, QDate(), u'M', u"H501"_s).isEmpty());
}

TEST(HostCodiceFiscaleTest, NameLettersFollowTheConsonantRules)
{
    const std::tuple<QString, bool, QString> casi[] = {
        {u"Gianfranco"_s, true, u"GFR"_s},  // four or more consonants: first, third, fourth
        {u"Gianfranco"_s, false, u"GNF"_s}, // a surname always takes the first three
        {u"Fo"_s, false, u"FOX"_s},         // short: vowels, then X
        {u"D'Angelo"_s, false, u"DNG"_s},   // apostrophe ignored
        {u"De Luca"_s, false, u"DLC"_s},    // blank ignored
        {u"Lucà"_s, false, u"LCU"_s},       // accent dropped
        {u"Iole"_s, true, u"LIO"_s},
    };
    for (const auto &[testo, nome, atteso] : casi) {
        EXPECT_EQ(CodiceNominativo(testo, nome), atteso) << testo.toStdString();
    }
}

TEST(HostCodiceFiscaleTest, AnySingleChangeIsCaught)
{
    const QString buono = u"RSSMRA85T10A562S"_s;
    ASSERT_TRUE(CodiceFiscaleValido(buono));
    for (int i = 0; i < buono.size(); ++i) {
        QString alterato = buono;
        const QChar c = buono.at(i);
        // Another character of the same kind, so that only the check character can tell.
        alterato[i] = c.isDigit() ? QChar(u'0' + (c.unicode() - u'0' + 3) % 10)
                                  : (i == 8 ? QChar(u'A') : QChar(u'A' + (c.unicode() - u'A' + 1) % 26));
        EXPECT_FALSE(CodiceFiscaleValido(alterato)) << alterato.toStdString();
    }
    for (const QString &guasto : {u"RSSMRA85T10A562"_s, u"rssmra85t10a562s"_s, u"RSSMRA85T35A562S"_s}) {
        EXPECT_FALSE(CodiceFiscaleValido(guasto)) << guasto.toStdString(); // short, lower case, no day 35
    }
    EXPECT_TRUE(CarattereControllo(u"RSSMRA85T10A56?"_s).isNull());
}
