#include "ServizioUlmet.h"

#include "ArchivioHost.h"
#include "CartellaUlmet.h"
#include "Recordset.h"
#include "clsXML.h"
#include "modClinora.h"
#include "modUlmet.h"
#include "modUlmetImporta.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <limits>
#include <sstream>

using namespace Qt::StringLiterals;
using lanvera::dao::ComeTesto;
using lanvera::dao::Recordset;

namespace {

// Surname search text -> LIKE pattern: a prefix, "*" any run of characters, the LIKE
// wildcards of the text taken literally.
QString ModelloCognome(const QString &testo)
{
    QString modello;
    for (const QChar c : testo) {
        if (c == u'*') {
            modello += u'%';
        } else {
            if (c == u'%' || c == u'_' || c == u'\\') {
                modello += u'\\';
            }
            modello += c;
        }
    }
    return modello + u'%';
}

} // namespace

QByteArray ServizioUlmet::Rispondi(const QByteArray &corpo)
{
    clsXML richiesta;
    const bool letta = richiesta.LoadXML(clsXML::Decodifica(corpo));
    const clsXML::Nodo radice = richiesta.RootNode();
    const QString cfRichiedente = richiesta.GetNode(radice, u"header/cfrichiedente"_s).trimmed().toUpper();
    const QString cfDestinazione = richiesta.GetNode(radice, u"header/cfdestinazione"_s).trimmed().toUpper();
    const QString metodo = richiesta.GetNode(radice, u"header/metodo"_s).trimmed();

    Esito esito;
    if (!letta || !richiesta.ExistNode(radice, u"header"_s)) {
        esito = {ErroreRichiesta, u"Richiesta non valida"_s, {}};
    } else if (const auto password = m_password.constFind(cfRichiedente);
               password != m_password.cend() &&
               richiesta.GetNode(radice, u"header/pwrichiedente"_s) != password.value()) {
        esito = {ErrorePassword, u"Password errata per il medico "_s + cfRichiedente, {}};
    } else {
        esito = Esegui(richiesta, metodo, cfDestinazione);
    }

    if (m_registro) {
        m_registro(QDateTime::currentDateTime().toString(u"yyyy-MM-dd hh:mm:ss"_s) + u' ' +
                   (cfRichiedente.isEmpty() ? u"-"_s : cfRichiedente) + u' ' + (metodo.isEmpty() ? u"-"_s : metodo) +
                   u' ' + (cfDestinazione.isEmpty() ? u"-"_s : cfDestinazione) + u' ' +
                   (esito.codice.isEmpty() ? u"OK"_s : u"KO "_s + esito.codice));
    }

    QString risposta = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><ulmet><header>"_s;
    if (esito.codice.isEmpty()) {
        risposta += u"<esito>OK</esito>";
    } else {
        risposta += u"<esito>KO</esito><errorecodice>" + modUlmet::TestoXML(esito.codice) +
                    u"</errorecodice><erroredescrizione>" + modUlmet::TestoXML(esito.descrizione) +
                    u"</erroredescrizione>";
    }
    risposta += u"</header><dati>" + esito.dati + u"</dati></ulmet>";
    return risposta.toUtf8();
}

ServizioUlmet::Esito ServizioUlmet::Esegui(const clsXML &richiesta, const QString &metodo,
                                           const QString &cfDestinazione)
{
    const bool cerca = metodo == u"cercapaziente";
    const bool carica = metodo == u"caricapaziente";
    const bool salva = metodo == u"salvapaziente";
    if (!cerca && !carica && !salva) {
        return {ErroreMetodo, u"Metodo sconosciuto: "_s + metodo, {}};
    }
    const auto percorso = m_archivi.constFind(cfDestinazione);
    if (percorso == m_archivi.cend()) {
        return {ErroreMedico, u"Medico sconosciuto: "_s + cfDestinazione, {}};
    }
    ArchivioHost archivio;
    if (!archivio.apri(percorso.value())) {
        return {ErroreArchivio, u"Archivio non disponibile: "_s + archivio.UltimoErrore(), {}};
    }

    const clsXML::Nodo radice = richiesta.RootNode();
    if (cerca) {
        return CercaPaziente(archivio, richiesta.GetNode(radice, u"header/parametri/cognome"_s));
    }

    // The chart identifier is the patient's number in the archive.
    bool numero = false;
    const qint64 idPaziente = richiesta.GetNode(radice, u"header/parametri/idcartella"_s).trimmed().toLongLong(&numero);
    bool esiste = false;
    if (numero && idPaziente > 0 && idPaziente <= std::numeric_limits<qint32>::max()) {
        Recordset rs(archivio.database());
        if (!rs.apri(u"SELECT ID FROM tblAnagrafica WHERE ID=?"_s, Recordset::Tipo::SoloAvanti, {idPaziente})) {
            return {ErroreArchivio, u"Lettura dell'archivio: "_s + rs.ultimoErrore().testo(), {}};
        }
        esiste = !rs.eof();
    }
    if (!esiste) {
        return {ErroreCartella,
                u"Cartella sconosciuta: "_s + richiesta.GetNode(radice, u"header/parametri/idcartella"_s),
                {}};
    }
    return carica ? CaricaPaziente(archivio, idPaziente)
                  : SalvaPaziente(archivio, idPaziente, richiesta, cfDestinazione);
}

