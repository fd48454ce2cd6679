#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace lanvera::test {

// A go-between for the MySQL protocol on 127.0.0.1: it listens on a free port and passes the
// bytes between one client at a time and the test server. Armed with a text and a process, it
// kills that process (SIGKILL) at the first statement that contains the text: the statement
// reaches the server, and as the server's answer arrives the process dies before the answer
// reaches it. The server has then done the statement and the client never learned it.
//
// A statement sent as a prepared statement is matched by its text too; the answer awaited is the
// one to its execution. The proxy works on a thread of its own (the test may be blocked waiting
// for a QProcess meanwhile) and stops forwarding by itself after a time limit.
class ProxyServer
{
public:
    ProxyServer() = default;
    ~ProxyServer();
    Q_DISABLE_COPY_MOVE(ProxyServer)

    // Starts listening and forwarding to the server at host:porta, which must be a loopback
    // address. False with the reason in ultimoErrore().
    bool avvia(const QString &host, int porta, std::chrono::seconds limite = std::chrono::seconds(300));
    // The port to give the client.
    int porta() const { return m_porta; }

    // The text to wait for in a statement, and the process to kill; fires once.
    void arma(const QByteArray &innesco, qint64 pid);
    // True once the process has been killed.
    bool scattato() const { return m_scattato; }
    // False when a client asked for TLS or compression: its statements could not be read.
    bool inChiaro() const { return m_inChiaro; }

    QString ultimoErrore() const { return m_ultimoErrore; }

private:
    void inoltra(int client, int server, std::chrono::steady_clock::time_point fine);

    QString m_ultimoErrore;
    int m_ascolto = -1;
    int m_sveglia[2] = {-1, -1}; // a pipe: a byte on it ends the thread
    int m_porta = 0;
    std::thread m_thread;

    std::mutex m_mutex;
    QByteArray m_innesco;
    qint64 m_pid = 0;
    std::atomic<bool> m_scattato{false};
    std::atomic<bool> m_inChiaro{true};
};

} // namespace lanvera::test
