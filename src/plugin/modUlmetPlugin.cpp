#include "modUlmetPlugin.h"

#include "Database.h"
#include "PacchettoCartella.h"
#include "PlugIn.h"
#include "StatoPlugin.h"
#include "clsBase64.h"
#include "clsXML.h"
#include "frmInviaRicevi.h"
#include "modCartelle.h"
#include "modClinora.h"
#include "modIni.h"
#include "modUlmetEsporta.h"
#include "modUlmetImporta.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

using clinora::Risposte;

namespace modUlmet {

namespace {

const QString PrefissoChiave = QStringLiteral("Ulmet.");

IntestazioneUlmet intestazione(const StatoPlugin &stato, const QString &cfDestinazione)
{
    return {stato.cf.trimmed().toUpper(), stato.password, cfDestinazione};
}

Annullamento annullamento(frmInviaRicevi *finestra)
{
    if (!finestra) {
        return {};
    }
    return [finestra] { return finestra->Annullato(); };
}

// The work files of a download, beside the network archive in its owner-only folder.
struct FileLavoro
{
    QString cartella = QFileInfo(frmInviaRicevi::ArchivioRete()).absolutePath();
    QString dati = cartella + QStringLiteral("/Dati.xml");
    QString zip = cartella + QStringLiteral("/Cartella.zip");
    QString b64 = cartella + QStringLiteral("/Cartella.b64");
    QString archivio = frmInviaRicevi::ArchivioRete();

