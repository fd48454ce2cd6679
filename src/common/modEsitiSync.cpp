#include "modEsitiSync.h"

#include "Database.h"
#include "Recordset.h"
#include "modArchivio.h"

namespace lanvera {

using dao::Database;
using dao::Recordset;

namespace {

// Runs kept per archive: enough to see a pattern, small enough that the list stays tiny.
constexpr int EsitiPerArchivio = 50;

EsitoSync esitoDa(const Recordset &rs)
{
    EsitoSync e;
    e.idFile = rs.valore(QStringLiteral("IDFile")).toInt();
    e.file = rs.testo(QStringLiteral("File"));
    e.inizio = dao::ComeData(rs.valore(QStringLiteral("Inizio")));
    e.fine = dao::ComeData(rs.valore(QStringLiteral("Fine")));
    e.esito = rs.testo(QStringLiteral("Esito"));
    e.riuscito = dao::ComeBool(rs.valore(QStringLiteral("Riuscito")));
    e.errori = rs.valore(QStringLiteral("Errori")).toInt();
    e.inviate = rs.valore(QStringLiteral("Inviate")).toInt();
    e.scaricate = rs.valore(QStringLiteral("Scaricate")).toInt();
    e.unite = rs.valore(QStringLiteral("Unite")).toInt();
    e.conflitti = rs.valore(QStringLiteral("Conflitti")).toInt();
    return e;
}

} // namespace

bool RegistraEsito(Database &lista, const EsitoSync &esito, QString *errore)
{
    auto fallisci = [&] {
        if (errore) {
            *errore = lista.ultimoErrore().testo();
        }
        if (lista.inTransazione()) {
            lista.annullaTransazione();
        }
        return false;
    };
    // The row and the pruning land together: a stopped program never leaves the archive's history
    // longer than its limit, nor a row without the others.
    if (!lista.iniziaTransazione() || !CreaTabellaEsitiSync(lista) ||
        !lista.esegui(QStringLiteral("INSERT INTO tblEsitiSync (IDFile, File, Inizio, Fine, Esito, Riuscito, Errori, "
                                     "Inviate, Scaricate, Unite, Conflitti) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {esito.idFile, esito.file.left(255), esito.inizio, esito.fine, esito.esito.left(255),
                       esito.riuscito, esito.errori, esito.inviate, esito.scaricate, esito.unite, esito.conflitti}) ||
        !lista.esegui(QStringLiteral("DELETE FROM tblEsitiSync WHERE IDFile=? AND ID NOT IN (SELECT ID FROM "
                                     "tblEsitiSync WHERE IDFile=? ORDER BY ID DESC LIMIT ?)"),
                      {esito.idFile, esito.idFile, EsitiPerArchivio}) ||
        !lista.confermaTransazione()) {
        return fallisci();
    }
    return true;
}

QHash<qint32, StatoArchivio> LeggiStatiArchivi(Database &lista)
{
    QHash<qint32, StatoArchivio> stati;
    if (!lista.esisteTabella(QStringLiteral("tblEsitiSync"))) {
        return stati;
    }
    // Rows are added in the order of the runs: the highest ID of an archive is its latest run.
    Recordset rs(lista);
    if (rs.apri(QStringLiteral("SELECT * FROM tblEsitiSync WHERE ID IN (SELECT Max(ID) FROM tblEsitiSync GROUP BY "
                               "IDFile)"))) {
        for (; !rs.eof(); rs.muoviProssimo()) {
            const EsitoSync e = esitoDa(rs);
            stati[e.idFile].ultimo = e;
        }
    }
    if (rs.apri(QStringLiteral("SELECT IDFile, Fine FROM tblEsitiSync WHERE ID IN (SELECT Max(ID) FROM tblEsitiSync "
                               "WHERE Riuscito<>0 GROUP BY IDFile)"))) {
        for (; !rs.eof(); rs.muoviProssimo()) {
            stati[rs.valore(QStringLiteral("IDFile")).toInt()].ultimoSuccesso =
                dao::ComeData(rs.valore(QStringLiteral("Fine")));
        }
    }
    return stati;
}

bool DaSegnalare(const StatoArchivio &stato, const QDateTime &adesso)
{
    constexpr qint64 DueGiorni = 2 * 24 * 60 * 60;
    if (stato.ultimo.idFile == 0 || !stato.ultimo.riuscito || !stato.ultimoSuccesso.isValid()) {
        return true;
    }
    return stato.ultimoSuccesso.secsTo(adesso) > DueGiorni;
}

} // namespace lanvera
