#pragma once
#include <QDateTime>
#include <QHash>
#include <QString>
namespace lanvera {
namespace dao {
class Database;
}
// One archive's outcome in one Sync run, as kept in table tblEsitiSync of the list database.
struct EsitoSync
{
    qint32 idFile = 0; // tblFile.ID
    QString file;      // the archive's path at the time
    QDateTime inizio;
    QDateTime fine;
    QString esito;         // "Operazione conclusa", or the reason the run of that archive failed
    bool riuscito = false; // ended with "Operazione conclusa"
    int errori = 0;        // error lines written for that archive in the run
    int inviate = 0;       // charts sent
    int scaricate = 0;     // charts downloaded
    int unite = 0;         // modification packages merged
    int conflitti = 0;     // rows whose losing version went to the archive's conflict record
};
// What the list shows of one archive.
struct StatoArchivio
{
    EsitoSync ultimo;         // the last run (idFile 0 when never synchronised)
    QDateTime ultimoSuccesso; // the end of the last successful run, invalid when none
};
// Adds the outcome (the table is created when missing); only the last 50 runs of each archive
// are kept.
bool RegistraEsito(dao::Database &lista, const EsitoSync &esito, QString *errore = nullptr);
// The last run and the last success of every archive that has any.
QHash<qint32, StatoArchivio> LeggiStatiArchivi(dao::Database &lista);
// True when the archive needs a look: never synchronised, its last run failed, or its last success
// ended more than two days before `adesso`.
bool DaSegnalare(const StatoArchivio &stato, const QDateTime &adesso);
} // namespace lanvera
