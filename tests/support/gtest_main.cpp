#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test process gets a Qt application (the SQL drivers are plug-ins) and private
// XDG folders, so that nothing a test writes reaches the user's own data.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("TMPDIR", home.filePath(QStringLiteral("tmp")).toUtf8());
    QDir().mkpath(home.filePath(QStringLiteral("tmp")));

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
