#pragma once

#include <QString>

// The archive side of the demo: the second installation's archive and Sync's list of archives.
namespace lanvera::demo {

// Makes an empty archive ready for Sync on the doctor's second computer: the owner's tblMedico
// row (IDRete 1) with the fiscal code, and the sync password item that the plug-in would leave.
[[nodiscard]] bool PrepareSecondInstallation(const QString &archivio, const QString &cf, const QString &password,
                                             QString *error);

// Lists an archive in Sync's list (tblFile of Quor.mdb), creating the list when it is missing.
// An archive listed already keeps its row and gets the new description; `added` tells.
[[nodiscard]] bool AddToArchiveList(const QString &list, const QString &archivio, const QString &description,
                                    bool *added, QString *error);

} // namespace lanvera::demo
