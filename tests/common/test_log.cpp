#include "modCartelle.h"
#include "modLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lanvera;

namespace {

const QDateTime Momento(QDate(2026, 12, 5), QTime(18, 2, 7));

QByteArray contenuto(const QString &percorso)
{
    QFile f(percorso);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

TEST(LogLayoutTest, RunLogAndArchiveLogEntries)
{
    EXPECT_EQ(FormattaVoceLog(QStringLiteral("Manca l'indirizzo dell'Host"), true, {}, Momento),
              QStringLiteral("ERR 05/12/2026 18.02.07 Manca l'indirizzo dell'Host"));
    EXPECT_EQ(FormattaVoceLog(QStringLiteral("Accesso al server remoto"), false, TagSync, Momento),
              QStringLiteral("    SYNC 05/12/2026 18.02.07 Accesso al server remoto"));
    EXPECT_EQ(FormattaVoceLog(QStringLiteral("x"), false, TagUser, QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5))),
              QStringLiteral("    USER 02/01/2027 03.04.05 x"));
    EXPECT_TRUE(FormattaVoceLog(QString(), true, TagSync, Momento).isEmpty());
}

TEST(LogLayoutTest, ContinuationLinesStartUnderTheText)
{
    const QString voce = FormattaVoceLog(QStringLiteral("prima\r\nseconda\nterza"), true, TagSync, Momento);
    const QStringList righe = voce.split(QStringLiteral("\r\n"));
    ASSERT_EQ(righe.size(), 3);
    EXPECT_EQ(righe[0], QStringLiteral("ERR SYNC 05/12/2026 18.02.07 prima"));
    EXPECT_EQ(righe[1], QString(29, QLatin1Char(' ')) + QStringLiteral("seconda"));
    EXPECT_EQ(righe[2], QString(29, QLatin1Char(' ')) + QStringLiteral("terza"));
    EXPECT_EQ(righe[1].indexOf(QLatin1Char('s')), righe[0].indexOf(QLatin1Char('p')));

    const QStringList run = FormattaVoceLog(QStringLiteral("a\r\nb"), false, {}, Momento).split(QStringLiteral("\r\n"));
    EXPECT_EQ(run[1], QString(24, QLatin1Char(' ')) + QStringLiteral("b"));
}

TEST(LogFileTest, ArchiveLogLivesBesideTheArchive)
{
    QTemporaryDir dir;
    const QString archivio = dir.filePath(QStringLiteral("Studio Rossi/Archivio.mdb"));
    QDir().mkpath(dir.filePath(QStringLiteral("Studio Rossi")));
    const QString cartella = CartellaArchivio(archivio);
    EXPECT_EQ(cartella, dir.filePath(QStringLiteral("Studio Rossi")));

    const QString scritta = ScriviLogArchivio(cartella, QStringLiteral("Identificazione"), false, TagSync, Momento);
    ScriviLogArchivio(cartella, QString(), false);
    EXPECT_EQ(contenuto(FileLogArchivio(cartella)), scritta.toUtf8() + "\r\n\r\n");
    EXPECT_EQ(CartellaArchivio(QStringLiteral("senza-cartella.mdb")), QString());
}

TEST(LogFileTest, UnwritableLogLosesTheEntryQuietly)
{
    QTemporaryDir dir;
    const QString mancante = dir.filePath(QStringLiteral("non/esiste"));
    EXPECT_FALSE(AccodaVoceLog(mancante + QStringLiteral("/Lanvera.log"), QStringLiteral("x")));
    // the entry is still handed back for the window
    EXPECT_EQ(ScriviLogArchivio(mancante, QStringLiteral("x"), true, TagSync, Momento),
              QStringLiteral("ERR SYNC 05/12/2026 18.02.07 x"));
    EXPECT_FALSE(QFile::exists(mancante));
}

// Two programs append to one archive log at once: every entry must arrive whole.
TEST(LogFileTest, TwoWritersInterleaveWholeEntries)
{
    QTemporaryDir dir;
    const QString cartella = dir.path();
    constexpr int PerScrittore = 1500;
    const QString lungo = QString(300, QLatin1Char('z'));

    pid_t figli[2];
    for (int s = 0; s < 2; ++s) {
        figli[s] = fork();
        ASSERT_GE(figli[s], 0);
        if (figli[s] == 0) {
            const QLatin1StringView tag = s == 0 ? TagSync : TagUser;
            for (int i = 0; i < PerScrittore; ++i) {
                ScriviLogArchivio(cartella, QStringLiteral("voce %1\r\n%2").arg(i).arg(lungo), i % 7 == 0, tag);
            }
            _exit(0);
        }
    }
    for (pid_t figlio : figli) {
        int stato = 0;
        waitpid(figlio, &stato, 0);
        ASSERT_TRUE(WIFEXITED(stato));
    }

    const QStringList righe = QString::fromUtf8(contenuto(FileLogArchivio(cartella))).split(QStringLiteral("\r\n"));
    static const QRegularExpression intestazione(
        QStringLiteral(R"(^(ERR |    )(SYNC |USER )\d\d/\d\d/\d{4} \d\d\.\d\d\.\d\d voce \d+$)"));
    const QString continuazione = QString(29, QLatin1Char(' ')) + lungo;
    int voci = 0;
    for (int i = 0; i + 1 < righe.size(); i += 2) {
        ASSERT_TRUE(intestazione.match(righe[i]).hasMatch()) << righe[i].toStdString();
        ASSERT_EQ(righe[i + 1], continuazione);
        ++voci;
    }
    EXPECT_EQ(voci, 2 * PerScrittore);
    EXPECT_TRUE(righe.last().isEmpty());
}

TEST(LogFileTest, RunLogGoesToTheDataFolder)
{
    QString chiave = QStringLiteral("Quor");
    PreparaCartelle(chiave);
    QFile::remove(FileLogSync());
    ScriviLog(QStringLiteral("Avvio sincronizzazione"), false, Momento);
    ScriviLog(QStringLiteral("Errore: 3 x"), true, Momento);
    EXPECT_EQ(contenuto(DataFolder() + QStringLiteral("/Quor.log")),
              QByteArray("    05/12/2026 18.02.07 Avvio sincronizzazione\r\nERR 05/12/2026 18.02.07 Errore: 3 x\r\n"));
}

} // namespace
