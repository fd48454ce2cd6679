#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <cstdio>

// The private MariaDB server of a benchmark: one of its own in `cartella`, started here and stopped
// when this goes, unless LANVERA_TESTSERVER_ENV names one already running.
class ServerBench
{
public:
    explicit ServerBench(const QString &cartella)
        : m_cartella(cartella), m_proprio(qEnvironmentVariableIsEmpty("LANVERA_TESTSERVER_ENV"))
    {
        if (!m_proprio) {
            m_pronto = true;
            return;
        }
        QProcess avvio;
        avvio.start(QStringLiteral(LANVERA_SOURCE_DIR "/scripts/testserver"), {QStringLiteral("start"), m_cartella});
        avvio.waitForFinished(120000);
        if (avvio.exitCode() != 0) {
            std::fprintf(stderr, "bench: cannot start a server: %s\n", avvio.readAllStandardError().constData());
            return;
        }
        qputenv("LANVERA_TESTSERVER_ENV", (m_cartella + QStringLiteral("/server.env")).toUtf8());
        m_pronto = true;
    }
    ~ServerBench()
    {
        if (m_proprio && m_pronto) {
            QProcess::execute(QStringLiteral(LANVERA_SOURCE_DIR "/scripts/testserver"),
                              {QStringLiteral("stop"), m_cartella});
        }
    }
    ServerBench(const ServerBench &) = delete;
    ServerBench &operator=(const ServerBench &) = delete;

    bool pronto() const { return m_pronto; }

private:
    QString m_cartella;
    bool m_proprio;
    bool m_pronto = false;
};
