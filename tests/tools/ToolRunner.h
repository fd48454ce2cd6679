#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace lanvera::test {

struct ToolResult
{
    int exitCode = -1;
    QString out;
    QString err;
    bool finished = false;

    QString all() const { return out + err; }
};

// The tool in the build's output folder; the build also tells its path, should the variable be missing.
inline QString toolPath()
{
    const QString folder = qEnvironmentVariable("LANVERA_OUTPUT_DIR");
    const QString inFolder = folder + QStringLiteral("/lanvera-server");
    if (!folder.isEmpty() && QFileInfo::exists(inFolder)) {
        return inFolder;
    }
    return QStringLiteral(LANVERA_SERVER_TOOL);
}

// Runs build/bin/lanvera-server with `arguments`, standard input not a terminal. The
// administrator's password goes through LANVERA_ADMIN_PASSWORD; nullopt leaves it unset.
inline ToolResult runTool(const QStringList &arguments, const std::optional<QString> &adminPassword = std::nullopt,
                          int timeoutMs = 30000)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LANVERA_ADMIN_PASSWORD"));
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    if (adminPassword) {
        environment.insert(QStringLiteral("LANVERA_ADMIN_PASSWORD"), *adminPassword);
    }

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(toolPath(), arguments);

    ToolResult result;
    if (!process.waitForStarted()) {
        result.err = QStringLiteral("cannot start lanvera-server: ") + process.errorString();
        return result;
    }
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace lanvera::test
