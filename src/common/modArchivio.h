#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace lanvera {

namespace dao {
class Database;
}

// Text put into an SQL literal: every apostrophe doubled.
QString QuoteSQL(const QString &testo);

// A new row identity: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
QString CreaGUID();

// The configuration item of a key in arcItems (empty when there is none). False, with the reason
// in the database's error, when the archive cannot be read.
bool LeggiItem(dao::Database &archivio, const QString &chiave, QString &item);
// The value of a key in SOLE_tblConfig, likewise.
bool LeggiConfig(dao::Database &archivio, const QString &chiave, QString &valore);

bool EsisteTabella(const dao::Database &db, const QString &tabella);
bool EsisteCampo(const dao::Database &db, const QString &tabella, const QString &campo);
// True when the archive carries the optional extension (table SOLE_Versione).
bool HaSole(const dao::Database &archivio);

// The table's columns in the source, in their order, that the target's table of the same name
// also has.
QStringList CampiComuni(const dao::Database &origine, const dao::Database &destinazione, const QString &tabella);
// The same for two column lists already in hand, in the order of `origine`.
QStringList CampiComuni(const QStringList &origine, const QStringList &destinazione);

// Records, per patient, the update last received from the network (QUOR_tblUpdate) and when it
// arrived (tblAnagrafica2).
bool ImpostaUpdate(dao::Database &archivio, qint32 idPaziente, const QString &guid);
bool ImpostaDateUpdate(dao::Database &archivio, qint32 idPaziente,
                       const QDateTime &quando = QDateTime::currentDateTime());

// The list of archives to synchronise, a new database with its tables tblFile and tblEsitiSync (the
// outcome of every archive's runs). It is made beside and renamed into place; an existing list is
// never replaced.
bool CreaDatabaseSync(const QString &percorso, QString *errore = nullptr);
// The list ready for use: created when missing; a list without one of its tables (an empty file, a
// database that lacks them, a list made by an older program) gets it in place. A file that is not a
// database is left untouched.
bool PreparaDatabaseSync(const QString &percorso, QString *errore = nullptr);
// Adds the table of the runs' outcomes, with its index, to an open list that lacks it, and the
// columns that a list of an older version lacks.
bool CreaTabellaEsitiSync(dao::Database &lista);

// The workgroup file: its accounts, and the preparation that copies the shipped file into the
// data folder and checks that it grants the programs' default user.
bool CreaFileGruppo(const QString &percorso, QString *errore = nullptr);
bool PreparaMotore(const QString &cartellaDati, const QString &cartellaProgramma, QString *errore = nullptr);

} // namespace lanvera
