#include "ServerHttp.h"

#include <QHostAddress>
#include <QTcpSocket>

ServerHttp::ServerHttp(Gestore gestore, QObject *parent) : QObject(parent), m_gestore(std::move(gestore))
{
    connect(&m_server, &QTcpServer::newConnection, this, &ServerHttp::nuovaConnessione);
}

quint16 ServerHttp::ascolta(quint16 porta)
{
    return m_server.listen(QHostAddress::Any, porta) ? m_server.serverPort() : 0;
}

void ServerHttp::nuovaConnessione()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_ricevuto.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { leggi(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_ricevuto.remove(socket);
            socket->deleteLater();
        });
    }
}

void ServerHttp::leggi(QTcpSocket *socket)
{
    const auto voce = m_ricevuto.find(socket);
    if (voce == m_ricevuto.end()) {
        return; // answered already
    }
    QByteArray &ricevuto = voce.value();
    ricevuto += socket->readAll();

    const qsizetype fineIntestazione = ricevuto.indexOf("\r\n\r\n");
    if (fineIntestazione < 0) {
        if (ricevuto.size() > 64 * 1024) {
            rispondi(socket, 431, "Request Header Fields Too Large", {});
        }
        return;
    }
    const QList<QByteArray> righe = ricevuto.left(fineIntestazione).split('\n');
    const QList<QByteArray> richiesta = righe.value(0).trimmed().split(' ');
    if (richiesta.size() != 3 || !richiesta[2].startsWith("HTTP/1.")) {
        rispondi(socket, 400, "Bad Request", {});
        return;
    }
    if (richiesta[0] != "POST") {
        rispondi(socket, 405, "Method Not Allowed", {});
        return;
    }
    qsizetype lunghezza = -1;
    for (qsizetype i = 1; i < righe.size(); ++i) {
        const QByteArray &riga = righe[i];
        const qsizetype duePunti = riga.indexOf(':');
        if (duePunti > 0 && riga.left(duePunti).trimmed().compare("Content-Length", Qt::CaseInsensitive) == 0) {
            bool ok = false;
            lunghezza = riga.mid(duePunti + 1).trimmed().toLongLong(&ok);
            if (!ok || lunghezza < 0) {
                rispondi(socket, 400, "Bad Request", {});
                return;
            }
        }
    }
    if (lunghezza < 0) {
        rispondi(socket, 411, "Length Required", {});
        return;
    }
    if (lunghezza > CorpoMassimo) {
        rispondi(socket, 413, "Payload Too Large", {});
        return;
    }
    const qsizetype inizioCorpo = fineIntestazione + 4;
    if (ricevuto.size() - inizioCorpo < lunghezza) {
        return; // more to come
    }
    const QByteArray corpo = ricevuto.mid(inizioCorpo, lunghezza);
    rispondi(socket, 200, "OK", m_gestore(corpo));
}

void ServerHttp::rispondi(QTcpSocket *socket, int stato, const QByteArray &motivo, const QByteArray &corpo)
{
    m_ricevuto.remove(socket);
    QByteArray risposta = "HTTP/1.1 " + QByteArray::number(stato) + ' ' + motivo + "\r\n";
    if (stato == 200) {
        risposta += "Content-Type: text/xml; charset=utf-8\r\n";
    }
    risposta += "Content-Length: " + QByteArray::number(corpo.size()) + "\r\nConnection: close\r\n\r\n" + corpo;
    socket->write(risposta);
    socket->disconnectFromHost(); // after the pending bytes are written
}
