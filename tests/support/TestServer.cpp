#include "TestServer.h"

#include "Segreti.h"
#include "ServerAdmin.h"

#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <atomic>

namespace lanvera::test {

namespace {

QHash<QString, QString> readEnv()
{
    QHash<QString, QString> values;
    QFile file(TestServer::envFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return values;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0) {
            values.insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return values;
}

QString envValue(const char *key)
{
    return readEnv().value(QString::fromLatin1(key));
}

QString describe(const QSqlError &error)
{
    if (!error.nativeErrorCode().isEmpty()) {
        return QStringLiteral("error %1: %2").arg(error.nativeErrorCode(), error.databaseText());
    }
    return error.text();
}

} // namespace

QString TestServer::envFile()
{
    const QString overridden = qEnvironmentVariable("LANVERA_TESTSERVER_ENV");
    return overridden.isEmpty() ? QStringLiteral(LANVERA_TESTSERVER_ENV) : overridden;
}

bool TestServer::available()
{
    return unavailableReason().isEmpty();
}

QString TestServer::unavailableReason()
{
    const QHash<QString, QString> values = readEnv();
    if (values.isEmpty()) {
        return QStringLiteral("no test server: %1 is missing; run the tests through ctest (fixture \"mariadb\") "
                              "or start one with scripts/testserver start")
            .arg(envFile());
    }
    for (const char *key : {"HOST", "PORT", "ADMIN_USER", "ADMIN_PASSWORD"}) {
        if (values.value(QString::fromLatin1(key)).isEmpty()) {
            return QStringLiteral("%1 has no %2").arg(envFile(), QString::fromLatin1(key));
        }
    }
    return {};
}

QString TestServer::host()
{
    return envValue("HOST");
}

int TestServer::port()
{
    return envValue("PORT").toInt();
}

QString TestServer::socket()
{
    return envValue("SOCKET");
}

QString TestServer::adminUser()
{
    return envValue("ADMIN_USER");
}

QString TestServer::adminPassword()
{
    return envValue("ADMIN_PASSWORD");
}

AdminConnection::AdminConnection()
{
    open(TestServer::adminUser(), TestServer::adminPassword());
}

AdminConnection::AdminConnection(const QString &user, const QString &password)
{
    open(user, password);
}

void AdminConnection::open(const QString &user, const QString &password)
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("lanvera-test-%1").arg(++counter);
    if (!TestServer::available()) {
        // Without the details, the driver would fall back to the machine's own server.
        m_lastError = TestServer::unavailableReason();
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), m_name);
    db.setHostName(TestServer::host());
    db.setPort(TestServer::port());
    db.setUserName(user);
    db.setPassword(password);
    db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=5"));
    if (!db.open()) {
        m_lastError = describe(db.lastError());
    }
}

AdminConnection::~AdminConnection()
{
    {
        QSqlDatabase db = database();
        if (db.isOpen()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase AdminConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool AdminConnection::isOpen() const
{
    return database().isOpen();
}

bool AdminConnection::exec(const QString &sql)
{
    QSqlQuery query(database());
    if (!query.exec(sql)) {
        m_lastError = describe(query.lastError());
        return false;
    }
    m_lastError.clear();
    return true;
}

QVariant AdminConnection::scalar(const QString &sql)
{
    QSqlQuery query(database());
    if (!query.exec(sql)) {
        m_lastError = describe(query.lastError());
        return {};
    }
    m_lastError.clear();
    return query.next() ? query.value(0) : QVariant();
}

QStringList AdminConnection::column(const QString &sql)
{
    QStringList values;
    QSqlQuery query(database());
    if (!query.exec(sql)) {
        m_lastError = describe(query.lastError());
        return values;
    }
    m_lastError.clear();
    while (query.next()) {
        values.append(query.value(0).toString());
    }
    return values;
}

bool resetServer(QString *error)
{
    const auto failed = [error](const QString &text) {
        if (error) {
            *error = text;
        }
        return false;
    };
    if (!TestServer::available()) {
        return failed(TestServer::unavailableReason());
    }

    {
        AdminConnection admin;
        if (!admin.isOpen()) {
            return failed(QStringLiteral("cannot log in to the test server: ") + admin.lastError());
        }
        const QStringList databases =
            admin.column(QStringLiteral("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA "
                                        "WHERE SCHEMA_NAME = 'quor' OR SCHEMA_NAME LIKE 'quor\\_%'"));
        if (!admin.lastError().isEmpty()) {
            return failed(admin.lastError());
        }
        for (const QString &name : databases) {
            if (!admin.exec(QStringLiteral("DROP DATABASE `%1`").arg(name))) {
                return failed(QStringLiteral("dropping %1: %2").arg(name, admin.lastError()));
            }
        }
        for (const char *host : {"%", "localhost"}) {
            if (!admin.exec(
                    QStringLiteral("DROP USER IF EXISTS '%1'@'%2'").arg(UtenteServer(), QString::fromLatin1(host)))) {
                return failed(QStringLiteral("dropping the account: ") + admin.lastError());
            }
        }
    }

    AdminLogin login;
    login.host = TestServer::host();
    login.port = TestServer::port();
    login.user = TestServer::adminUser();
    login.password = TestServer::adminPassword();
    ServerAdmin serverAdmin;
    QStringList report;
    if (!serverAdmin.connect(login) || !serverAdmin.initialise(&report)) {
        return failed(QStringLiteral("setting up the server: ") + serverAdmin.lastError());
    }
    return true;
}

} // namespace lanvera::test
