#include "ServerAdmin.h"

#include "ErroriServer.h"
#include "Segreti.h"
#include "ServerSchema.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

Q_LOGGING_CATEGORY(lcServerAdmin, "lanvera.tools.server", QtInfoMsg)

namespace lanvera {

namespace {

namespace schema = serverschema;
using namespace erroriserver;

// Unknown database, unknown table.
bool isMissingSchema(int code)
{
    return code == 1049 || code == 1146;
}

QString account(const QString &host)
{
    return schema::quoteText(UtenteServer()) + QLatin1Char('@') + schema::quoteText(host);
}

} // namespace

ServerAdmin::ServerAdmin() = default;

ServerAdmin::~ServerAdmin()
{
    close();
}

QSqlDatabase ServerAdmin::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool ServerAdmin::fail(Failure failure, const QString &text, int nativeError)
{
    m_lastFailure = failure;
    m_lastError = text;
    m_lastNativeError = nativeError;
    qCDebug(lcServerAdmin) << "failed:" << text;
    return false;
}

bool ServerAdmin::failSql(const QString &what, const QSqlError &error)
{
    const int code = nativeCode(error);
    Failure failure = Failure::Server;
    QString message = what + QStringLiteral(": ") + describe(error);
    if (isUnreachable(code)) {
        failure = Failure::Unreachable;
    } else if (isMissingSchema(code)) {
        failure = Failure::NoSchema;
        message += QStringLiteral(" (run \"lanvera-server init\" first)");
    }
    return fail(failure, message, code);
}

bool ServerAdmin::connect(const AdminLogin &login)
{
    close();
    m_lastFailure = Failure::None;
    m_lastError.clear();
    m_lastNativeError = 0;

    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("lanvera-server-admin-%1").arg(++counter);
    m_address = login.describe();

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    m_connectionName = name;
    if (!db.isValid()) {
        return fail(Failure::Server,
                    QStringLiteral("the Qt MySQL driver (QMYSQL) is not available: install libqt6sql6-mysql"));
    }

    QStringList options{QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(login.connectTimeoutSeconds)};
    if (!login.socket.isEmpty()) {
        db.setHostName(QStringLiteral("localhost"));
        options.append(QStringLiteral("UNIX_SOCKET=") + login.socket);
    } else {
        db.setHostName(login.host);
        db.setPort(login.port);
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    db.setUserName(login.user);
    db.setPassword(login.password);

    qCDebug(lcServerAdmin) << "connecting to" << m_address << "as" << login.user;
    if (db.open()) {
        return true;
    }

    const QSqlError error = db.lastError();
    const int code = nativeCode(error);
    if (isUnreachable(code)) {
        return fail(Failure::Unreachable,
                    QStringLiteral("cannot reach the server at %1: %2").arg(m_address, describe(error)), code);
    }
    if (isLoginRefused(code)) {
        return fail(Failure::LoginRefused,
                    QStringLiteral("the server at %1 refused the login of \"%2\": %3")
                        .arg(m_address, login.user, describe(error)),
                    code);
    }
    return fail(Failure::Server,
                QStringLiteral("cannot connect to the server at %1: %2").arg(m_address, describe(error)), code);
}

void ServerAdmin::close()
{
    if (m_connectionName.isEmpty()) {
        return;
    }
    {
        QSqlDatabase db = database();
        if (db.isOpen()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

bool ServerAdmin::isConnected() const
{
    return !m_connectionName.isEmpty() && database().isOpen();
}

bool ServerAdmin::run(const QString &sql, const QString &what)
{
    QSqlQuery query(database());
    qCDebug(lcServerAdmin) << what;
    if (!query.exec(sql)) {
        return failSql(what, query.lastError());
    }
    return true;
}

bool ServerAdmin::run(QSqlQuery &query, const QString &what)
{
    qCDebug(lcServerAdmin) << what;
    if (!query.exec()) {
        return failSql(what, query.lastError());
    }
    return true;
}

bool ServerAdmin::useNetworkDatabase()
{
    if (!isConnected()) {
        return fail(Failure::Server, QStringLiteral("not connected to a server"));
    }
    return run(QStringLiteral("USE `quor`"), QStringLiteral("selecting the database `quor`"));
}

bool ServerAdmin::prepare(QSqlQuery &query, const QString &sql)
{
    if (!query.prepare(sql)) {
        return failSql(QStringLiteral("preparing \"%1\"").arg(sql), query.lastError());
    }
    return true;
}

bool ServerAdmin::exists(const QString &sql, const QStringList &values, bool *found, const QString &what)
{
    QSqlQuery query(database());
    if (!prepare(query, sql)) {
        return false;
    }
    for (const QString &value : values) {
        query.addBindValue(value);
    }
    if (!run(query, what)) {
        return false;
    }
    *found = query.next();
    return true;
}

bool ServerAdmin::initialise(QStringList *report)
{
    if (!isConnected()) {
        return fail(Failure::Server, QStringLiteral("not connected to a server"));
    }
    const QString database = schema::networkDatabase();

    bool found = false;
    if (!exists(QStringLiteral("SELECT 1 FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = ?"), {database}, &found,
                QStringLiteral("looking for the database `quor`"))) {
        return false;
    }
    if (!run(schema::createNetworkDatabaseStatement(), QStringLiteral("creating the database `quor`"))) {
        return false;
    }
    report->append(found ? QStringLiteral("database `quor`: already there")
                         : QStringLiteral("database `quor`: created (utf8mb4)"));

    for (const schema::TableDefinition &table : schema::networkTables()) {
        const QString name = QStringLiteral("`quor`.`%1`").arg(table.name);
        if (!exists(QStringLiteral("SELECT 1 FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? AND TABLE_NAME = ?"),
                    {database, table.name}, &found, QStringLiteral("looking for the table ") + name)) {
            return false;
        }
        if (!run(table.createStatement, QStringLiteral("creating the table ") + name)) {
            return false;
        }

        // An existing table is left as it is; it must still have every column the programs use.
        QSqlQuery columns(this->database());
        if (!prepare(columns, QStringLiteral("SELECT COLUMN_NAME FROM information_schema.COLUMNS "
                                             "WHERE TABLE_SCHEMA = ? AND TABLE_NAME = ?"))) {
            return false;
        }
        columns.addBindValue(database);
        columns.addBindValue(table.name);
        if (!run(columns, QStringLiteral("reading the columns of ") + name)) {
            return false;
        }
        QStringList present;
        while (columns.next()) {
            present.append(columns.value(0).toString().toLower());
        }
        QStringList missing;
        for (const QString &column : table.columns) {
            if (!present.contains(column.toLower())) {
                missing.append(column);
            }
        }
        if (!missing.isEmpty()) {
            return fail(Failure::Server,
                        QStringLiteral("the table %1 already exists but lacks the columns %2; init does not change "
                                       "existing tables: add them by hand")
                            .arg(name, missing.join(QStringLiteral(", "))));
        }
        report->append(QStringLiteral("table %1: %2")
                           .arg(name, found ? QStringLiteral("already there") : QStringLiteral("created (InnoDB)")));
    }

    for (const QString &host : schema::accountHosts()) {
        if (!ensureAccount(host, report)) {
            return false;
        }
    }
    return true;
}

bool ServerAdmin::ensureAccount(const QString &host, QStringList *report)
{
    const QString who = account(host);
    const QString hash = schema::nativePasswordHash(PasswordServer());

    QSqlQuery query(database());
    if (!prepare(query,
                 QStringLiteral("SELECT plugin, authentication_string FROM mysql.user WHERE User = ? AND Host = ?"))) {
        return false;
    }
    query.addBindValue(UtenteServer());
    query.addBindValue(host);
    if (!run(query, QStringLiteral("looking for the account ") + who)) {
        return false;
    }

    if (!query.next()) {
        if (!run(QStringLiteral("CREATE USER IF NOT EXISTS %1 IDENTIFIED BY PASSWORD '%2'").arg(who, hash),
                 QStringLiteral("creating the account ") + who)) {
            return false;
        }
        report->append(QStringLiteral("account %1: created").arg(who));
    } else {
        const QString plugin = query.value(0).toString();
        const bool samePassword =
            (plugin.isEmpty() || plugin == QLatin1String("mysql_native_password")) && query.value(1).toString() == hash;
        if (samePassword) {
            report->append(QStringLiteral("account %1: already there, password as expected").arg(who));
        } else {
            if (!run(QStringLiteral("ALTER USER %1 IDENTIFIED BY PASSWORD '%2'").arg(who, hash),
                     QStringLiteral("setting the password of the account ") + who)) {
                return false;
            }
            report->append(QStringLiteral("account %1: already there, password set again").arg(who));
        }
    }

    const QString networkRights = schema::networkDatabaseRights().join(QStringLiteral(", "));
    const QString chartRights = schema::chartDatabaseRights().join(QStringLiteral(", "));
    const QString chartPattern = schema::chartDatabaseGrantPattern();
    if (!run(QStringLiteral("GRANT %1 ON `quor`.* TO %2").arg(networkRights, who),
             QStringLiteral("granting %1 on `quor`.* to %2").arg(networkRights, who))) {
        return false;
    }
    if (!run(QStringLiteral("GRANT %1 ON `%2`.* TO %3").arg(chartRights, chartPattern, who),
             QStringLiteral("granting %1 on `%2`.* to %3").arg(chartRights, chartPattern, who))) {
        return false;
    }
    report->append(
        QStringLiteral("account %1: %2 on `quor`.*; %3 on `%4`.*").arg(who, networkRights, chartRights, chartPattern));
    return true;
}

bool ServerAdmin::addDoctor(const NewDoctor &doctor, int *id)
{
    NewDoctor d = doctor;
    QString problem;
    if (!normaliseNewDoctor(&d, &problem)) {
        return fail(Failure::Refused, problem);
    }
    if (!useNetworkDatabase()) {
        return false;
    }

    QSqlDatabase db = database();
    if (!db.transaction()) {
        return failSql(QStringLiteral("starting a transaction"), db.lastError());
    }
    bool committed = false;
    const auto rollback = qScopeGuard([&] {
        if (!committed) {
            db.rollback();
        }
    });

    QSqlQuery same(db);
    if (!prepare(same, QStringLiteral("SELECT ID, Cognome, Nome, Sospeso FROM tblmedici WHERE CF = ? FOR UPDATE"))) {
        return false;
    }
    same.addBindValue(d.cf);
    if (!run(same, QStringLiteral("looking for the fiscal code ") + d.cf)) {
        return false;
    }
    if (same.next()) {
        return fail(Failure::Refused,
                    QStringLiteral("a doctor with the fiscal code %1 is already registered: ID %2, %3 %4%5")
                        .arg(d.cf, same.value(0).toString(), same.value(1).toString(), same.value(2).toString(),
                             same.value(3).toInt() != 0 ? QStringLiteral(" (suspended)") : QString()));
    }

    QSqlQuery place(db);
    if (!prepare(place, QStringLiteral("SELECT ID, CF, Cognome, Nome FROM tblmedici "
                                       "WHERE IDGruppo = ? AND Progressivo = ? AND Sospeso = 0 FOR UPDATE"))) {
        return false;
    }
    place.addBindValue(d.gruppo);
    place.addBindValue(d.progressivo);
    if (!run(place, QStringLiteral("looking for progressivo %1 in group %2").arg(d.progressivo).arg(d.gruppo))) {
        return false;
    }
    if (place.next()) {
        return fail(Failure::Refused,
                    QStringLiteral("group %1 already has an active doctor with progressivo %2: ID %3, %4 %5 %6")
                        .arg(QString::number(d.gruppo), QString::number(d.progressivo), place.value(0).toString(),
                             place.value(1).toString(), place.value(2).toString(), place.value(3).toString()));
    }

    QSqlQuery insert(db);
    if (!prepare(insert,
                 QStringLiteral("INSERT INTO tblmedici (CF, Cognome, Nome, Sospeso, Password, IDGruppo, Progressivo, "
                                "Ulmet, CodiceRegionale, ASLCompleto) VALUES (?, ?, ?, 0, '', ?, ?, ?, ?, ?)"))) {
        return false;
    }
    insert.addBindValue(d.cf);
    insert.addBindValue(d.cognome);
    insert.addBindValue(d.nome);
    insert.addBindValue(d.gruppo);
    insert.addBindValue(d.progressivo);
    insert.addBindValue(text(d.ulmet));
    insert.addBindValue(text(d.codiceRegionale));
    insert.addBindValue(text(d.aslCompleto));
    if (!insert.exec()) {
        if (nativeCode(insert.lastError()) == 1062) {
            return fail(Failure::Refused,
                        QStringLiteral("a doctor with the fiscal code %1 is already registered").arg(d.cf), 1062);
        }
        return failSql(QStringLiteral("adding the doctor ") + d.cf, insert.lastError());
    }
    const int newId = insert.lastInsertId().toInt();

    if (!db.commit()) {
        return failSql(QStringLiteral("committing the new doctor"), db.lastError());
    }
    committed = true;
    *id = newId;
    return true;
}

bool ServerAdmin::listDoctors(std::optional<int> gruppo, QList<Doctor> *doctors)
{
    doctors->clear();
    if (!useNetworkDatabase()) {
        return false;
    }
    QString sql = QStringLiteral("SELECT ID, CF, Cognome, Nome, IDGruppo, Progressivo, Sospeso, "
                                 "(Password IS NOT NULL AND Password <> '') FROM tblmedici");
    if (gruppo) {
        sql += QStringLiteral(" WHERE IDGruppo = ?");
    }
    sql += QStringLiteral(" ORDER BY IDGruppo, Progressivo, ID");

    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!prepare(query, sql)) {
        return false;
    }
    if (gruppo) {
        query.addBindValue(*gruppo);
    }
    if (!run(query, QStringLiteral("reading the doctors"))) {
        return false;
    }
    while (query.next()) {
        Doctor d;
        d.id = query.value(0).toInt();
        d.cf = query.value(1).toString();
        d.cognome = query.value(2).toString();
        d.nome = query.value(3).toString();
        d.gruppo = query.value(4).toInt();
        d.progressivo = query.value(5).toInt();
        d.sospeso = query.value(6).toInt() != 0;
        d.passwordSet = query.value(7).toInt() != 0;
        doctors->append(d);
    }
    return true;
}

bool ServerAdmin::suspendDoctor(const QString &cf, bool *alreadySuspended)
{
    return changeDoctor(cf, QStringLiteral("Sospeso <> 0"), QStringLiteral("Sospeso = 1"),
                        QStringLiteral("suspending the doctor "), alreadySuspended, false);
}

bool ServerAdmin::resetPassword(const QString &cf, bool *alreadyEmpty)
{
    // Also a NULL becomes the empty text, which is what the plug-in looks for.
    return changeDoctor(cf, QStringLiteral("Password IS NULL OR Password = ''"), QStringLiteral("Password = ''"),
                        QStringLiteral("emptying the password of the doctor "), alreadyEmpty, true);
}

bool ServerAdmin::changeDoctor(const QString &cf, const QString &done, const QString &change, const QString &action,
                               bool *alreadyDone, bool writeAnyway)
{
    const QString code = normaliseCf(cf);
    if (!isValidCf(code)) {
        return fail(Failure::Refused, QStringLiteral("the fiscal code \"%1\" is not 16 letters and digits").arg(code));
    }
    if (!useNetworkDatabase()) {
        return false;
    }

    QSqlQuery find(database());
    if (!prepare(find, QStringLiteral("SELECT ID, (%1) FROM tblmedici WHERE CF = ?").arg(done))) {
        return false;
    }
    find.addBindValue(code);
    if (!run(find, QStringLiteral("looking for the fiscal code ") + code)) {
        return false;
    }
    if (!find.next()) {
        return fail(Failure::Refused, QStringLiteral("no doctor with the fiscal code %1 is registered").arg(code));
    }
    const int id = find.value(0).toInt();
    const bool already = find.value(1).toInt() != 0;
    if (alreadyDone) {
        *alreadyDone = already;
    }
    if (already && !writeAnyway) {
        return true;
    }

    QSqlQuery update(database());
    if (!prepare(update, QStringLiteral("UPDATE tblmedici SET %1 WHERE ID = ?").arg(change))) {
        return false;
    }
    update.addBindValue(id);
    return run(update, action + code);
}

} // namespace lanvera
