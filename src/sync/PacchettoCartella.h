#pragma once

#include "StatoMotore.h"

#include <QString>

#include <functional>

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
    // The tables selected by patient (IDPaziente=[ID]) of which the last chart packed held no row:
    // there is nothing in them to mark as sent.
    const QStringList &TabelleSenzaRighe() const { return m_senzaRighe; }
    // A package of the rows that `copia` writes into the new, empty package database at `file`
    // (the plug-in's modifications package); `operazione` begins the error texts.
    bool CreaPacchetto(const QString &operazione,
                       const std::function<bool(const QString &file, QString &errore)> &copia, QString &testo);

    // Unpacks package text into the work folder and opens its database in `pacchetto`.
    // `operazione` ("Importa Cartella" or "Importa Modifiche") begins the error texts.
    //
    // A package comes from the network, so only its one expected entry is ever written: the zip
    // must hold exactly one entry, a regular file named "Cartella.mdb" at its root, and it may not
    // expand beyond the expansion limit. Anything else fails with "<operazione>: Errore UNZIP " and
    // one of the codes of ErroreUnzip, before or instead of writing the database. The database
    // itself must then pass VerificaPacchetto, else "<operazione>: pacchetto non valido: <motivo>".
    bool ApriPacchetto(const QString &testo, const QString &operazione, lanvera::dao::Database &pacchetto);
    // Closes the package database and deletes the work files.
    void ChiudiPacchetto(lanvera::dao::Database &pacchetto);

    // The codes of "Errore UNZIP"; they reach the archive log, so their numbers never change.
    enum ErroreUnzip : int
    {
        UnzipRiuscito = 0,
        UnzipArchivioIllegibile = 1, // not a zip archive, or a damaged one
        UnzipNomePericoloso = 2,     // an absolute name, or one with "..", a backslash or ":"
        UnzipVoceNonFile = 3,        // an entry that is a link, a folder or another special file
        UnzipCartellaMancante = 4,   // no entry "Cartella.mdb" at the root
        UnzipTroppeVoci = 5,         // more than the one entry
        UnzipTroppoGrande = 6,       // the entry declares or expands to more than the limit
        UnzipLetturaFallita = 7,     // encrypted, unknown compression, bad data or checksum
        UnzipScritturaFallita = 8,   // the database file cannot be written
    };

    // What one package may expand to; beyond it the package is refused, so that a hostile package
    // can never fill the disk.
    static constexpr qint64 LimiteEspansioneStandard = qint64{512} * 1024 * 1024;
    void ImpostaLimiteEspansione(qint64 byte) { m_limiteEspansione = byte; }

    // A package database is read only once it is known to hold nothing but stored rows: ordinary
    // tables (no views, triggers, virtual tables or computed columns, which would run queries of
    // the package's choosing, without end or beyond its size) and a sound structure. False with
    // the reason otherwise. The connection is left unable to write.
    static bool VerificaPacchetto(lanvera::dao::Database &pacchetto, QString &motivo);
    // "<operazione>: pacchetto non valido: <motivo>", the refusal of a package.
    static QString TestoRifiuto(const QString &operazione, const QString &motivo);

    // Extracts the one entry `nomeVoce` of a zip file from the network into `destinazione`, a
    // name that must not exist yet, under the rules of a package (one regular entry at the root,
    // at most `limite` bytes); a code of ErroreUnzip.
    static int EstraiVoce(const QString &fileZip, const QString &nomeVoce, const QString &destinazione, qint64 limite);

    static QString CartellaLavoro();
    static QString FileMdb();
    static QString FileZip();
    static QString FileB64();

private:
    bool fallisci(const QString &messaggio);
    // Zips and encodes the package database of the work folder.
    bool Impacchetta(const QString &prefisso, QString &testo);
    bool preparaLavoro(const QString &operazione);
    int estraiDatabase() const;
    static void cancellaFileLavoro();

    StatoMotore &m_stato;
    QStringList m_senzaRighe;
    qint64 m_limiteEspansione = LimiteEspansioneStandard;
};
