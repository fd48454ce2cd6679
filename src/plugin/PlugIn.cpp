#include "PlugIn.h"

#include "ConnessioneServer.h"
#include "Module1.h"
#include "PacchettoCartella.h"
#include "clsSincronizza.h"
#include "frmInviaRicevi.h"
#include "frmMDI.h"
#include "modCartelle.h"
#include "modIni.h"
#include "modLog.h"
#include "modStruttura.h"
#include "modUlmetPlugin.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSqlError>
#include <QSqlQuery>

#if defined(Q_OS_UNIX)
#include <dlfcn.h>
#endif

using clinora::Risposte;

namespace {

const QString Prefisso = QStringLiteral("plgLanvera.");

// The folder of this library: the plug-in's files ship beside it.
QString CartellaPlugin()
{
#if defined(Q_OS_UNIX)
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&CartellaPlugin), &info) != 0 && info.dli_fname != nullptr) {
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    }
#endif
    return lanvera::CartellaProgramma();
}

} // namespace

PlugIn::PlugIn(QObject *parent) : QObject(parent)
{
    lanvera::ImpostaCartellaProgramma(CartellaPlugin());
    lanvera::ImpostaFileIni(lanvera::CartellaProgramma() + QStringLiteral("/plgLanvera.ini"));
}

PlugIn::~PlugIn()
{
    if (m_myForm) {
        disconnect(m_myForm, nullptr, this, nullptr);
    }
}

void PlugIn::LeggiVariabili(const QVariantHash &variables)
{
    if (variables.contains(QStringLiteral("clsDB"))) {
        m_stato.db = variables.value(QStringLiteral("clsDB")).value<clinora::ClsDB *>();
    }
    if (variables.contains(QStringLiteral("Risposte"))) {
        m_stato.risposte = variables.value(QStringLiteral("Risposte")).value<clinora::Risposte *>();
    }
}

void PlugIn::InitVariables(QVariantHash &variables)
{
    LeggiVariabili(variables);
    m_stato.disk = variables.value(QStringLiteral("Disk")).toString();
    m_stato.userDisk = variables.value(QStringLiteral("UserDisk")).toString();
    m_stato.commonDisk = variables.value(QStringLiteral("CommonDisk")).toString();
    m_stato.versione = variables.value(QStringLiteral("Versione")).toString();
}

void PlugIn::VerificaStruttura(clinora::ClsDB &db, const QString &versione, const QString &, const QString &,
                               const QString &)
{
    modStruttura::VerificaStruttura(db, versione);
}

bool PlugIn::AutoDiagnosi()
{
    if (!modStruttura::VersioneValida(m_stato.versione)) {
        m_disattivato = true;
        return false;
    }
    QDir().mkpath(m_stato.userDisk + QStringLiteral("/Plugins/plgLanvera/Logs"));
    PacchettoCartella(m_stato.motore)
        .CaricaListaTabelle(lanvera::CartellaProgramma() + QStringLiteral("/Cartella.sql"));
    m_stato.iniHostPresente = lanvera::EsisteFile(lanvera::CartellaProgramma() + QStringLiteral("/../../K47.ini"));
    return true;
}

void PlugIn::SetForm(clinora::Finestra &frm, QVariantHash &variables)
{
    if (m_disattivato) {
        return;
    }
    LeggiVariabili(variables);
    m_idPaziente = variables.value(QStringLiteral("IDPaziente"), m_idPaziente).toInt();
    m_firma = variables.value(QStringLiteral("Firma"), m_firma).toString();
    m_coloreSfondo = variables.value(QStringLiteral("ColorOffice3DFace"), m_coloreSfondo).toInt();

    // The host names its windows; each name stands for one kind of window of the contract.
    const QString nome = frm.Name().toLower();
    if (nome == QLatin1String("frmmain")) {
        m_frmMain = static_cast<clinora::FinestraPrincipale *>(&frm);
        m_stato.principale = m_frmMain;
        connect(m_frmMain, &clinora::FinestraPrincipale::Scaricata, this, [this] {
            m_frmMain.clear();
            m_stato.principale = nullptr;
        });
        m_frmMain->DisabilitaWAN(true);
    } else if (nome == QLatin1String("frmricercapaziente")) {
        m_frmRicerca = static_cast<clinora::FinestraRicerca *>(&frm);
        connect(m_frmRicerca, &clinora::FinestraRicerca::GestioneClick, this, &PlugIn::ApriPannello,
                Qt::UniqueConnection);
        connect(m_frmRicerca, &clinora::FinestraRicerca::CercaSuServerClick, this, &PlugIn::CercaSuServer,
                Qt::UniqueConnection);
        m_stato.satpeAttivo = VerificaSatpe();
    } else if (nome == QLatin1String("frmambulatorio")) {
        auto *cartella = static_cast<clinora::FinestraCartella *>(&frm);
        connect(cartella, &clinora::FinestraCartella::QueryUnload, this, &PlugIn::ChiusuraCartella,
                Qt::UniqueConnection);
    }
}

