#include "frmMDI.h"

#include "PlugIn.h"
#include "PromptPlugin.h"
#include "StatoPlugin.h"
#include "frmInviaRicevi.h"
#include "frmLog.h"
#include "frmRimuovi.h"
#include "modCartelle.h"

#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTableView>
#include <QVBoxLayout>

using clinora::Risposte;

// --- the model -----------------------------------------------------------------------------------

ModelloAutorizzazioni::ModelloAutorizzazioni(StatoPlugin &stato, QObject *parent)
    : QAbstractTableModel(parent), m_stato(stato)
{}

int ModelloAutorizzazioni::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_stato.righe();
}

int ModelloAutorizzazioni::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_stato.colonne() == 0 ? 0 : m_stato.colonne() - 1;
}

QVariant ModelloAutorizzazioni::data(const QModelIndex &indice, int ruolo) const
{
    if (!indice.isValid()) {
        return {};
    }
    if (ruolo == Qt::DisplayRole || ruolo == Qt::EditRole) {
        return m_stato.cella(indice.column(), indice.row());
    }
    if (ruolo == Qt::TextAlignmentRole && indice.row() > 0 && indice.column() > 0) {
        return Qt::AlignCenter;
    }
    if (ruolo == Qt::FontRole && (indice.row() == 0 || indice.column() == 0)) {
        QFont grassetto;
        grassetto.setBold(true);
        return grassetto;
    }
    return {};
}

bool ModelloAutorizzazioni::setData(const QModelIndex &indice, const QVariant &valore, int ruolo)
{
    // The names of the first row and column are not the user's to change.
    if (ruolo != Qt::EditRole || indice.row() < 1 || indice.column() < 1) {
        return false;
    }
    m_stato.impostaCella(indice.column(), indice.row(), valore.toString());
    Q_EMIT dataChanged(indice, indice);
    Q_EMIT modificato();
    return true;
}

Qt::ItemFlags ModelloAutorizzazioni::flags(const QModelIndex &indice) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(indice);
    if (indice.row() >= 1 && indice.column() >= 1) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

void ModelloAutorizzazioni::ricarica()
{
    beginResetModel();
    endResetModel();
}

void ModelloAutorizzazioni::aggiorna()
{
    if (rowCount() > 0 && columnCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

// --- the panel -----------------------------------------------------------------------------------

frmMDI::frmMDI(StatoPlugin &stato, QWidget *parent) : QWidget(parent), m_stato(stato), m_modello(stato)
{
    setObjectName(QStringLiteral("picPanel"));
    setAutoFillBackground(true);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("Grid1"));
    m_grid->setModel(&m_modello);
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_grid->hide();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    connect(&m_modello, &ModelloAutorizzazioni::modificato, this, [this] { m_modificato = true; });

    // The table is read once the panel shows.
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &frmMDI::Reload);
    m_timer.start();
}

frmMDI::~frmMDI() = default;

void frmMDI::Avviso(const QString &testo)
{
    if (m_stato.risposte) {
        m_stato.risposte->Messaggio(PlugIn::NomeProdotto(), testo, Risposte::Icona::Esclamazione,
                                    Risposte::Pulsanti::Ok, Risposte::Risposta::Ok);
    }
}

bool frmMDI::Operazione(int codice)
{
    m_stato.richiesta.CodiceOperazione = qint16(codice);
    return frmInviaRicevi::Esegui(m_stato, this);
}

void frmMDI::Reload()
{
    m_grid->hide();
    m_grid->setUpdatesEnabled(false);
    const bool ok = Operazione(RichiestaOperazione::RileggiAutorizzazioni);
    m_grid->setUpdatesEnabled(true);
    if (!ok) {
        return;
    }
    m_modello.ricarica();
    m_grid->resizeColumnsToContents();
    m_grid->resizeRowsToContents();
    m_grid->show();
    m_modificato = false;
}

