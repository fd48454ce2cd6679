#pragma once

#include <QDateTime>
#include <QString>

namespace lanvera {

// Tags of the archive log "Lanvera.log": who wrote the entry.
inline constexpr QLatin1StringView TagSync{"SYNC "};
inline constexpr QLatin1StringView TagUser{"USER "};

// One log entry as it stands in the file, without its line end: severity ("ERR " or four blanks),
// the tag (archive log only), the moment as "dd/mm/yyyy hh.nn.ss", one blank and the message, each
// line break of the message followed by blanks up to the width of that prefix. An empty message is
// an empty entry.
QString FormattaVoceLog(const QString &messaggio, bool errore, QLatin1StringView tag, const QDateTime &quando);

// Appends the entry and its line end with one write, so that two programs writing the same file
// interleave whole entries. A file that cannot be written loses the entry; the result says so.
bool AccodaVoceLog(const QString &file, const QString &voce);

// The run log "Quor.log" in the data folder.
QString FileLogSync();
void ScriviLog(const QString &messaggio, bool errore = false, const QDateTime &quando = QDateTime::currentDateTime());

// The archive log "Lanvera.log" beside an archive: the text of the archive's path before its last
// separator, then "/Lanvera.log".
QString CartellaArchivio(const QString &archivio);
QString FileLogArchivio(const QString &cartellaArchivio);

// Writes one archive-log entry and returns it as written (what the engine passes on to its window).
QString ScriviLogArchivio(const QString &cartellaArchivio, const QString &messaggio, bool errore,
                          QLatin1StringView tag = TagSync, const QDateTime &quando = QDateTime::currentDateTime());

} // namespace lanvera