void PlugIn::Execute(const QString &) {}

bool PlugIn::PluginFunction(QVariantList &param)
{
    if (m_disattivato) {
        return false;
    }
    const QString comando = param.value(0).toString().toLower();
    if (comando == QLatin1String("frmricercapaziente.avanti")) {
        if (param.value(2).toInt() == -1) {
            ScaricaDaRicerca(param);
        }
    } else if (comando == QLatin1String("chiuditutto")) {
        if (m_pannelloAperto && m_myForm) {
            m_myForm->Unload();
        }
        m_idPaziente = 0;
    } else if (comando == QLatin1String("plgmerid.menu") ||
               comando == QLatin1String("frmricercapaziente.commandbars1.execute.11000")) {
        if (m_frmMain) {
            m_frmMain->ChiudiTutto();
        }
    } else if (comando == QLatin1String("replicalocale")) {
        // The host's own replica would fight the network's: it is refused.
        while (param.size() < 2) {
            param.append(QVariant());
        }
        param[1] = true;
        Messaggio(QStringLiteral("La funzione di Repliche Locali è incompatibile con la Lanvera.\r\n"
                                 "Per allineare più postazioni usare la Lanvera facendo clic\r\n"
                                 "sul tasto Gestione della finestra Ricerca Paziente."),
                  Risposte::Icona::Informazione);
    } else if (comando == QLatin1String("frmlocazione.avanti")) {
        m_idLocazione = param.value(2).toInt();
        m_stato.idLocazione = m_idLocazione;
    }
    return true;
}

void PlugIn::ScaricaDaRicerca(QVariantList &param)
{
    while (param.size() < 4) {
        param.append(QVariant());
    }
    param[2] = 0;
    if (!m_frmRicerca) {
        return;
    }
    const QString cella = m_frmRicerca->Lista().Cella(param.value(1).toInt(), 16);
    if (!cella.startsWith(Prefisso)) {
        return;
    }
    m_stato.richiesta.CodiceOperazione = RichiestaOperazione::ScaricaPaziente;
    m_stato.richiesta.ChiavePaziente = cella.mid(Prefisso.size());
    if (!frmInviaRicevi::Esegui(m_stato)) {
        return;
    }
    // The host has switched to the network archive and opens this patient there.
    param[2] = m_stato.richiesta.IDPazienteImportato.toDouble();
    param[3] = false;
}

Risposte::Risposta PlugIn::Messaggio(const QString &testo, Risposte::Icona icona, Risposte::Pulsanti pulsanti,
                                     Risposte::Risposta predefinita)
{
    if (!m_stato.risposte) {
        return predefinita;
    }
    return m_stato.risposte->Messaggio(NomeProdotto(), testo, icona, pulsanti, predefinita);
}

void PlugIn::ScriviLog(const QString &testo, bool errore)
{
    lanvera::ScriviLogArchivio(m_stato.disk, testo, errore, lanvera::TagUser);
}

bool PlugIn::VerificaSatpe()
{
    m_fileSatpe.clear();
    const QString cartella = m_stato.commonDisk + QStringLiteral("/Plugins/plgMerid/Servizi/");
    if (!lanvera::EsisteFile(cartella + QStringLiteral("SATPE_2.xml"))) {
        return false;
    }
    m_fileSatpe = cartella + QStringLiteral("SATPE_1.xml");
    RipristinaSatpe();
    if (m_stato.db && m_stato.db->DB().tables().contains(QStringLiteral("SOLE_Versione"), Qt::CaseInsensitive)) {
        return true;
    }
    m_fileSatpe.clear();
    return false;
}

