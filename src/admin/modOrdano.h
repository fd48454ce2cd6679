#pragma once

#include "modEsitiSync.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace lanvera {
class Prompt;
namespace dao {
class Database;
}
} // namespace lanvera

// What the window and the terminal commands of the administration program share: its files, the
// list of archives with the same checks and messages, the server address, the start of Sync.
namespace modOrdano {

// The title of every message box.
QString Prodotto();

// "Quor.mdb" (the list), "Quor.ini" (the server address) and "Quor.log" (Sync's run log) in the
// data folder.
QString FileListaArchivi();
QString FileIniOrdano();
QString FileLogOrdano();

// The entry steps before the list is opened: the data folder, the workgroup file, the list (made
// when missing), "Quor.ini" seeded from the program folder's "plgLanvera.ini" and bound for reading.
// Nothing here stops the program: what fails shows when the list is opened.
void PreparaAvvio();

// One row of tblFile.
struct Archivio
{
    qint32 id = 0;
    QString descrizione;
    QString file;
};

// The rows ordered by Descrizione; false with "<number> <description>" when the list cannot be read.
bool LeggiArchivi(lanvera::dao::Database &lista, QList<Archivio> &archivi, QString *errore = nullptr);
// The row of that ID, read now; `trovato` false when no row has it.
bool LeggiArchivio(lanvera::dao::Database &lista, qint32 id, Archivio &archivio, bool &trovato,
                   QString *errore = nullptr);

// The check of an archive to save, first failing check wins: the message to show, empty when the
// values may be saved.
QString ControllaArchivio(const QString &descrizione, const QString &file);

// Writes the row of `id` as it stands in the list now (re-read, written by its ID alone, so that
// what another window changed in other rows stays); `id` 0, or a row that another window removed
// meanwhile, adds a new row. `salvato` is the row's ID.
bool SalvaArchivio(lanvera::dao::Database &lista, qint32 id, const QString &descrizione, const QString &file,
                   qint32 &salvato, QString *errore = nullptr);
// Removes the row of that ID; `rimosso` false when no row had it.
bool EliminaArchivio(lanvera::dao::Database &lista, qint32 id, bool *rimosso = nullptr, QString *errore = nullptr);

// "Nessun archivio da sincronizzare", "1 archivio da sincronizzare", "N archivi da sincronizzare".
QString TestoConteggio(qsizetype archivi);

// `Host` of "Quor.ini"; the status text "Server: <host>" or "Server: Non specificato".
QString HostServer();
QString TestoServer();
bool ImpostaServer(const QString &host);

// The question of the manual start, and the message when Sync is not beside the program.
QString DomandaSincronizza();
QString MessaggioSyncMancante();
// Sync in the program folder, empty when it is not there.
QString ProgrammaSync();
// Starts Sync from the program folder, detached, without arguments; when it is not there the
// message above is shown and the result is false.
bool AvviaSync(lanvera::Prompt &prompt);

// How the health of one archive reads in the list and in the terminal.
QString TestoFine(const lanvera::StatoArchivio *stato);
QString TestoEsito(const lanvera::StatoArchivio *stato);
// The outcomes of every archive; empty when the list has no outcomes yet.
QHash<qint32, lanvera::StatoArchivio> StatiArchivi(lanvera::dao::Database &lista);

// How a modal form is shown: exec() for people; tests fill it and press its buttons instead.
using MostraModale = std::function<void(QDialog &)>;
MostraModale MostraConExec();

} // namespace modOrdano
