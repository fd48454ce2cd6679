#include "PlugIn.h"

#include "PacchettoCartella.h"
#include "modCartelle.h"
#include "modLog.h"
#include "modStruttura.h"

#include <QDir>
#include <QFile>

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
}

PlugIn::~PlugIn() = default;

void PlugIn::LeggiVariabili(const QVariantHash &variables)
{
    if (variables.contains(QStringLiteral("clsDB"))) {
        m_db = variables.value(QStringLiteral("clsDB")).value<clinora::ClsDB *>();
    }
    if (variables.contains(QStringLiteral("Risposte"))) {
        m_risposte = variables.value(QStringLiteral("Risposte")).value<clinora::Risposte *>();
    }
}

void PlugIn::InitVariables(QVariantHash &variables)
{
    LeggiVariabili(variables);
    m_disk = variables.value(QStringLiteral("Disk")).toString();
    m_userDisk = variables.value(QStringLiteral("UserDisk")).toString();
    m_commonDisk = variables.value(QStringLiteral("CommonDisk")).toString();
    m_versione = variables.value(QStringLiteral("Versione")).toString();
}

void PlugIn::VerificaStruttura(clinora::ClsDB &db, const QString &versione, const QString &, const QString &,
                               const QString &)
{
    modStruttura::VerificaStruttura(db, versione);
}

bool PlugIn::AutoDiagnosi()
{
    if (!modStruttura::VersioneValida(m_versione)) {
        m_disattivato = true;
        return false;
    }
    QDir().mkpath(m_userDisk + QStringLiteral("/Plugins/plgLanvera/Logs"));
    PacchettoCartella(m_stato).CaricaListaTabelle(lanvera::CartellaProgramma() + QStringLiteral("/Cartella.sql"));
    m_iniHostPresente = lanvera::EsisteFile(lanvera::CartellaProgramma() + QStringLiteral("/../../K47.ini"));
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
        connect(m_frmMain, &clinora::FinestraPrincipale::Scaricata, this, [this] { m_frmMain.clear(); });
        m_frmMain->DisabilitaWAN(true);
    } else if (nome == QLatin1String("frmricercapaziente")) {
        m_frmRicerca = static_cast<clinora::FinestraRicerca *>(&frm);
        m_satpeAttivo = VerificaSatpe();
    } else if (nome == QLatin1String("frmambulatorio")) {
        auto *cartella = static_cast<clinora::FinestraCartella *>(&frm);
        connect(cartella, &clinora::FinestraCartella::QueryUnload, this, [this] {
            if (m_db && m_db->Name().toLower().endsWith(QStringLiteral("clinoraquor.mdb"))) {
                RipristinaSatpe();
            }
        });
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
    const QString chiave = m_frmRicerca->Lista().Cella(param.value(1).toInt(), 16);
    if (!chiave.startsWith(Prefisso)) {
        return;
    }
    // The download of a colleague's chart comes with the chart exchange.
}

Risposte::Risposta PlugIn::Messaggio(const QString &testo, Risposte::Icona icona, Risposte::Pulsanti pulsanti,
                                     Risposte::Risposta predefinita)
{
    if (!m_risposte) {
        return predefinita;
    }
    return m_risposte->Messaggio(NomeProdotto(), testo, icona, pulsanti, predefinita);
}

void PlugIn::ScriviLog(const QString &testo, bool errore)
{
    lanvera::ScriviLogArchivio(m_disk, testo, errore, lanvera::TagUser);
}

bool PlugIn::VerificaSatpe()
{
    m_fileSatpe.clear();
    const QString cartella = m_commonDisk + QStringLiteral("/Plugins/plgMerid/Servizi/");
    if (!lanvera::EsisteFile(cartella + QStringLiteral("SATPE_2.xml"))) {
        return false;
    }
    m_fileSatpe = cartella + QStringLiteral("SATPE_1.xml");
    RipristinaSatpe();
    if (m_db && m_db->DB().tables().contains(QStringLiteral("SOLE_Versione"), Qt::CaseInsensitive)) {
        return true;
    }
    m_fileSatpe.clear();
    return false;
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
