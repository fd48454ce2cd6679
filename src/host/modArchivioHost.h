#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QDate;
class QDateTime;
class QSqlDatabase;

// The Clinora archive as a file: its empty schema, and the safe creation of a new archive.
namespace lanvera::host {

// Text of the script that creates an empty archive (ClinoraTemp.sql, built into the library).
QString ScriptArchivioVuoto();

// Splits an SQL script into its statements: comments are dropped, and a ";" inside quotes,
// double quotes or brackets does not end a statement.
QStringList IstruzioniSql(const QString &script);

// Runs every statement of the script on an open database, in one transaction.
[[nodiscard]] bool EseguiScript(QSqlDatabase &db, const QString &script, QString *errore);

// Procedure that fills a freshly created archive (the empty schema is already in it).
using RiempiArchivio = std::function<bool(QSqlDatabase &db, QString *errore)>;

// Creates a new archive at percorso: the empty schema, then riempi when given. An existing
// file is never overwritten. The work happens on a temporary file in the same folder that is
// renamed only when complete, so a failure leaves nothing behind.
[[nodiscard]] bool CreaArchivio(const QString &percorso, const RiempiArchivio &riempi, QString *errore);

// An empty archive at percorso (the template ClinoraTemp.mdb).
[[nodiscard]] bool CreaArchivioVuoto(const QString &percorso, QString *errore);

// Turns an archive into one of the SOLE extension: creates SOLE_Versione and records the
// doctor's fiscal code under "CodiceFiscaleMedico" in SOLE_tblConfig.
[[nodiscard]] bool AttivaSole(QSqlDatabase &db, const QString &cfMedico, QString *errore);

// Stored forms of dates: "yyyy-mm-dd hh:mm:ss" in the tables, "yyyymmddhhnnss" in arcItems.
QString TestoData(const QDate &data);
QString TestoMomento(const QDateTime &momento);
QString TestoMomentoCompatto(const QDateTime &momento);

} // namespace lanvera::host
