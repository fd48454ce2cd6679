#pragma once

#include <QString>

namespace lanvera {

// How the operator's tool reaches the server: an administrator account able to create
// databases and accounts. With a socket path the connection goes through that socket and
// host and port are not used.
struct AdminLogin
{
    QString host = QStringLiteral("127.0.0.1");
    int port = 3306;
    QString user = QStringLiteral("root");
    QString password;
    QString socket;
    int connectTimeoutSeconds = 5;

    // "127.0.0.1:3306" or "localhost via /run/mysqld/mysqld.sock", for messages.
    QString describe() const
    {
        if (!socket.isEmpty()) {
            return QStringLiteral("localhost via ") + socket;
        }
        return host + QLatin1Char(':') + QString::number(port);
    }
};

} // namespace lanvera
