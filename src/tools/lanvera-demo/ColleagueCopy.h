#pragma once

#include "Database.h"
#include "StatoMotore.h"

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

// A colleague's copy of an owner's archive, in a temporary folder: every row as downloaded (ToSend
// -1), so that the rows he then changes are the only unsent ones, and his modifications package is
// the chart packed from the copy. The folder also holds the package's work files, so that a Sync
// running meanwhile on the same computer never shares them. Everything is deleted with the object.
class ColleagueCopy
{
public:
    // The diary row that a colleague changed.
    struct ChangedRow
    {
        QString guid;
        QString data;       // the entry's date, "dd/mm/yyyy"
        QString lastUpdate; // the new LastUpdate as stored
    };

    ColleagueCopy();
    ~ColleagueCopy();
    Q_DISABLE_COPY_MOVE(ColleagueCopy)

    // Copies the archive and marks every row as sent; the chart table list comes from the file.
    [[nodiscard]] bool open(const QString &archivio, const QString &fileTabelle, QString *error);

    // The colleague adds a note to the patient's latest diary entry: its text gets the note, its
    // LastUpdate becomes `adesso` (at least a second after the one it had) and its ToSend 0.
    // False with the reason when the patient has no diary entry.
    [[nodiscard]] bool changeDiary(qint32 idPaziente, const QString &note, const QDateTime &adesso, ChangedRow *row,
                                   QString *error);

    // The modifications package of the patient: his chart packed from the copy.
    [[nodiscard]] bool package(qint32 idPaziente, QString *text, QString *error);

private:
    QTemporaryDir m_dir;
    lanvera::dao::Database m_copia;
    StatoMotore m_stato; // the copy and the chart table list, for the packing
};
