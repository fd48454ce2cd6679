#pragma once

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

    QString all() const { return out + err; }
};

// Runs one of the operator's tools with standard input not a terminal. The administrator's
// password goes through LANVERA_ADMIN_PASSWORD; nullopt leaves it unset.
inline ToolResult runTool(const QString &program, const QStringList &arguments,
                          const std::optional<QString> &adminPassword = std::nullopt)
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
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForFinished(120000)) {
        result.err = program + QStringLiteral(" did not finish: ") + process.errorString();
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace lanvera::test