ServizioUlmet::Esito ServizioUlmet::CercaPaziente(ArchivioHost &archivio, const QString &cognome)
{
    Recordset rs(archivio.database());
    if (!rs.apri(u"SELECT ID, CodiceFiscale, Cognome, Nome, Indirizzo, [Città], Provincia, Sesso FROM tblAnagrafica "
                 "WHERE Cognome LIKE ? ESCAPE '\\' ORDER BY Cognome, Nome, ID"_s,
                 Recordset::Tipo::SoloAvanti, {ModelloCognome(cognome.trimmed())})) {
        return {ErroreArchivio, u"Lettura dell'archivio: "_s + rs.ultimoErrore().testo(), {}};
    }
    static const std::pair<const char16_t *, const char16_t *> campi[] = {
        {u"idcartella", u"ID"},       {u"codicefiscale", u"CodiceFiscale"},
        {u"cognome", u"Cognome"},     {u"nome", u"Nome"},
        {u"indirizzo", u"Indirizzo"}, {u"comune", u"Città"},
        {u"provincia", u"Provincia"}, {u"sesso", u"Sesso"},
    };
    Esito esito;
    for (; !rs.eof(); rs.muoviProssimo()) {
        esito.dati += u"<record>";
        for (const auto &[elemento, colonna] : campi) {
            const QString nome = QString::fromUtf16(elemento);
            esito.dati += u'<' + nome + u'>' + modUlmet::TestoXML(ComeTesto(rs.valore(QString::fromUtf16(colonna)))) +
                          u"</" + nome + u'>';
        }
        esito.dati += u"</record>";
    }
    return esito;
}

ServizioUlmet::Esito ServizioUlmet::CaricaPaziente(ArchivioHost &archivio, qint64 idPaziente)
{
    clsXML documento;
    QString errore;
    QByteArray zip;
    if (!CartellaUlmet::CreaDocumento(archivio.database(), idPaziente, documento, errore) ||
        !CartellaUlmet::Comprimi(documento.XMLLatin1(), zip, errore)) {
        return {ErroreArchivio, u"Preparazione della cartella: "_s + errore, {}};
    }
    return {{}, {}, QString::fromLatin1(zip.toBase64())};
}

ServizioUlmet::Esito ServizioUlmet::SalvaPaziente(ArchivioHost &archivio, qint64 idPaziente, const clsXML &richiesta,
                                                  const QString &cfDestinazione)
{
    const clsXML::Nodo dati = richiesta.SelectNode(richiesta.RootNode(), u"dati"_s);
    if (!dati) {
        return {ErroreDati, u"La richiesta non contiene la cartella"_s, {}};
    }
    // The chart document as a document of its own: kept as received, then merged.
    std::ostringstream testo;
    dati.print(testo, "", pugi::format_raw);
    clsXML documento;
    if (!documento.LoadXML(QString::fromStdString(testo.str()))) {
        return {ErroreDati, u"Cartella non leggibile: "_s + documento.LastError(), {}};
    }

    const QString cartella =
        m_ricevuti.isEmpty() ? QFileInfo(archivio.Name()).absoluteDir().filePath(u"ricevuti"_s) : m_ricevuti;
    const QString file =
        QDir(cartella).filePath(cfDestinazione + u'_' + QString::number(idPaziente) + u'_' +
                                QDateTime::currentDateTime().toString(u"yyyyMMdd-hhmmss-zzz"_s) + u".xml"_s);
    if (!QDir().mkpath(cartella) || !documento.SaveFile(file)) {
        return {ErroreArchivio, u"Impossibile conservare la cartella ricevuta in "_s + cartella, {}};
    }

    // All or nothing: a refused chart leaves the archive as it was, so that sending it again
    // cannot write its rows twice. The archive serves its own catalogues.
    lanvera::dao::Database &db = archivio.database();
    modClinora::ContestoClinora contesto(db, archivio);
    if (!db.iniziaTransazione()) {
        return {ErroreArchivio, u"Scrittura dell'archivio: "_s + db.ultimoErrore().testo(), {}};
    }
    if (!modUlmetImporta::ImportaSezioni(contesto, qint32(idPaziente), documento)) {
        db.annullaTransazione();
        return {ErroreArchivio, u"Scrittura dell'archivio: "_s + contesto.MessaggioErrore, {}};
    }
    if (!db.confermaTransazione()) {
        return {ErroreArchivio, u"Scrittura dell'archivio: "_s + db.ultimoErrore().testo(), {}};
    }
    return {};
}
