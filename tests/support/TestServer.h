#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace lanvera::test {

// The private MariaDB server of the test run, started by the CTest fixture `mariadb` with
// scripts/testserver. Its details come from the file server.env that the script writes
// (LANVERA_TESTSERVER_ENV names another one, for a server started by hand).
class TestServer
{
public:
    // True when server.env is there and complete. Says nothing about whether the server answers.
    static bool available();
    // Why available() is false, for test failure messages.
    static QString unavailableReason();

    static QString envFile();
    static QString host();
    static int port();
    static QString socket();
    static QString adminUser();
    static QString adminPassword();
};

// A connection to the test server, as its administrator or as another account; no database is
// selected. Each object has its own connection name; the connection is removed on destruction.
class AdminConnection
{
public:
    AdminConnection();
    AdminConnection(const QString &user, const QString &password);
    ~AdminConnection();
    Q_DISABLE_COPY_MOVE(AdminConnection)

    bool isOpen() const;

    // Runs one statement; on false lastError() has the server's error number and text.
    bool exec(const QString &sql);

    // First column of the first row of a query; an invalid QVariant when the query fails or
    // returns no row (lastError() tells the two apart).
    QVariant scalar(const QString &sql);

    // First column of every row.
    QStringList column(const QString &sql);

    QString lastError() const { return m_lastError; }
    QSqlDatabase database() const;
    QString connectionName() const { return m_name; }

private:
    void open(const QString &user, const QString &password);

    QString m_name;
    QString m_lastError;
};

// Brings the test server to the state of a fresh network: drops `quor` and every `quor_%`
// database and the programs' account, then runs the same set-up as `lanvera-server init`.
[[nodiscard]] bool resetServer(QString *error);

} // namespace lanvera::test
