#pragma once

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

namespace lanvera::test {

// Private XDG folders and temporary folder for one test process, so that nothing a test writes
// reaches the user's own data.
inline void preparaAmbiente(const QTemporaryDir &home)
{
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("TMPDIR", home.filePath(QStringLiteral("tmp")).toUtf8());
    QDir().mkpath(home.filePath(QStringLiteral("tmp")));
    // The shipped programs and files of this build, unless the caller points elsewhere.
    if (qEnvironmentVariableIsEmpty("LANVERA_OUTPUT_DIR")) {
        qputenv("LANVERA_OUTPUT_DIR", LANVERA_TEST_OUTPUT_DIR);
    }
    // No test ever needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

} // namespace lanvera::test