void PlugIn::ImpostaSatpe(const QString &cf, lanvera::ConnessioneServer &server)
{
    if (m_fileSatpe.isEmpty()) {
        return;
    }
    const QString copia = m_fileSatpe + QStringLiteral(".org");
    if (!lanvera::EsisteFile(copia) && !QFile::rename(m_fileSatpe, copia)) {
        ScriviLog(QStringLiteral("Impostazione SATPE: Errore copia di ") + m_fileSatpe, true);
        return;
    }
    QSqlQuery q(server.database());
    q.prepare(QStringLiteral("SELECT Cognome,Nome,CodiceRegionale,ASLCompleto FROM tblmedici WHERE CF=?"));
    q.addBindValue(cf);
    if (!server.usaDatabaseRete() || !q.exec()) {
        ScriviLog(QStringLiteral("Impostazione SATPE: Errore ") + q.lastError().text(), true);
        return;
    }
    const bool trovato = q.next();
    const auto campo = [&](int i) { return trovato ? q.value(i).toString() : QString(); };
    QFile modello(lanvera::CartellaProgramma() + QStringLiteral("/QUOR_SATPE_1.xml"));
    if (!modello.open(QIODevice::ReadOnly)) {
        ScriviLog(QStringLiteral("Impostazione SATPE: Errore ") + modello.errorString(), true);
        return;
    }
    QString testo = QString::fromLatin1(modello.readAll());
    testo.replace(QStringLiteral("[MedicoTitolare.Cognome]"), campo(0), Qt::CaseInsensitive)
        .replace(QStringLiteral("[MedicoTitolare.Nome]"), campo(1), Qt::CaseInsensitive)
        .replace(QStringLiteral("[MedicoTitolare.Codice_Fiscale]"), cf, Qt::CaseInsensitive)
        .replace(QStringLiteral("[MedicoTitolare.Codice_ASL_Completo]"), campo(3), Qt::CaseInsensitive)
        .replace(QStringLiteral("[MedicoTitolare.Codice_Regionale]"), campo(2), Qt::CaseInsensitive);
    QFile uscita(m_fileSatpe);
    if (!uscita.open(QIODevice::WriteOnly | QIODevice::Truncate) || uscita.write(testo.toLatin1()) < 0) {
        ScriviLog(QStringLiteral("Impostazione SATPE: Errore ") + uscita.errorString(), true);
    }
}

void PlugIn::RipristinaSatpe()
{
    const QString copia = m_fileSatpe + QStringLiteral(".org");
    if (m_fileSatpe.isEmpty() || !lanvera::EsisteFile(copia)) {
        return;
    }
    QFile::remove(m_fileSatpe);
    QFile file(copia);
    if (!file.rename(m_fileSatpe)) {
        ScriviLog(QStringLiteral("Ripristino SATPE: Errore ") + file.errorString(), true);
    }
}

namespace {

// The pictures of the panel's buttons: a letter on a coloured square each.
QIcon Immagine(int numero)
{
    static const char *const lettere[] = {"L", "A", "N", "S", "R", "P", "X"};
    static const QColor colori[] = {QColor(0x4a, 0x6f, 0xa5), QColor(0x2e, 0x8b, 0x57), QColor(0xb2, 0x22, 0x22),
                                    QColor(0x1e, 0x90, 0xff), QColor(0x8a, 0x6d, 0x3b), QColor(0x6a, 0x5a, 0xcd),
                                    QColor(0x80, 0x80, 0x80)};
    QPixmap quadro(24, 24);
    quadro.fill(colori[numero % 7]);
    QPainter p(&quadro);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(15);
    p.setFont(f);
    p.drawText(quadro.rect(), Qt::AlignCenter, QString::fromLatin1(lettere[numero % 7]));
    return QIcon(quadro);
}

} // namespace

void PlugIn::ApriPannello()
{
    if (m_pannelloAperto && m_myForm) {
        m_myForm->SetFocus();
        return;
    }
    if (!m_frmMain) {
        return;
    }
    m_frmMain->ChiudiTutto();
    m_myForm = m_frmMain->OpenChildForm();
    if (!m_myForm) {
        return;
    }
    connect(m_myForm, &clinora::FinestraFiglia::Scaricata, this, &PlugIn::PannelloChiuso);
    m_pannello = new frmMDI(m_stato);
    QPalette sfondo = m_pannello->palette();
    sfondo.setColor(QPalette::Window, QColor::fromRgb(QRgb(m_coloreSfondo)));
    m_pannello->setPalette(sfondo);
    m_myForm->HandleForm(m_pannello);
    m_myForm->ImpostaIcona(Immagine(0));
    m_myForm->ImpostaCaption(QStringLiteral("Lanvera"));
    m_myForm->InitGui(QStringLiteral("cplglanvera"), QStringLiteral("Autorizzazioni"), m_pannello->picPanel());
    CreaBarraPannello();
    m_myForm->Show();
    m_pannelloAperto = true;
}

