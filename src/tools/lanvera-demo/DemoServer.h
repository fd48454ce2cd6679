#pragma once

#include "AdminLogin.h"

#include <QList>
#include <QString>

#include <optional>

class QSqlError;
class QSqlQuery;
struct clsPaziente;

namespace lanvera::demo {

// A row of `quor.tblmedici`.
struct DemoDoctor
{
    int id = 0;
    QString cf;
    QString cognome;
    QString nome;
    QString password;
    int gruppo = 0;
    int progressivo = 0;
    bool sospeso = false;

    // "Cognome Nome", as the programs name a doctor.
    QString nomeCompleto() const { return cognome + QLatin1Char(' ') + nome; }
};

// The demo's work on the group's server over an administrator connection: what the plug-in would
// write there on the doctors' behalf. Every call returns true on success; on false, lastError()
// says why and lastFailure() what kind of failure it was. The connection closes itself.
class DemoServer
{
public:
    enum class Failure
    {
        None,
        Unreachable,  // no server answers at the address
        LoginRefused, // the server refused the administrator's name or password
        Failed,       // any other error: no `quor`, a statement refused
    };

    DemoServer();
    ~DemoServer();
    Q_DISABLE_COPY_MOVE(DemoServer)

    [[nodiscard]] bool connect(const AdminLogin &login);

    // The doctor with that fiscal code; empty when there is none.
    [[nodiscard]] bool doctor(const QString &cf, std::optional<DemoDoctor> *found);
    // The active doctors of the group, ordered by surname and name.
    [[nodiscard]] bool groupDoctors(int gruppo, QList<DemoDoctor> *doctors);
    [[nodiscard]] bool setPassword(int doctorId, const QString &password);

    // Writes the patient's row of `quor.tblanagrafica` as the plug-in does when a patient gets his
    // first authorisation: the personal fields, the owner, the chart database and the
    // authorisations, no update stamp. A patient already there only gets the new authorisations;
    // `added` tells which of the two happened.
    [[nodiscard]] bool publish(const clsPaziente &paziente, const DemoDoctor &owner, const QString &autorizzazioni,
                               bool *added);
    // The owner's patients on the server, ordered by surname and name.
    [[nodiscard]] bool published(const QString &ownerCf, QList<clsPaziente> *patients);
    // Queues a colleague's modifications package for the owner's next Sync.
    [[nodiscard]] bool addModifications(const QString &chiave, const QString &colleagueCf, const QString &ownerCf,
                                        const QString &package, int *id);

    QString lastError() const { return m_lastError; }
    Failure lastFailure() const { return m_lastFailure; }

private:
    bool fail(Failure failure, const QString &text);
    bool failSql(const QString &what, const QSqlError &error);
    bool run(QSqlQuery &query, const QString &what);

    QString m_connectionName;
    QString m_address;
    QString m_lastError;
    Failure m_lastFailure = Failure::None;
};

} // namespace lanvera::demo
