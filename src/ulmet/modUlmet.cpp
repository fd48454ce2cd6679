#include "modUlmet.h"

#include "clsXML.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcUlmet, "lanvera.ulmet.protocollo")

namespace modUlmet {

namespace {

constexpr int IntervalloControllo = 100; // ms between two looks at the cancel callback

void AggiungiElemento(QString &xml, QStringView nome, const QString &valore)
{
    xml += u'<' + nome + u'>' + TestoXML(valore) + u"</" + nome + u'>';
}

// A number of exactly two decimal digits, or -1.
int DueCifre(QStringView testo)
{
    const auto cifra = [](QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; };
    if (testo.size() != 2 || !cifra(testo[0]) || !cifra(testo[1])) {
        return -1;
    }
    return (testo[0].unicode() - u'0') * 10 + (testo[1].unicode() - u'0');
}

} // namespace

QString TestoXML(const QString &testo)
{
    QString uscita;
    uscita.reserve(testo.size() + testo.size() / 8);
    for (qsizetype i = 0; i < testo.size(); ++i) {
        const QChar c = testo[i];
        const char16_t u = c.unicode();
        if (c.isHighSurrogate()) {
            if (i + 1 < testo.size() && testo[i + 1].isLowSurrogate()) {
                uscita += c;
                uscita += testo[++i];
            }
            continue; // a lone half of a pair is no character
        }
        switch (u) {
        case u'&':
            uscita += u"&amp;";
            break;
        case u'<':
            uscita += u"&lt;";
            break;
        case u'>':
            uscita += u"&gt;";
            break;
        case u'\r':
            uscita += u"&#13;";
            break;
        default:
            if ((u < 0x20 && u != u'\t' && u != u'\n') || c.isLowSurrogate() || u == 0xFFFE || u == 0xFFFF) {
                break; // not allowed in an XML document at all
            }
            uscita += c;
        }
    }
    return uscita;
}

QString CreaRichiesta(const IntestazioneUlmet &intestazione, const QString &metodo,
                      const QList<QPair<QString, QString>> &parametri, const QString &dati)
{
    QString xml = u"<ulmet><header>"_s;
    AggiungiElemento(xml, u"versione", u"1.0"_s);
    AggiungiElemento(xml, u"cfrichiedente", intestazione.cfRichiedente);
    AggiungiElemento(xml, u"pwrichiedente", intestazione.pwRichiedente);
    AggiungiElemento(xml, u"cfdestinazione", intestazione.cfDestinazione);
    AggiungiElemento(xml, u"metodo", metodo);
    xml += u"<parametri>";
    for (const auto &[nome, valore] : parametri) {
        AggiungiElemento(xml, nome, valore);
    }
    xml += u"</parametri></header>" + dati + u"</ulmet>";
    return xml;
}

QString RichiestaCercaPaziente(const IntestazioneUlmet &intestazione, const QString &cognome)
{
    return CreaRichiesta(intestazione, u"cercapaziente"_s,
                         {{u"codicefiscale"_s, {}}, {u"tessera"_s, {}}, {u"cognome"_s, cognome}, {u"nome"_s, {}}});
}

QString RichiestaCaricaPaziente(const IntestazioneUlmet &intestazione, const QString &idCartella)
{
    return CreaRichiesta(intestazione, u"caricapaziente"_s, {{u"idcartella"_s, idCartella}});
}

QString RichiestaSalvaPaziente(const IntestazioneUlmet &intestazione, const QString &idCartella, const QString &dati)
{
    return CreaRichiesta(intestazione, u"salvapaziente"_s, {{u"idcartella"_s, idCartella}}, dati);
}

QString IndirizzoUlmet(const ImpostazioniUlmet &impostazioni)
{
    const QString porta = impostazioni.porta.isEmpty() ? PortaPredefinita.toString() : impostazioni.porta;
    return u"http://"_s + impostazioni.host + u':' + porta;
}

QString InviaRichiestaUlmet(const QString &richiesta, const ImpostazioniUlmet &impostazioni,
                            const Annullamento &annulla)
{
    const QUrl indirizzo(IndirizzoUlmet(impostazioni), QUrl::StrictMode);
    if (!indirizzo.isValid() || indirizzo.host().isEmpty()) {
        qCDebug(lcUlmet) << "indirizzo non valido:" << indirizzo.toString();
        return {};
    }

    QNetworkAccessManager rete;
    QNetworkRequest domanda(indirizzo);
    domanda.setHeader(QNetworkRequest::ContentTypeHeader, u"text/xml; charset=utf-8"_s);
    std::unique_ptr<QNetworkReply> risposta(rete.post(domanda, richiesta.toUtf8()));

    // One deadline: first for connecting and sending, then for the answer; every piece of the
    // answer starts it again, so a long chart that keeps arriving is not cut off.
    const qint64 attesa = qint64(std::max(1, impostazioni.timeout)) * 1000;
    QDeadlineTimer scadenza(attesa);
    const auto rinnova = [&scadenza, attesa] { scadenza.setRemainingTime(attesa); };
    QObject::connect(risposta.get(), &QNetworkReply::requestSent, rinnova);
    QObject::connect(risposta.get(), &QNetworkReply::uploadProgress, rinnova);
    QObject::connect(risposta.get(), &QNetworkReply::metaDataChanged, rinnova);
    QObject::connect(risposta.get(), &QNetworkReply::downloadProgress, rinnova);

    QEventLoop ciclo;
    bool interrotta = false;
    QObject::connect(risposta.get(), &QNetworkReply::finished, &ciclo, &QEventLoop::quit);
    QTimer controllo;
    controllo.setInterval(IntervalloControllo);
    QObject::connect(&controllo, &QTimer::timeout, &ciclo, [&] {
        const bool annullata = annulla && annulla();
        if (annullata || scadenza.hasExpired()) {
            qCDebug(lcUlmet) << (annullata ? "richiesta annullata" : "tempo scaduto") << indirizzo.toString();
            interrotta = true;
            risposta->abort();
        }
    });
    controllo.start();
    if (!risposta->isFinished()) {
        ciclo.exec();
    }
    controllo.stop();

    // A network failure gives nothing; an HTTP error status still carries the service's answer.
    const bool rispostaHttp = risposta->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (interrotta || !rispostaHttp) {
        qCDebug(lcUlmet) << "nessuna risposta:" << risposta->errorString();
        return {};
    }
    const QByteArray corpo = risposta->readAll();
    return corpo.isEmpty() ? QString() : clsXML::Decodifica(corpo);
}

QString DataDaTestoXML(const QString &testo)
{
    if (testo.size() != 8) {
        return {};
    }
    const QStringView t(testo);
    const int secolo = DueCifre(t.left(2));
    const int anno = DueCifre(t.mid(2, 2));
    const QDate data(secolo * 100 + anno, DueCifre(t.mid(4, 2)), DueCifre(t.mid(6, 2)));
    if (secolo < 0 || anno < 0 || !data.isValid()) {
        return {};
    }
    return data.toString(u"dd/MM/yyyy"_s);
}

QString DataNascitaDaCF(const QString &codiceFiscale)
{
    if (codiceFiscale.size() != 16) {
        return {};
    }
    static const QString mesi = u"ABCDEHLMPRST"_s;
    const qsizetype mese = mesi.indexOf(codiceFiscale[8].toUpper());
    if (mese < 0) {
        return {};
    }
    const int anno = DueCifre(QStringView(codiceFiscale).mid(6, 2));
    int giorno = DueCifre(QStringView(codiceFiscale).mid(9, 2));
    if (anno < 0 || giorno < 0) {
        return {};
    }
    if (giorno > 40) {
        giorno -= 40;
    }
    if (giorno <= 0) {
        return {};
    }
    // The two-digit year window: 00-29 in the 2000s, 30-99 in the 1900s.
    const QDate data(anno < 30 ? 2000 + anno : 1900 + anno, int(mese) + 1, giorno);
    return data.isValid() ? data.toString(u"dd/MM/yyyy"_s) : QString();
}

bool EsitoOK(const clsXML &risposta)
{
    return risposta.GetNode(risposta.RootNode(), u"header/esito"_s).compare(u"OK", Qt::CaseInsensitive) == 0;
}

bool EsitoKO(const clsXML &risposta)
{
    return risposta.GetNode(risposta.RootNode(), u"header/esito"_s).compare(u"KO", Qt::CaseInsensitive) == 0;
}

QString TestoErroreUlmet(const clsXML &risposta)
{
    const QString codice = risposta.GetNode(risposta.RootNode(), u"header/errorecodice"_s);
    if (codice.isEmpty()) {
        return {};
    }
    const QString descrizione = risposta.GetNode(risposta.RootNode(), u"header/erroredescrizione"_s);
    return u"Ulmet ha sollevato il seguente errore:\n\n"_s + codice + u' ' + descrizione;
}

QList<RecordUlmet> RecordRicerca(const clsXML &risposta)
{
    QList<RecordUlmet> record;
    for (const clsXML::Nodo &nodo : risposta.SelectNodeList(risposta.RootNode(), u"dati/record"_s)) {
        const auto campo = [&](const char16_t *nome) { return risposta.GetNode(nodo, QString::fromUtf16(nome)); };
        record.append({campo(u"idcartella"), campo(u"codicefiscale"), campo(u"cognome"), campo(u"nome"),
                       campo(u"indirizzo"), campo(u"comune"), campo(u"provincia"), campo(u"sesso")});
    }
    return record;
}

} // namespace modUlmet
