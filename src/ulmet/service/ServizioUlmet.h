#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>

class clsXML;
class ArchivioHost;

// The stand-in Ulmet service without its transport: one request body in, one answer body out.
// Every doctor it answers for has a host archive; the archive is opened for each request and
// closed again, so that the host may keep using it in between.
class ServizioUlmet
{
public:
    // The error codes of a "KO" answer.
    static inline const QString ErroreRichiesta = QStringLiteral("E10"); // not XML, or no header
    static inline const QString ErroreMetodo = QStringLiteral("E11");    // a method the service does not know
    static inline const QString ErroreMedico = QStringLiteral("E20");    // no archive for the destination doctor
    static inline const QString ErrorePassword = QStringLiteral("E21");  // the requesting doctor's password is wrong
    static inline const QString ErroreCartella = QStringLiteral("E30");  // no patient with that chart identifier
    static inline const QString ErroreDati = QStringLiteral("E31");      // salvapaziente without a chart document
    static inline const QString ErroreArchivio = QStringLiteral("E50");  // the archive cannot be read or written

    // Fiscal code (upper case) -> archive path; fiscal code -> stored password.
    void ImpostaMedici(const QHash<QString, QString> &archivi) { m_archivi = archivi; }
    void ImpostaPassword(const QHash<QString, QString> &password) { m_password = password; }
    void ImpostaCartellaRicevuti(const QString &cartella) { m_ricevuti = cartella; }
    // One line per request goes here.
    void ImpostaRegistro(std::function<void(const QString &)> registro) { m_registro = std::move(registro); }

    // The answer, UTF-8 with its declaration, to one request body.
    QByteArray Rispondi(const QByteArray &corpo);

private:
    struct Esito
    {
        QString codice; // empty: OK
        QString descrizione;
        QString dati; // the inside of the answer's "dati", already XML
    };

    Esito Esegui(const clsXML &richiesta, const QString &metodo, const QString &cfDestinazione);
    Esito CercaPaziente(ArchivioHost &archivio, const QString &cognome);
    Esito CaricaPaziente(ArchivioHost &archivio, qint64 idPaziente);
    Esito SalvaPaziente(ArchivioHost &archivio, qint64 idPaziente, const clsXML &richiesta,
                        const QString &cfDestinazione);

    QHash<QString, QString> m_archivi;
    QHash<QString, QString> m_password;
    QString m_ricevuti;
    std::function<void(const QString &)> m_registro;
};
