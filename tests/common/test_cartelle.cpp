#include "modCartelle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace lanvera;

namespace {

TEST(CartelleTest, DataAndUserFoldersAreMadeBelowTheStandardOnes)
{
    QTemporaryDir radice;
    qputenv("XDG_DATA_HOME", radice.filePath(QStringLiteral("dati")).toUtf8());
    qputenv("XDG_CONFIG_HOME", radice.filePath(QStringLiteral("config")).toUtf8());
    QString chiave = QStringLiteral("Quor");
    PreparaCartelle(chiave);
    EXPECT_EQ(DataFolder(), radice.filePath(QStringLiteral("dati/Dorvane/Quor")));
    EXPECT_EQ(UserFolder(), radice.filePath(QStringLiteral("config/Dorvane/Quor")));
    EXPECT_TRUE(QFileInfo(DataFolder()).isDir());
    EXPECT_TRUE(QFileInfo(UserFolder()).isDir());

    // an empty key becomes the program's name
    QString vuota;
    PreparaCartelle(vuota);
    EXPECT_FALSE(vuota.isEmpty());
    EXPECT_TRUE(DataFolder().endsWith(QStringLiteral("/Dorvane/") + vuota));
}

TEST(CartelleTest, TemporaryFolderHasNoTrailingSeparator)
{
    QTemporaryDir radice;
    qputenv("TMPDIR", (radice.path() + QStringLiteral("/")).toUtf8());
    EXPECT_EQ(CartellaTemp(), radice.path());
    EXPECT_EQ(CartellaTemp() + QStringLiteral("/Sync"), radice.path() + QStringLiteral("/Sync"));
}

TEST(CartelleTest, ExistingFileIsNotAFolder)
{
    QTemporaryDir radice;
    const QString file = radice.filePath(QStringLiteral("a.mdb"));
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_TRUE(EsisteFile(file));
    EXPECT_FALSE(EsisteFile(radice.path()));
    EXPECT_FALSE(EsisteFile(radice.filePath(QStringLiteral("b.mdb"))));
    EXPECT_FALSE(EsisteFile(QString()));
    CancellaFile(file);
    EXPECT_FALSE(EsisteFile(file));
    CancellaFile(file); // a second deletion is quiet
}

TEST(CartelleTest, PrivateWorkFolderIsOwnerOnlyAndNeverALink)
{
    QTemporaryDir radice;
    const QString lavoro = radice.filePath(QStringLiteral("Sync"));
    QString errore;
    ASSERT_TRUE(PreparaCartellaPrivata(lavoro, &errore)) << errore.toStdString();
    EXPECT_EQ(QFileInfo(lavoro).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), 0);

    // a folder left open to others is closed again
    ::chmod(QFile::encodeName(lavoro).constData(), 0777);
    ASSERT_TRUE(PreparaCartellaPrivata(lavoro, &errore));
    struct stat st
    {};
    ::stat(QFile::encodeName(lavoro).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // a link planted at the name is refused, its target untouched
    const QString altrove = radice.filePath(QStringLiteral("altrove"));
    QDir().mkdir(altrove);
    const QString trappola = radice.filePath(QStringLiteral("Sync2"));
    ASSERT_TRUE(QFile::link(altrove, trappola));
    EXPECT_FALSE(PreparaCartellaPrivata(trappola, &errore));
    EXPECT_FALSE(errore.isEmpty());

    const QString file = radice.filePath(QStringLiteral("file"));
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_FALSE(PreparaCartellaPrivata(file, &errore));
}

} // namespace
