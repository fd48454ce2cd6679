#pragma once

#include "Database.h"

#include <QDateTime>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace lanvera {

// The server keys of the settings file, with the defaults of empty values applied.
struct ImpostazioniServer
{
    QString host;
    QString porta = QStringLiteral("3306");
    QString driver = QStringLiteral("{MySQL ODBC 3.51 Driver}");
    QString opzioni = QStringLiteral("3");

    // Reads section Setup of the program's settings file.
    static ImpostazioniServer daIni();

    bool operator==(const ImpostazioniServer &) const = default;
};

// Time limits of the server connection, in seconds. Reading and writing allow for packages of
// several megabytes on a slow line.
struct LimitiServer
{
    int connessione = 15;
    int lettura = 300;
    int scrittura = 300;
};

// The one connection of a process to the group's server. Every text value reaches the server
// bound to its statement or, where a statement is built as text, with backslashes read as plain
// characters, so that no value can end a literal early. The connection closes itself.
class ConnessioneServer
{
public:
    ConnessioneServer();
    ~ConnessioneServer();
    Q_DISABLE_COPY_MOVE(ConnessioneServer)

    // Opens a new connection (an open one is closed first). Sync writes "Connessione al server"
    // to its run log first; pass scriviLog = false elsewhere.
    bool connetti(const ImpostazioniServer &impostazioni, bool scriviLog = true, const LimitiServer &limiti = {});
    // The plug-in's variant: keeps a connection to the same server that still answers, replaces
    // one that does not or that was opened with other settings.
    bool connettiRiusando(const ImpostazioniServer &impostazioni, const LimitiServer &limiti = {});
    void chiudi();
    bool aperta() const;

    // "Use `quor`".
    bool usaDatabaseRete();
    // Selects `quor_<numero>`, creating it on first use; its chart table is created when missing
    // (checked once per database while the connection stays open).
    bool usaDatabaseCartelle(qint32 numero);

    // One statement without rows, values bound to its "?" places.
    bool esegui(const QString &sql, const QVariantList &valori = {});
    // The server's clock now, in UTC; false with the reason when it cannot be read.
    bool leggiOraServer(QDateTime &utc);

    QSqlDatabase database() const;
    // The reason of the last failure: "Connessione al server: Errore <n> <text>" for the connection,
    // "<n> <text>" of the server for a statement.
    QString ultimoErrore() const { return m_ultimoErrore; }
    const dao::Errore &errore() const { return m_errore; }

private:
    bool apri(const ImpostazioniServer &impostazioni, const LimitiServer &limiti);
    bool fallisciConnessione(const dao::Errore &errore);

    QString m_nomeConnessione;
    QString m_ultimoErrore;
    dao::Errore m_errore;
    QSet<qint32> m_cartelleVerificate; // chart databases known to have their table
    ImpostazioniServer m_impostazioni; // those of the open connection
};

// The server's native error number and text of a failed Qt SQL call.
dao::Errore ErroreServer(const QSqlError &errore);

// Clocks further apart than this make the LastUpdate comparisons of the merge unreliable.
inline constexpr qint64 ScartoOrologioTolleratoMs = 2 * 60 * 1000;
// The archive-log warning for a computer whose clock (`orologioLocale`) is more than two minutes
// ahead of or behind the server's (`oraServer`); empty when the clocks agree or one is unknown.
QString AvvisoOrologio(const QDateTime &orologioLocale, const QDateTime &oraServer);

// The connection of the running program, and the routines of the system's main modules on it.
ConnessioneServer &ServerDB();
bool ConnettiServer();
void ChiudiServer();
bool UsaDatabaseRete();
bool UsaDatabaseCartelle(qint32 numero);
QString UltimoErrore();
void ImpostaUltimoErrore(const QString &testo);

} // namespace lanvera