    void cancellaTemporanei() const
    {
        for (const QString &f : {dati, zip, b64}) {
            QFile::remove(f);
        }
    }
    void cancellaTutti() const
    {
        cancellaTemporanei();
        QFile::remove(archivio);
    }
};

} // namespace

ImpostazioniUlmet ImpostazioniDaIni()
{
    ImpostazioniUlmet i;
    i.host = lanvera::LeggiIni(QStringLiteral("Setup"), QStringLiteral("Host"));
    i.porta = lanvera::LeggiIni(QStringLiteral("Setup"), QStringLiteral("PortUlmet")).trimmed();
    bool ok = false;
    const int secondi = lanvera::LeggiIni(QStringLiteral("Setup"), QStringLiteral("TimeoutUlmet")).toInt(&ok);
    if (ok && secondi > 0) {
        i.timeout = secondi;
    }
    return i;
}

void MostraErroreUlmet(StatoPlugin &stato, const clsXML &risposta)
{
    const QString testo = TestoErroreUlmet(risposta);
    if (!testo.isEmpty() && stato.risposte) {
        stato.risposte->Messaggio(PlugIn::NomeProdotto(), testo, Risposte::Icona::Esclamazione, Risposte::Pulsanti::Ok,
                                  Risposte::Risposta::Ok);
    }
}

bool CercaPazienteUlmet(StatoPlugin &stato, frmInviaRicevi &finestra, const QString &cognome, const QString &cfMedico)
{
    lanvera::ConnessioneServer &server = finestra.server();
    if (!server.usaDatabaseRete()) {
        return false;
    }
    QSqlQuery medici(server.database());
    medici.setForwardOnly(true);
    medici.prepare(QStringLiteral("SELECT Cognome, Nome, CF, Ulmet FROM tblmedici WHERE (IDGruppo=?) AND "
                                  "(Ulmet<>'') AND (Sospeso=0) AND (CF=?)"));
    medici.addBindValue(stato.idGruppo);
    medici.addBindValue(cfMedico);
    if (!medici.exec()) {
        return false;
    }
    // The rows first: the requests below let window events run.
    struct Medico
    {
        QString cf;
        QString nome;
    };
    QList<Medico> elenco;
    while (medici.next()) {
        elenco.append(
            {medici.value(2).toString(), medici.value(0).toString() + QLatin1Char(' ') + medici.value(1).toString()});
    }
    medici.finish();
    for (const Medico &m : std::as_const(elenco)) {
        if (finestra.Annullato()) {
            break;
        }
        // A doctor never asks his own Ulmet archive.
        if (m.cf.toUpper() == stato.cf.toUpper()) {
            continue;
        }
        const QString risposta = InviaRichiestaUlmet(RichiestaCercaPaziente(intestazione(stato, m.cf), cognome),
                                                     ImpostazioniDaIni(), annullamento(&finestra));
        clsXML xml;
        if (risposta.isEmpty() || !xml.LoadXML(risposta)) {
            continue;
        }
        if (EsitoKO(xml)) {
            MostraErroreUlmet(stato, xml);
            continue;
        }
        if (!EsitoOK(xml)) {
            continue;
        }
        for (const RecordUlmet &r : RecordRicerca(xml)) {
            clsPaziente p;
            p.ID = 0;
            p.KeyPaziente = PrefissoChiave + r.idCartella;
            p.CF = r.codiceFiscale;
            p.Cognome = r.cognome;
            p.Nome = r.nome;
            p.Indirizzo = r.indirizzo;
            p.Citta = r.comune;
            p.Provincia = r.provincia;
            p.Sesso = r.sesso;
            p.DataNascita = DataNascitaDaCF(r.codiceFiscale);
            p.CFMedico = m.cf;
            p.Autorizzazioni = QString(255, QLatin1Char('1'));
            p.IDDatabase = 0;
            p.Medico = m.nome;
            if (!stato.risultatiRicerca.aggiungi(p)) {
                return false;
            }
            QApplication::processEvents();
        }
    }
    return true;
}

bool CaricaPazienteUlmet(StatoPlugin &stato, frmInviaRicevi &finestra, const clsPaziente &paziente, QString &errore)
{
    const QString operazione = QStringLiteral("Scarica paziente dal server Ulmet: ");
    const QString nome = paziente.Cognome + QLatin1Char(' ') + paziente.Nome;
    finestra.Messaggio(QStringLiteral("Scarico cartella di ") + nome);
    const QString risposta =
        InviaRichiestaUlmet(RichiestaCaricaPaziente(intestazione(stato, paziente.CFMedico),
                                                    paziente.KeyPaziente.mid(PrefissoChiave.size())),
                            ImpostazioniDaIni(), annullamento(&finestra));
    clsXML xml;
    if (risposta.isEmpty() || !xml.LoadXML(risposta)) {
        return false;
    }
    if (EsitoKO(xml)) {
        MostraErroreUlmet(stato, xml);
        return false;
    }
    if (!EsitoOK(xml)) {
        return false;
    }
    finestra.Messaggio(QStringLiteral("Apertura di ") + nome);

    // The files hold patient data: an owner-only folder, and names planted there are replaced.
    const FileLavoro file;
    if (!lanvera::PreparaCartellaPrivata(file.cartella, &errore)) {
        errore = operazione + QStringLiteral("Errore ") + errore;
        return false;
    }
    file.cancellaTutti();
    const auto fallisci = [&](const QString &testo) {
        errore = operazione + testo;
        file.cancellaTutti();
        return false;
    };
    {
        QFile b64(file.b64);
        if (!b64.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            b64.write(xml.GetNode(xml.RootNode(), QStringLiteral("dati")).toLatin1()) < 0 || !b64.flush()) {
            return fallisci(QStringLiteral("Errore B64"));
        }
    }
    // No text, or text that decodes to nothing, is no chart either.
    if (!clsBase64().DecodeFile(file.b64, file.zip) || QFileInfo(file.zip).size() == 0) {
        return fallisci(QStringLiteral("Errore B64"));
    }
    const int codice = PacchettoCartella::EstraiVoce(file.zip, QStringLiteral("Dati.xml"), file.dati,
                                                     PacchettoCartella::LimiteEspansioneStandard);
    if (codice != PacchettoCartella::UnzipRiuscito) {
        return fallisci(QStringLiteral("Errore UNZIP ") + QString::number(codice));
    }
    if (!QFile::copy(lanvera::CartellaProgramma() + QStringLiteral("/ClinoraTemp.mdb"), file.archivio)) {
        return fallisci(QStringLiteral("Errore verifica struttura"));
    }
    QFile::setPermissions(file.archivio, QFile::ReadOwner | QFile::WriteOwner);
    QString percorso = file.archivio;
    QString tabelle = frmInviaRicevi::TabelleDelMedico();
    if (!stato.principale || !stato.principale->AggiornaDatabase(percorso, tabelle)) {
        return fallisci(QStringLiteral("Errore verifica struttura"));
    }
    lanvera::dao::Database rete;
    clsXML dati;
    if (!rete.apri(file.archivio) || !dati.LoadFileXML(file.dati) || !stato.db) {
        rete.chiudi();
        return fallisci(QStringLiteral("Errore apertura dati"));
    }
    modClinora::ContestoClinora contesto(rete, *stato.db, stato.idLocazione);
    const qint32 id = modUlmetImporta::ImportaCartella(contesto, dati);
    const bool segnato =
        id != 0 && rete.esegui(QStringLiteral("INSERT INTO arcItems ([Key], Item) VALUES ('QUOR.ChiavePaziente', ?), "
                                              "('QUOR.CFMedicoTitolare', ?)"),
                               {paziente.KeyPaziente, paziente.CFMedico});
    rete.chiudi();
    if (!segnato) {
        errore = contesto.MessaggioErrore.isEmpty() ? QString() : operazione + contesto.MessaggioErrore;
        file.cancellaTutti();
        return false;
    }
    stato.richiesta.IDPazienteImportato = QString::number(id);
    stato.richiesta.ArchivioRete = file.archivio;
    file.cancellaTemporanei();
    return !finestra.Annullato();
}

bool DatiDaInviare(clinora::ClsDB &db, QString &dati)
{
    dati.clear();
    QString documento;
    if (!CreaDatiCartella(db, documento)) {
        // No text at all is a chart that could not be read; an empty document, nothing changed.
        return !documento.isEmpty();
    }
    // What the envelope carries is the root element: the declaration line is left out, whatever
    // its length.
    const qsizetype fine = documento.startsWith(QLatin1String("<?xml")) ? documento.indexOf(QLatin1String("?>")) : -1;
    dati = fine < 0 ? documento : documento.mid(fine + 2).trimmed();
    return true;
}

bool InviaDatiUlmet(StatoPlugin &stato, frmInviaRicevi *finestra, const QString &chiave, const QString &cfMedico,
                    const QString &dati)
{
    const QString risposta = InviaRichiestaUlmet(
        RichiestaSalvaPaziente(intestazione(stato, cfMedico), QString(chiave).mid(PrefissoChiave.size()), dati),
        ImpostazioniDaIni(), annullamento(finestra));
    clsXML xml;
    if (risposta.isEmpty() || !xml.LoadXML(risposta)) {
        return false;
    }
    if (EsitoOK(xml)) {
        return true;
    }
    MostraErroreUlmet(stato, xml);
    return false;
}

bool SalvaPazienteUlmet(StatoPlugin &stato, frmInviaRicevi &finestra, const QString &chiave, const QString &cfMedico,
                        QString &errore)
{
    QString dati;
    if (!stato.db || !DatiDaInviare(*stato.db, dati)) {
        // Reported, never taken for "nothing to send": the rows would count as sent and be lost.
        errore = QStringLiteral("Invio modifiche: Errore la cartella non può essere letta");
        return false;
    }
    if (dati.isEmpty()) {
        return true;
    }
    stato.richiesta.ModificheCreate = dati;
    stato.richiesta.TitolareModifiche = cfMedico;
    return InviaDatiUlmet(stato, &finestra, chiave, cfMedico, dati);
}

} // namespace modUlmet
