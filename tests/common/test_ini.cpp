#include "modIni.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lanvera;

namespace {

class IniTest : public ::testing::Test
{
protected:
    QString scrivi(const QByteArray &testo)
    {
        const QString percorso = m_dir.filePath(QStringLiteral("prova.ini"));
        QFile f(percorso);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(testo);
        return percorso;
    }
    QByteArray leggi(const QString &percorso)
    {
        QFile f(percorso);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    QTemporaryDir m_dir;
};

TEST_F(IniTest, NamesMatchWithoutCaseAndValuesAreCleaned)
{
    const QString ini = scrivi("; comment\r\n"
                               "[Altro]\r\nHost=wrong\r\n"
                               "[SETUP]\r\n"
                               "  host  =   server.lan   \r\n"
                               "Port=\"3307\"\r\n"
                               "Driver='QMYSQL'\r\n"
                               "Option=\"\"quoted\"\"\r\n"
                               ";Host=commented\r\n");
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host")), QStringLiteral("server.lan"));
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("setup"), QStringLiteral("PORT")), QStringLiteral("3307"));
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Driver")), QStringLiteral("QMYSQL"));
    // only one pair of quotes goes
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Option")), QStringLiteral("\"quoted\""));
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("Altro"), QStringLiteral("Host")), QStringLiteral("wrong"));
}

TEST_F(IniTest, MissingFileSectionOrKeyReadsEmpty)
{
    const QString ini = scrivi("[Setup]\nHost=a\n");
    EXPECT_TRUE(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Port")).isEmpty());
    EXPECT_TRUE(LeggiIniFile(ini, QStringLiteral("Nessuna"), QStringLiteral("Host")).isEmpty());
    EXPECT_TRUE(
        LeggiIniFile(m_dir.filePath(QStringLiteral("manca.ini")), QStringLiteral("Setup"), QStringLiteral("Host"))
            .isEmpty());
}

TEST_F(IniTest, LongValueIsCutTo254Characters)
{
    const QByteArray lungo(400, 'x');
    const QString ini = scrivi("[Setup]\nHost=" + lungo + "\n");
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host")).size(), 254);
}

TEST_F(IniTest, BoundFileIsReadByLeggiIni)
{
    const QString ini = scrivi("[Setup]\nHost=bound\n");
    ImpostaFileIni(ini);
    EXPECT_EQ(LeggiIni(QStringLiteral("Setup"), QStringLiteral("Host")), QStringLiteral("bound"));
    ImpostaFileIni(QString());
    EXPECT_TRUE(LeggiIni(QStringLiteral("Setup"), QStringLiteral("Host")).isEmpty());
}

TEST_F(IniTest, WritingReplacesInPlaceAndKeepsEverythingElse)
{
    const QString ini = scrivi("; operator's note\r\n[Setup]\r\n; the server\r\nHost=old\r\nPort=3306\r\n\r\n"
                               "[Other]\r\nHost=keep\r\n");
    ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("setup"), QStringLiteral("HOST"), QStringLiteral("new.lan")));
    EXPECT_EQ(leggi(ini), QByteArray("; operator's note\r\n[Setup]\r\n; the server\r\nHOST=new.lan\r\nPort=3306\r\n\r\n"
                                     "[Other]\r\nHost=keep\r\n"));
}

TEST_F(IniTest, WritingAddsKeyToItsSectionOrAddsTheSection)
{
    const QString ini = scrivi("[Setup]\r\nHost=a\r\n\r\n[Other]\r\nX=1\r\n");
    ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Port"), QStringLiteral("3310")));
    ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("Nuova"), QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_EQ(leggi(ini), QByteArray("[Setup]\r\nHost=a\r\nPort=3310\r\n\r\n[Other]\r\nX=1\r\n\r\n[Nuova]\r\nK=v\r\n"));
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Port")), QStringLiteral("3310"));
}

TEST_F(IniTest, WritingCreatesAMissingFileAndRefusesLineBreaks)
{
    const QString ini = m_dir.filePath(QStringLiteral("nuovo.ini"));
    ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host"), QStringLiteral("h")));
    EXPECT_EQ(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host")), QStringLiteral("h"));
    // a value with a line break would plant a second key
    EXPECT_FALSE(ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host"), QStringLiteral("a\nPort=1")));
    EXPECT_TRUE(LeggiIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Port")).isEmpty());
}

} // namespace
