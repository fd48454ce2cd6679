#pragma once

#include <QDate>
#include <QList>
#include <QString>

struct clsPaziente;

namespace lanvera::dao {
class Database;
}

// The archive side of the demo: what the plug-in reads from a doctor's archive before it writes to
// the server, the second installation's archive, and Sync's list of archives.
namespace lanvera::demo {

// The archive's owner: the fiscal code of its tblMedico row with IDRete 1, trimmed and upper-cased
// (empty when there is no such row).
[[nodiscard]] bool ArchiveOwner(dao::Database &archivio, QString *cf, QString *error);

// The archive's patients as Sync's local list holds them, in its order (surname, name, row
// number): fiscal code of 16 characters, surname and name present, not a private patient, not
// downloaded from a colleague, a network key taken once. `Revocato` is worked out against `today`
// from the care relationships; `Allineato` is the alignment row's flag in an archive of the SOLE
// extension and true in any other.
[[nodiscard]] bool LocalPatients(dao::Database &archivio, const QDate &today, QList<clsPaziente> *patients,
                                 QString *error);

// True for a patient whom the plug-in's panel offers for authorisation: active and aligned.
bool IsPublishable(const clsPaziente &paziente);

// The authorisation text that ticks every given colleague, built as the plug-in builds it: as many
// "0" as colleagues, padded with "0" up to each colleague's position, "1" at that position.
QString AuthorisationText(const QList<int> &colleaguePositions);

// True when the text ticks the doctor at that position (positions beyond the end count as "0").
bool Authorises(const QString &autorizzazioni, int position);

// Makes an empty archive ready for Sync on the doctor's second computer: the owner's tblMedico
// row (IDRete 1) with the fiscal code, and the sync password item that the plug-in would leave.
[[nodiscard]] bool PrepareSecondInstallation(const QString &archivio, const QString &cf, const QString &password,
                                             QString *error);

// Lists an archive in Sync's list (tblFile of Quor.mdb), creating the list when it is missing.
// An archive listed already keeps its row and gets the new description; `added` tells.
[[nodiscard]] bool AddToArchiveList(const QString &list, const QString &archivio, const QString &description,
                                    bool *added, QString *error);

} // namespace lanvera::demo