void PlugIn::CreaBarraPannello()
{
    const struct
    {
        int id;
        const char *caption;
        const char *tooltip;
        bool gruppo;
        int immagine;
    } pulsanti[] = {
        {2, "Autorizza", "Autorizza il Medico allo scarico del paziente", false, 1},
        {3, "Nega", "Nega l'auorizzazione", false, 2},
        {7, "Rimuovi", "Rimuove uno o più pazienti dal server", true, 6},
        {5, "Rileggi", "Rilegge le autorizzazioni dal server", true, 4},
        {6, "Password", "Gestione password di accesso al server", false, 5},
        {1, "Log", "Mostra il log", false, 0},
        {4, "Sincronizza", "Avvia la sincronizzazione", true, 3},
    };
    for (const auto &p : pulsanti) {
        m_myForm->AddToolbarButton(p.id, QString::fromUtf8(p.caption), QString::fromUtf8(p.tooltip), p.gruppo,
                                   Immagine(p.immagine));
    }
}

void PlugIn::PannelloChiuso()
{
    if (m_pannello) {
        m_pannello->QueryUnload();
    }
    m_myForm.clear();
    m_pannello.clear();
    m_pannelloAperto = false;
}

void PlugIn::CercaSuServer()
{
    if (!m_frmRicerca) {
        return;
    }
    const QString testo = m_frmRicerca->TestoCerca();
    if (testo.isEmpty()) {
        return;
    }
    clinora::ListaPazienti &lista = m_frmRicerca->Lista();
    // The doctor column shows once the list holds other doctors' patients.
    if (!lista.ColonnaVisibile(4)) {
        lista.Redraw(false);
        lista.ImpostaLarghezzaColonna(3, lista.LarghezzaColonna(3) / 2);
        lista.ImpostaLarghezzaColonna(4, lista.Width() - lista.LarghezzaColonna(2) - lista.LarghezzaColonna(3));
        lista.ImpostaColonnaVisibile(4, true);
        lista.SetRow(lista.Row());
        lista.Redraw(true);
    }
    m_stato.richiesta.CodiceOperazione = RichiestaOperazione::CercaSuServer;
    m_stato.richiesta.ChiavePaziente = testo;
    if (!frmInviaRicevi::Esegui(m_stato)) {
        return;
    }
    lista.Redraw(false);
    lista.SetRows(1);
    const QDate oggi = QDate::currentDate();
    for (const clsPaziente &p : m_stato.risultatiRicerca) {
        const QStringList campi{QString(),
                                p.Cognome,
                                p.Nome,
                                p.Medico,
                                p.Sesso,
                                p.Indirizzo,
                                p.Citta,
                                p.DataNascita,
                                p.LuogoNascita,
                                QString::number(Module1::EtaDaData(p.DataNascita, oggi)),
                                QString(),
                                p.Tessera,
                                QString(),
                                QString(),
                                QString(),
                                Prefisso + p.KeyPaziente,
                                p.CF};
        lista.AddItem(campi.join(QLatin1Char('\t')));
        lista.ImpostaTagRiga(lista.Rows() - 1, -1);
    }
    if (m_frmRicerca->CercaVisibile() && m_frmRicerca->CercaAbilitato()) {
        m_frmRicerca->FocusCerca();
    }
    const bool trovati = lista.Rows() > 1;
    m_frmRicerca->AbilitaAvanti(trovati);
    if (trovati) {
        lista.SetRow(1);
    }
    lista.Redraw(true);
}

