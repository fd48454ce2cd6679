#pragma once

#include "AdminLogin.h"
#include "Doctor.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace lanvera {

// The operator's work on the group's server over an administrator connection: setting up the
// network database and the programs' account, registering and suspending doctors, emptying
// their passwords.
//
// Every call returns true on success; on false, lastError() says why and lastFailure() what kind
// of failure it was. One object holds one connection, closed by close() or the destructor.
class ServerAdmin
{
public:
    enum class Failure
    {
        None,
        Unreachable,  // no server answers at the address (or it dropped the connection)
        LoginRefused, // the server refused the administrator's user name or password
        NoSchema,     // the database `quor` is missing: init has not been run
        Refused,      // the request itself is wrong: bad data, duplicate, no such doctor
        Server,       // any other error the server or the driver reported
    };

    ServerAdmin();
    ~ServerAdmin();
    Q_DISABLE_COPY_MOVE(ServerAdmin)

    [[nodiscard]] bool connect(const AdminLogin &login);
    void close();
    bool isConnected() const;

    // Creates what is missing of `quor` and its tables, and the account UtenteServer() for the hosts
    // '%' and 'localhost' with the password PasswordServer() and its rights. Safe to repeat: what is
    // already there stays as it is. `report` gets one line per step, saying what was done.
    [[nodiscard]] bool initialise(QStringList *report);

    // Registers a doctor (normalised with normaliseNewDoctor) and gives the new `ID`. Refuses a
    // fiscal code already registered and a (group, progressivo) already held by an active doctor.
    [[nodiscard]] bool addDoctor(const NewDoctor &doctor, int *id);

    // The doctors of one group, or of all groups, ordered by group and progressivo.
    [[nodiscard]] bool listDoctors(std::optional<int> gruppo, QList<Doctor> *doctors);

    // Sets `Sospeso` = 1. A doctor already suspended is no error; `alreadySuspended` tells.
    [[nodiscard]] bool suspendDoctor(const QString &cf, bool *alreadySuspended = nullptr);

    // Empties the doctor's stored password (`Password` = ''), so that at his next access the plug-in
    // asks him to create a new one. `alreadyEmpty` tells whether none was set before.
    [[nodiscard]] bool resetPassword(const QString &cf, bool *alreadyEmpty = nullptr);

    QString lastError() const { return m_lastError; }
    Failure lastFailure() const { return m_lastFailure; }
    // The server's or the client library's error number, 0 when the failure did not come from them.
    int lastNativeError() const { return m_lastNativeError; }

private:
    // The doctor with that fiscal code gets `change` (an assignment), unless `done` (a condition on
    // his row) says he has it already and `writeAnyway` is false.
    bool changeDoctor(const QString &cf, const QString &done, const QString &change, const QString &action,
                      bool *alreadyDone, bool writeAnyway);

    QSqlDatabase database() const;
    bool fail(Failure failure, const QString &text, int nativeError = 0);
    bool failSql(const QString &what, const QSqlError &error);
    bool run(const QString &sql, const QString &what);
    bool run(QSqlQuery &query, const QString &what);
    bool prepare(QSqlQuery &query, const QString &sql);
    bool useNetworkDatabase();
    bool exists(const QString &sql, const QStringList &values, bool *found, const QString &what);
    bool ensureAccount(const QString &host, QStringList *report);

    QString m_connectionName;
    QString m_address;
    QString m_lastError;
    Failure m_lastFailure = Failure::None;
    int m_lastNativeError = 0;
};

} // namespace lanvera
