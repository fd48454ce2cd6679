#pragma once

#include "StatoMotore.h"

#include <QString>

namespace lanvera::dao {
class Database;
}

// The chart package: a patient's rows copied into a fresh database file, zipped, and written as
// one line of Base64 text. Work happens in the work folder (the temporary folder followed by
// "/Sync"), one package at a time; its three work files are deleted before and after every packing
// and unpacking, on every path.
class PacchettoCartella
{
public:
    explicit PacchettoCartella(StatoMotore &stato);

    // Fills the engine's table list from the table-list file ("Cartella.sql" beside the program).
    bool CaricaListaTabelle(const QString &fileSql);

    // Packs the chart of the archive's patient with that local ID into package text.
    bool CreaCartella(qint32 idPaziente, QString &cartella);

    // Unpacks package text into the work folder and opens its database in `pacchetto`.
    // `operazione` ("Importa Cartella" or "Importa Modifiche") begins the error texts.
    bool ApriPacchetto(const QString &testo, const QString &operazione, lanvera::dao::Database &pacchetto);
    // Closes the package database and deletes the work files.
    void ChiudiPacchetto(lanvera::dao::Database &pacchetto);

    static QString CartellaLavoro();
    static QString FileMdb();
    static QString FileZip();
    static QString FileB64();

private:
    StatoMotore &m_stato;
};