void PlugIn::ChiusuraCartella()
{
    if (!m_stato.db || !m_stato.db->Name().toLower().endsWith(QStringLiteral("clinoraquor.mdb"))) {
        return;
    }
    if (auto rs = m_stato.db->OpenRecordset(
            QStringLiteral("Select Cognome,Nome,CodiceFiscale from tblAnagrafica Where ID=%1").arg(m_idPaziente),
            clinora::ClsDB::SoloAvanti)) {
        if (!rs->Eof()) {
            const QString cognome = rs->Campo(QStringLiteral("Cognome")).toString();
            const QString nome = rs->Campo(QStringLiteral("Nome")).toString();
            const QString chiave =
                clsSincronizza::ChiavePaziente(rs->Campo(QStringLiteral("CodiceFiscale")).toString(), cognome, nome);
            rs->CloseRecordset();
            InviaModifichePaziente(cognome + QLatin1Char(' ') + nome, chiave);
        }
    }
    RipristinaSatpe();
}

void PlugIn::InviaModifichePaziente(const QString &nome, const QString &chiave)
{
    clinora::ClsDB &db = *m_stato.db;
    const QStringList presenti = db.DB().tables();
    QStringList tabelle;
    for (const clsTabelle &t : std::as_const(m_stato.motore.tabelle)) {
        if (!presenti.contains(t.Tabella, Qt::CaseInsensitive) || tabelle.contains(t.Tabella)) {
            continue;
        }
        auto rs = db.OpenRecordset(QStringLiteral("Select ToSend from [%1] Where ToSend<>-1").arg(t.Tabella),
                                   clinora::ClsDB::SoloAvanti);
        if (rs && !rs->Eof()) {
            tabelle << t.Tabella;
        }
    }
    if (tabelle.isEmpty()) {
        return;
    }
    // What went to the server, or to the outbox, is as sent here.
    const auto segnaInviate = [&] {
        for (const QString &t : std::as_const(tabelle)) {
            db.Execute(QStringLiteral("UPDATE [%1] SET ToSend=-1 WHERE ToSend<>-1").arg(t));
        }
    };
    for (;;) {
        m_stato.richiesta.CodiceOperazione = RichiestaOperazione::InviaModifiche;
        m_stato.richiesta.ChiavePaziente = chiave;
        m_stato.richiesta.ElencoTabelle = tabelle.join(QLatin1Char(','));
        m_stato.richiesta.NomePaziente = nome;
        m_stato.richiesta.ModificheCreate.clear();
        m_stato.richiesta.TitolareModifiche.clear();
        if (frmInviaRicevi::Esegui(m_stato)) {
            segnaInviate();
            return;
        }
        // A colleague's clinical notes are never lost: what cannot go now waits in the outbox.
        const auto risposta =
            Messaggio(QStringLiteral("Attenzione: Non è stato possibile inviare le modifiche di ") + nome +
                          QStringLiteral(" al server.\r\nVerificare che la connessione sia stabilita.\r\n"
                                         "NB: Le modifiche non inviate saranno inviate al prossimo accesso al server."),
                      Risposte::Icona::Esclamazione, Risposte::Pulsanti::RiprovaAnnulla, Risposte::Risposta::Riprova);
        if (risposta == Risposte::Risposta::Riprova) {
            continue;
        }
        // A chart of the Ulmet service waits as its chart document, one of the server as its package.
        const QString ulmet = m_stato.richiesta.ChiaveUlmetCorrente;
        const QString destinatario = ulmet.isEmpty() ? chiave : ulmet;
        QString pacchetto = m_stato.richiesta.ModificheCreate;
        QString errore = QStringLiteral("la cartella non può essere letta");
        if (pacchetto.isEmpty() &&
            !(ulmet.isEmpty() ? frmInviaRicevi::CreaModifiche(m_stato, tabelle, db.Name(), pacchetto, errore)
                              : modUlmet::DatiDaInviare(db, pacchetto) && !pacchetto.isEmpty())) {
            ScriviLog(QStringLiteral("Aggiorna Cartella: Errore ") + errore, true);
            return;
        }
        QString titolare = m_stato.richiesta.TitolareModifiche;
        if (titolare.isEmpty()) {
            if (const clsPaziente *p = m_stato.risultatiRicerca.trova(destinatario)) {
                titolare = p->CFMedico;
            }
        }
        if (frmInviaRicevi::Accantona(m_stato.userDisk, destinatario, m_stato.cf, titolare, pacchetto)) {
            segnaInviate();
        } else {
            ScriviLog(QStringLiteral("Aggiorna Cartella: Errore le modifiche non possono essere conservate"), true);
        }
        return;
    }
}