void frmMDI::Imposta(const QString &valore)
{
    const QModelIndexList scelte =
        m_grid->selectionModel() ? m_grid->selectionModel()->selectedIndexes() : QModelIndexList();
    int primaRiga = -1, primaColonna = -1, ultimaRiga = -1, ultimaColonna = -1;
    for (const QModelIndex &i : scelte) {
        primaRiga = primaRiga < 0 ? i.row() : qMin(primaRiga, i.row());
        primaColonna = primaColonna < 0 ? i.column() : qMin(primaColonna, i.column());
        ultimaRiga = qMax(ultimaRiga, i.row());
        ultimaColonna = qMax(ultimaColonna, i.column());
    }
    if (primaRiga < 1 || primaColonna < 1) {
        Avviso(QStringLiteral("Selezionare prima una o più celle"));
        return;
    }
    for (int r = primaRiga; r <= ultimaRiga; ++r) {
        for (int c = primaColonna; c <= ultimaColonna; ++c) {
            m_stato.impostaCella(c, r, valore);
        }
    }
    m_modificato = true;
    m_modello.aggiorna();
}

void frmMDI::AvviaSync()
{
    const QString programma = lanvera::CartellaProgramma() + QStringLiteral("/Sync");
    if (!lanvera::EsisteFile(programma)) {
        Avviso(QStringLiteral("Il file Sync.exe non è stato trovato, pertanto la sincronizzazione non può essere "
                              "completata."));
        return;
    }
    // The archive that the host has open, as one argument: a folder with blanks stays whole.
    QProcess::startDetached(programma, {m_stato.db ? m_stato.db->Name() : QString()});
}

void frmMDI::Execute(int id)
{
    switch (id) {
    case Log: {
        const QString file = m_stato.disk + QStringLiteral("/Lanvera.log");
        // A host that answers for its user (its script) reads the log its own way.
        QVariantHash valori{{QStringLiteral("file"), file}};
        if (lanvera::EsisteFile(file) && m_stato.risposte && m_stato.risposte->Dialogo(QStringLiteral("log"), valori)) {
            break;
        }
        PromptPlugin prompt(m_stato.risposte);
        frmLog::Visualizza(file, PlugIn::NomeProdotto(), prompt, this);
        break;
    }
    case Autorizza:
        Imposta(QStringLiteral("1"));
        break;
    case Nega:
        Imposta(QStringLiteral("0"));
        break;
    case Sincronizza:
        if (m_grid->isHidden()) {
            Reload();
            if (m_grid->isHidden()) {
                Avviso(QStringLiteral("Non è possibile avviare la sincronizzazione in quanto le autorizzazioni non "
                                      "sono state caricate"));
            }
            return;
        }
        if (!Operazione(RichiestaOperazione::InviaAutorizzazioni)) {
            return;
        }
        m_modificato = false;
        AvviaSync();
        break;
    case Rileggi:
        Reload();
        break;
    case Password:
        Operazione(RichiestaOperazione::Accesso);
        break;
    case Rimuovi:
        if (m_grid->isHidden()) {
            Reload();
            if (m_grid->isHidden()) {
                Avviso(QStringLiteral("Non è accedere alla rimozione in quanto le autorizzazioni non sono state "
                                      "caricate"));
            }
            return;
        }
        if (ScegliDaRimuovere(m_stato.risposte, m_stato.pazientiServer.pazienti(), this) &&
            Operazione(RichiestaOperazione::Rimozione)) {
            Reload();
        }
        break;
    default:
        break;
    }
}

void frmMDI::QueryUnload()
{
    if (!m_modificato || !m_stato.risposte) {
        return;
    }
    const auto risposta = m_stato.risposte->Messaggio(
        PlugIn::NomeProdotto(),
        QStringLiteral("Le modifiche apportate alle autorizzazioni non sono state sincronizzate.\r\n"
                       "Affinché abbiano effetto, devono essere inviate al server.\r\n\r\n"
                       "Si desidera inviare le autorizzazioni al server?"),
        Risposte::Icona::Domanda, Risposte::Pulsanti::SiNo, Risposte::Risposta::No);
    if (risposta == Risposte::Risposta::Si && Operazione(RichiestaOperazione::InviaAutorizzazioni)) {
        m_modificato = false;
    }
}
