#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <unordered_map>
#include <vector>

class QSqlQuery;

namespace lanvera::dao {

// A failed call: the engine's result code (SQLite's primary code, errno for files) and its text.
struct Errore
{
    int numero = 0;
    QString descrizione;

    bool presente() const { return numero != 0 || !descrizione.isEmpty(); }
    // "<number> <description>", the tail of the system's "...: Errore " texts.
    QString testo() const { return QString::number(numero) + QLatin1Char(' ') + descrizione; }
};

// Error numbers of our own, for conditions that the engine does not report by itself.
inline constexpr int ErroreFileMancante = 3024;  // the file is not there
inline constexpr int ErroreFileEsistente = 3204; // the file to create is already there
inline constexpr int ErroreTabellaEsistente = 3010;
inline constexpr int ErroreIstruzione = 3131; // a statement of a form the layer does not know

class Database;

// A statement lent by a database: prepared at the first loan of its text, reset and kept for the
// next loan when the holder lets it go. Statements that run for every row or every patient (the
// merge's look-ups and writes, the sent marks) are parsed once per connection instead of at
// every call. Two loans of the same text at once get two statements.
class Istruzione
{
public:
    Istruzione(Database &db, const QString &sql);
    ~Istruzione();
    Q_DISABLE_COPY_MOVE(Istruzione)

    // false when the statement could not be prepared: the database's ultimoErrore() says why.
    bool pronta() const { return m_query != nullptr; }
    QSqlQuery &query() { return *m_query; }
    const QSqlQuery &query() const { return *m_query; }
    // Binds the values in order, as the archives store them, and runs the statement; false with
    // the database's ultimoErrore().
    bool esegui(const QVariantList &valori = {});

private:
    Database &m_db;
    QString m_sql;
    std::unique_ptr<QSqlQuery> m_query;
    quint64 m_generazione = 0;
};

// An archive, the list of archives, a package database: one SQLite file opened through Qt SQL.
// The database closes itself; every call reports through its result and ultimoErrore().
class Database
{
public:
    Database();
    ~Database();
    Q_DISABLE_COPY_MOVE(Database)

    // Opens an existing file, shared, for reading and writing (or only reading). A missing file,
    // a file that is not a database, a database that cannot be read: false with the reason.
    bool apri(const QString &percorso, bool solaLettura = false);

    // Creates a new, empty database file. A throwaway file (a package) is written without journal
    // and without waiting for the disk. An existing file is never overwritten.
    bool crea(const QString &percorso, bool usaEGetta = false);

    void chiudi();
    bool aperto() const;
    QString percorso() const { return m_percorso; }

    // How long a call waits for a lock held by another program before it fails.
    void impostaAttesaBlocco(int millisecondi);

    // Runs one statement that returns no rows, with values bound to its "?" places. Understands the
    // make-table form  SELECT [t].* INTO [t] IN "file" FROM [t] WHERE ...  that copies rows, with the
    // table's columns and types, into a table of the same name in another, existing database file.
    // That file is treated as a throwaway package: it is written without journal.
    bool esegui(const QString &sql, const QVariantList &valori = {});
    // Attaches the target file of the copies; the copies into it can then share one transaction.
    // It stays attached until another file is named, staccaDestinazione() or closing.
    bool collegaDestinazione(const QString &file);
    // Lets go of the file that the last copies went into; call it before that file is read,
    // moved or deleted, and outside a transaction.
    void staccaDestinazione();
    int righeInteressate() const { return m_righeInteressate; }

    // Reads the names of every table and view at once, so that esisteTabella() answers without
    // asking the file until the schema changes through this object. For a database that is asked
    // about many tables, some of them missing (a package).
    bool caricaSchema();
    // The statement that created the table, as read by caricaSchema(); empty before it or for a
    // table it did not see.
    QString definizione(const QString &tabella) const;

    bool esisteTabella(const QString &tabella) const;
    bool esisteCampo(const QString &tabella, const QString &campo) const;
    // Whether the column is the table's INTEGER PRIMARY KEY, that is the row's own identity, so
    // that a new row's counter is its insert id.
    bool chiaveERowid(const QString &tabella, const QString &campo) const;
    // Column names in the order of the table's definition; empty for a missing table.
    QStringList campi(const QString &tabella) const;
    // The columns of every table of a schema ("main" or an attached one), keyed by the lower-case
    // table name; those of "main" are the ones campi() keeps.
    QHash<QString, QStringList> campiTabelle(const QString &schema = QStringLiteral("main")) const;
    QStringList tabelle() const;

    bool iniziaTransazione();
    bool confermaTransazione();
    bool annullaTransazione();
    bool inTransazione() const { return m_inTransazione; }

    const Errore &ultimoErrore() const { return m_errore; }

    // For the recordsets of this database.
    QSqlDatabase connessione() const;
    void registraErrore(const Errore &errore) { m_errore = errore; }

private:
    friend class Istruzione;
    std::unique_ptr<QSqlQuery> prendiIstruzione(const QString &sql);
    void rendiIstruzione(const QString &sql, std::unique_ptr<QSqlQuery> query, quint64 generazione);
    void dimenticaSchema();

    bool apriConnessione(const QString &percorso, bool solaLettura);
    bool definizioneCopia(const QString &tabella, QStringList &colonne);
    bool eseguiCreaTabella(const QString &tabellaOrigine, const QString &tabellaDestinazione,
                           const QString &fileDestinazione, const QString &restoSql, const QVariantList &valori);
    bool fallisci(int numero, const QString &descrizione);

    QString m_nomeConnessione;
    QString m_percorso;
    Errore m_errore;
    int m_righeInteressate = 0;
    bool m_inTransazione = false;
    int m_attesaBlocco = 5000;
    QString m_destinazione;                        // the attached target of the copies, if any
    mutable QHash<QString, QStringList> m_campi;   // lower-case table name -> its columns
    QHash<QString, QStringList> m_definizioni;     // lower-case table name -> its columns as a copy creates them
    mutable QHash<QString, QString> m_chiaviRowid; // lower-case table name -> its rowid column, lower case
    bool m_schemaNoto = false;                     // m_nomiNoti holds every table and view
    QHash<QString, QString> m_nomiNoti;            // lower-case name -> its CREATE statement
    QStringList m_tabelleDestinazione;             // lower-case names of the tables in the attached target
    // Prepared statements waiting for their next loan, by text; a new connection starts afresh.
    std::unordered_map<QString, std::vector<std::unique_ptr<QSqlQuery>>> m_istruzioni;
    int m_istruzioniTenute = 0;
    quint64 m_generazione = 0;
};

// "[name]": a table or column name as it stands in a statement.
QString Parentesi(const QString &nome);

// Values as the archives store them: dates as "yyyy-mm-dd hh:mm:ss" text, Booleans as 0 and -1.
QVariant ValoreArchivio(const QVariant &valore);
QString TestoDataArchivio(const QDateTime &momento);
// Null reads as empty text.
QString ComeTesto(const QVariant &valore);
// The day of a stored moment, read from the stored text without building a local date and time
// (a time-zone look-up each); invalid when the value is no date.
QDate ComeGiorno(const QVariant &valore);
// A stored date (ISO text) as a moment; invalid when the value is not a date.
QDateTime ComeData(const QVariant &valore);
bool ComeBool(const QVariant &valore);

} // namespace lanvera::dao
