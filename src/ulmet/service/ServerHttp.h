#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// The little HTTP/1.1 the service needs: a POST with a Content-Length body in, one answer out,
// the connection closed after it. Requests are answered one at a time, on the event loop.
class ServerHttp : public QObject
{
    Q_OBJECT

public:
    using Gestore = std::function<QByteArray(const QByteArray &corpo)>;

    explicit ServerHttp(Gestore gestore, QObject *parent = nullptr);

    // The port listened on (a free one for 0), or 0 when the port cannot be opened.
    quint16 ascolta(quint16 porta);
    QString errore() const { return m_server.errorString(); }

    // Bodies larger than this are refused (413) before they are read whole.
    static constexpr qsizetype CorpoMassimo = 256 * 1024 * 1024;

private:
    void nuovaConnessione();
    void leggi(QTcpSocket *socket);
    void rispondi(QTcpSocket *socket, int stato, const QByteArray &motivo, const QByteArray &corpo);

    Gestore m_gestore;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_ricevuto;
};
