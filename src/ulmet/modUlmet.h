#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>

#include <functional>

class clsXML;

// The Ulmet protocol, engine side: the request envelope, the HTTP exchange and the reading of
// the answers. No window here: the plug-in shows what these routines give back.
namespace modUlmet {

inline constexpr QStringView PortaPredefinita = u"12345";
inline constexpr int TimeoutPredefinito = 60; // seconds

// Where the service answers and how long to wait for it; the caller reads them from the
// settings ("Host", "PortUlmet", "TimeoutUlmet") before every request.
struct ImpostazioniUlmet
{
    QString host;
    QString porta;                    // empty: PortaPredefinita
    int timeout = TimeoutPredefinito; // seconds, for connecting and again for the answer
};

// The requesting doctor and the Ulmet doctor whose archive is addressed.
struct IntestazioneUlmet
{
    QString cfRichiedente;
    QString pwRichiedente; // the stored (encrypted) password, never the plain one
    QString cfDestinazione;
};

// One patient of a search answer; a missing field reads as empty text.
struct RecordUlmet
{
    QString idCartella;
    QString codiceFiscale;
    QString cognome;
    QString nome;
    QString indirizzo;
    QString comune;
    QString provincia;
    QString sesso;
};

// A value as XML character data: "&", "<", ">" escaped, a carriage return kept as a character
// reference (a parser would fold it away), characters XML cannot carry left out.
QString TestoXML(const QString &testo);

// The envelope: "ulmet" with "header" (versione, cfrichiedente, pwrichiedente, cfdestinazione,
// metodo, parametri with `parametri` in their order), then `dati` as given (already serialised
// XML, put in unchanged). No declaration, no white space; every value escaped.
QString CreaRichiesta(const IntestazioneUlmet &intestazione, const QString &metodo,
                      const QList<QPair<QString, QString>> &parametri, const QString &dati = {});
QString RichiestaCercaPaziente(const IntestazioneUlmet &intestazione, const QString &cognome);
QString RichiestaCaricaPaziente(const IntestazioneUlmet &intestazione, const QString &idCartella);
QString RichiestaSalvaPaziente(const IntestazioneUlmet &intestazione, const QString &idCartella, const QString &dati);

// "http://" + host + ":" + port (PortaPredefinita when the port is empty).
QString IndirizzoUlmet(const ImpostazioniUlmet &impostazioni);

// Polled while waiting for the service; true aborts the request.
using Annullamento = std::function<bool()>;

// POSTs the request (UTF-8, "text/xml; charset=utf-8") and gives back the answer decoded by the
// encoding its declaration names. Window events keep running while it waits. Any failure gives
// empty text: no connection within the time-out, no answer within the time-out after the
// request went out (restarted by every piece of the answer), a network error, a cancel. The HTTP
// status is not looked at.
QString InviaRichiestaUlmet(const QString &richiesta, const ImpostazioniUlmet &impostazioni,
                            const Annullamento &annulla = {});

// "yyyymmdd" -> "dd/mm/yyyy"; empty unless the text is exactly 8 characters of a real date.
QString DataDaTestoXML(const QString &testo);
// The birth date carried by an Italian fiscal code, "dd/mm/yyyy", or empty text.
QString DataNascitaDaCF(const QString &codiceFiscale);

// The parsed answer's "header/esito" is "OK" / "KO" (without regard to case).
bool EsitoOK(const clsXML &risposta);
bool EsitoKO(const clsXML &risposta);
// The text that shows the service's error: "Ulmet ha sollevato il seguente errore:", an empty
// line, the code, a space and the description. Empty when the answer carries no error code.
QString TestoErroreUlmet(const clsXML &risposta);
// The "dati/record" elements of a search answer, in document order.
QList<RecordUlmet> RecordRicerca(const clsXML &risposta);

} // namespace modUlmet
