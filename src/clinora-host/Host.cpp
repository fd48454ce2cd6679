#include "Host.h"

#include "Finestre.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QMessageBox>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <utility>

using clinora::Risposte;

namespace {

QString nomeIcona(Risposte::Icona icona)
{
    switch (icona) {
    case Risposte::Icona::Informazione:
        return QStringLiteral("informazione");
    case Risposte::Icona::Domanda:
        return QStringLiteral("domanda");
    case Risposte::Icona::Esclamazione:
        return QStringLiteral("attenzione");
    case Risposte::Icona::Critico:
        return QStringLiteral("errore");
    }
    return {};
}

} // namespace

Risposte::Risposta RisposteHost::Messaggio(const QString &titolo, const QString &testo, Icona icona, Pulsanti pulsanti,
                                           Risposta predefinita)
{
    if (m_scrivi) {
        QString riga = testo;
        riga.replace(QStringLiteral("\r\n"), QStringLiteral("\\n")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        m_scrivi(QStringLiteral("MESSAGGIO %1: %2").arg(nomeIcona(icona), riga));
        if (pulsanti == Pulsanti::Ok) {
            return Risposta::Ok;
        }
        if (m_risposte.empty()) {
            if (m_senzaRisposta.isEmpty()) {
                m_senzaRisposta = QStringLiteral("domanda senza risposta: ") + riga;
            }
            return predefinita;
        }
        const Risposta r = m_risposte.front();
        m_risposte.pop_front();
        if (pulsanti == Pulsanti::RiprovaAnnulla) {
            return r == Risposta::Si ? Risposta::Riprova : Risposta::Annulla;
        }
        return r;
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(titolo);
    box.setText(testo);
    switch (icona) {
    case Icona::Informazione:
        box.setIcon(QMessageBox::Information);
        break;
    case Icona::Domanda:
        box.setIcon(QMessageBox::Question);
        break;
    case Icona::Esclamazione:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icona::Critico:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (pulsanti) {
    case Pulsanti::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Pulsanti::SiNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(predefinita == Risposta::Si ? QMessageBox::Yes : QMessageBox::No);
        break;
    case Pulsanti::RiprovaAnnulla:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setDefaultButton(predefinita == Risposta::Riprova ? QMessageBox::Retry : QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Risposta::Si;
    case QMessageBox::No:
        return Risposta::No;
    case QMessageBox::Retry:
        return Risposta::Riprova;
    case QMessageBox::Cancel:
        return Risposta::Annulla;
    default:
        return Risposta::Ok;
    }
}

bool RisposteHost::Dialogo(const QString &nome, QVariantHash &valori)
{
    if (!m_scrivi) {
        return false; // the plug-in shows its own dialog to the user
    }
    if (nome == QLatin1String("log")) {
        // The script reads a log as its last lines.
        QFile file(valori.value(QStringLiteral("file")).toString());
        const QStringList righe =
            file.open(QIODevice::ReadOnly)
                ? QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                : QStringList();
        m_scrivi(QStringLiteral("LOG %1 righe").arg(righe.size()));
        for (const QString &riga : righe.mid(qMax(0, int(righe.size()) - 3))) {
            m_scrivi(QStringLiteral("LOG ") + riga);
        }
        return true;
    }
    for (auto it = m_dialoghi.begin(); it != m_dialoghi.end(); ++it) {
        if (it->first == nome) {
            valori = it->second;
            m_dialoghi.erase(it);
            return true;
        }
    }
    if (m_senzaRisposta.isEmpty()) {
        m_senzaRisposta = QStringLiteral("finestra senza risposta: ") + nome;
    }
    valori.insert(QStringLiteral("annulla"), true);
    return true;
}

Host::Host(const Opzioni &opzioni, QObject *parent) : QObject(parent), m_opzioni(opzioni)
{
    m_main = std::make_unique<frmMain>(m_archivio);
    m_main->finestraAperta = [this](clinora::Finestra &f) { finestraAperta(f); };
    m_main->comandoMenu = [this](const QVariantList &param) {
        QVariantList p = param;
        comando(p);
    };
    m_main->cambiaArchivio = [this](const QString &percorso) {
        if (std::exchange(m_rifiutaCambio, false)) {
            scriviLog(QStringLiteral("Cambio di archivio rifiutato: ") + percorso);
            return false;
        }
        if (apri(percorso, false)) {
            return true;
        }
        scriviLog(m_errore);
        return false;
    };
    m_main->aggiornaArchivio = [this](const QString &percorso, const QString &tabelle) {
        return aggiornaDatabase(percorso, tabelle);
    };
    connect(m_main->ricerca(), &frmRicercaPaziente::Avanti, this, [this](int riga, int id) {
        QVariantList param{QStringLiteral("frmricercapaziente.avanti"), riga, id, true};
        comando(param);
        const int aperto = param.value(2).toInt();
        if (aperto > 0) {
            m_main->ApriCartella(aperto);
        }
    });
}

Host::~Host()
{
    m_main.reset();
    if (m_loader.isLoaded()) {
        m_plugin = nullptr;
        m_loader.unload();
    }
}

QString Host::PluginPredefinito()
{
    const QString cartella = QCoreApplication::applicationDirPath();
    const QString sotto = cartella + QStringLiteral("/Plugins/plgLanvera/libplgLanvera.so");
    return QFileInfo::exists(sotto) ? sotto : cartella + QStringLiteral("/libplgLanvera.so");
}

QString Host::UserDisk()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Clinora/User");
}

QString Host::CommonDisk()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Clinora/Common");
}

QVariantHash Host::variabili() const
{
    const QString archivio = m_archivio.Name();
    QVariantHash v;
    v.insert(QStringLiteral("clsDB"), QVariant::fromValue<clinora::ClsDB *>(const_cast<ArchivioHost *>(&m_archivio)));
    v.insert(QStringLiteral("Risposte"),
             QVariant::fromValue<clinora::Risposte *>(const_cast<RisposteHost *>(&m_risposte)));
    v.insert(QStringLiteral("Disk"), archivio.isEmpty() ? QString() : QFileInfo(archivio).absolutePath());
    v.insert(QStringLiteral("UserDisk"), UserDisk());
    v.insert(QStringLiteral("CommonDisk"), CommonDisk());
    v.insert(QStringLiteral("Versione"), m_opzioni.versione);
    v.insert(QStringLiteral("IDPaziente"), 0);
    v.insert(QStringLiteral("Firma"), QString());
    v.insert(QStringLiteral("ColorOffice3DFace"), 0xF0F0F0);
    return v;
}

bool Host::caricaPlugin()
{
    const QString file = m_opzioni.plugin.isEmpty() ? PluginPredefinito() : m_opzioni.plugin;
    m_loader.setFileName(file);
    const QString iid = m_loader.metaData().value(QStringLiteral("IID")).toString();
    if (iid.isEmpty()) {
        m_errore = QStringLiteral("Impossibile caricare il plug-in %1: %2").arg(file, m_loader.errorString());
        return false;
    }
    if (iid != QLatin1String(CLINORA_PLUGIN_IID)) {
        m_errore = QStringLiteral("Il plug-in %1 è di un'altra versione (%2): questa Clinora accetta %3")
                       .arg(file, iid, QLatin1String(CLINORA_PLUGIN_IID));
        return false;
    }
    m_plugin = qobject_cast<clinora::PlugIn *>(m_loader.instance());
    if (!m_plugin) {
        m_errore = QStringLiteral("Impossibile caricare il plug-in %1: %2").arg(file, m_loader.errorString());
        return false;
    }
    QDir().mkpath(UserDisk());
    QDir().mkpath(CommonDisk());
    QVariantHash v = variabili();
    m_plugin->InitVariables(v);
    m_plugin->AutoDiagnosi();
    finestraAperta(m_main->finestra());
    finestraAperta(m_main->ricerca()->finestra());
    return true;
}

void Host::finestraAperta(clinora::Finestra &finestra)
{
    if (m_plugin) {
        QVariantHash v = variabili();
        if (m_main->cartella()) {
            v.insert(QStringLiteral("IDPaziente"), m_main->cartella()->idPaziente());
        }
        m_plugin->SetForm(finestra, v);
    }
}

bool Host::apri(const QString &percorso, bool proprio)
{
    m_main->ChiudiTutto();
    m_archivio.chiudi();
    if (!m_archivio.apri(percorso)) {
        m_errore = QStringLiteral("Impossibile aprire l'archivio %1: %2").arg(percorso, m_archivio.UltimoErrore());
        return false;
    }
    if (m_plugin) {
        const QVariantHash v = variabili();
        QVariantHash copia = v;
        m_plugin->InitVariables(copia);
        m_plugin->VerificaStruttura(m_archivio, m_opzioni.versione, v.value(QStringLiteral("Disk")).toString(),
                                    UserDisk(), CommonDisk());
    }
    if (proprio) {
        m_proprio = percorso;
    }
    m_main->setWindowTitle(QStringLiteral("Clinora - ") + percorso);
    return true;
}

bool Host::comando(QVariantList &param)
{
    return m_plugin && m_plugin->PluginFunction(param);
}

void Host::scriviLog(const QString &testo)
{
    QDir().mkpath(UserDisk());
    QFile log(UserDisk() + QStringLiteral("/Clinora.log"));
    if (log.open(QIODevice::Append)) {
        log.write((QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh.mm.ss ")) + testo +
                   QStringLiteral("\r\n"))
                      .toUtf8());
    }
}

namespace {

// The tables the archive lacks, as the host's own archive defines them, with their indexes.
bool creaTabelleMancanti(lanvera::dao::Database &origine, lanvera::dao::Database &destinazione, QString &errore)
{
    QSqlQuery schema(origine.connessione());
    if (!schema.exec(QStringLiteral("SELECT type, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL AND "
                                    "name NOT LIKE 'sqlite_%' ORDER BY type DESC"))) {
        errore = schema.lastError().text();
        return false;
    }
    const QStringList presenti = destinazione.tabelle();
    while (schema.next()) {
        const QString tabella = schema.value(1).toString();
        if (!presenti.contains(tabella, Qt::CaseInsensitive) && !destinazione.esegui(schema.value(2).toString())) {
            errore = tabella + QStringLiteral(": ") + destinazione.ultimoErrore().testo();
            return false;
        }
    }
    return true;
}

// The listed tables filled from the attached host archive "lv_host", in the columns both have:
// the host's archive may be of another release than the template.
bool copiaTabelle(lanvera::dao::Database &origine, lanvera::dao::Database &destinazione, const QString &tabelle,
                  QString &errore)
{
    for (const QString &voce : tabelle.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString tabella = voce.trimmed();
        const QStringList daCopiare = origine.campi(tabella);
        if (daCopiare.isEmpty()) {
            continue;
        }
        const QStringList qui = destinazione.campi(tabella);
        QStringList comuni;
        for (const QString &c : daCopiare) {
            if (qui.contains(c, Qt::CaseInsensitive)) {
                comuni << lanvera::dao::Parentesi(c);
            }
        }
        const QString t = lanvera::dao::Parentesi(tabella);
        if (!destinazione.esegui(QStringLiteral("DELETE FROM main.%1").arg(t)) ||
            (!comuni.isEmpty() &&
             !destinazione.esegui(QStringLiteral("INSERT INTO main.%1 (%2) SELECT %2 FROM lv_host.%1")
                                      .arg(t, comuni.join(QLatin1Char(',')))))) {
            errore = tabella + QStringLiteral(": ") + destinazione.ultimoErrore().testo();
            return false;
        }
    }
    return true;
}

} // namespace

bool Host::aggiornaDatabase(const QString &percorso, const QString &tabelle)
{
    auto fallisci = [this](const QString &testo) {
        scriviLog(QStringLiteral("Aggiorna database: ") + testo);
        return false;
    };
    // The source is the doctor's own archive, also while the host has a network archive open.
    lanvera::dao::Database origine;
    if (m_proprio.isEmpty() || !origine.apri(m_proprio, true)) {
        return fallisci(QStringLiteral("archivio proprio non disponibile: ") + origine.ultimoErrore().testo());
    }
    lanvera::dao::Database destinazione;
    if (!destinazione.apri(percorso)) {
        return fallisci(destinazione.ultimoErrore().testo());
    }
    // The host's own archive is only read: attached as it is, its settings untouched.
    QSqlQuery collega(destinazione.connessione());
    collega.prepare(QStringLiteral("ATTACH DATABASE ? AS lv_host"));
    collega.addBindValue(m_proprio);
    if (!collega.exec()) {
        return fallisci(collega.lastError().text());
    }
    // All of it in one transaction: the archive is complete or untouched, and it is written once.
    QString errore;
    const bool ok = destinazione.iniziaTransazione() && creaTabelleMancanti(origine, destinazione, errore) &&
                    copiaTabelle(origine, destinazione, tabelle, errore) && destinazione.confermaTransazione();
    if (!ok) {
        fallisci(errore.isEmpty() ? destinazione.ultimoErrore().testo() : errore);
        if (destinazione.inTransazione()) {
            destinazione.annullaTransazione();
        }
    }
    QSqlQuery(destinazione.connessione()).exec(QStringLiteral("DETACH DATABASE lv_host"));
    return ok;
}
