#include "frmGestioneUtenti.h"

#include "BarraStandard.h"
#include "Prompt.h"
#include "frmEditUtente.h"
#include "frmInputBox.h"
#include "frmLog.h"
#include "modCartelle.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int RuoloID = Qt::UserRole;
constexpr int RuoloOrdine = Qt::UserRole + 1; // what a column sorts by, when not its text
constexpr int RuoloSegnalata = Qt::UserRole + 2;

// Sorts the end-time column by the moment, not by its "dd/mm/yyyy" text.
class RigaArchivio : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem &altra) const override
    {
        const int colonna = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant a = data(colonna, RuoloOrdine);
        const QVariant b = altra.data(colonna, RuoloOrdine);
        if (a.isValid() && b.isValid()) {
            return a.toLongLong() < b.toLongLong();
        }
        return text(colonna).localeAwareCompare(altra.text(colonna)) < 0;
    }
};

} // namespace

frmGestioneUtenti::frmGestioneUtenti(lanvera::dao::Database &lista, lanvera::Prompt &prompt, QWidget *parent)
    : QMainWindow(parent), m_lista(lista), m_prompt(prompt), m_mostra(modOrdano::MostraConExec()),
      m_adesso([] { return QDateTime::currentDateTime(); })
{
    setWindowTitle(QStringLiteral("Ordano Clinora"));
    resize(900, 420);
    CostruisciBarra();

    auto *centro = new QWidget(this);
    auto *colonna = new QVBoxLayout(centro);
    m_Grid1 = new QTreeWidget(centro);
    m_Grid1->setObjectName(QStringLiteral("Grid1"));
    m_Grid1->setRootIsDecorated(false);
    m_Grid1->setUniformRowHeights(true);
    m_Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_Grid1->setHeaderLabels({QStringLiteral("Descrizione"), QStringLiteral("File"),
                              QStringLiteral("Ultima sincronizzazione"), QStringLiteral("Esito")});
    // Widths in the proportion of the two columns the list always had, 30 to 70.
    const int unita = m_Grid1->fontMetrics().averageCharWidth();
    const int larghezze[] = {30, 70, 24, 30};
    for (int c = 0; c < NumeroColonne; ++c) {
        m_Grid1->setColumnWidth(c, larghezze[c] * unita);
    }
    m_Grid1->setSortingEnabled(true);
    m_Grid1->sortByColumn(ColDescrizione, Qt::AscendingOrder);
    m_Grid1->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_Grid1->header(), &QWidget::customContextMenuRequested, this, &frmGestioneUtenti::MenuOrdinamento);
    connect(m_Grid1, &QTreeWidget::itemDoubleClicked, this, [this] { EseguiComando(Modifica); });

    m_vuota = new QLabel(QStringLiteral("Non ci sono dati da visualizzare"), m_Grid1->viewport());
    m_vuota->setObjectName(QStringLiteral("TestoVuota"));
    m_vuota->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_vuota->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *inVista = new QVBoxLayout(m_Grid1->viewport());
    inVista->addWidget(m_vuota);
    colonna->addWidget(m_Grid1);

    m_cmdChiudi = new QPushButton(QStringLiteral("Chiudi"), centro);
    m_cmdChiudi->setObjectName(QStringLiteral("cmdChiudi"));
    connect(m_cmdChiudi, &QPushButton::clicked, this, &QWidget::close);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(m_cmdChiudi);
    colonna->addLayout(pulsanti);
    setCentralWidget(centro);

    const int larghezzePannelli[] = {200, 400};
    for (int i = 0; i < 2; ++i) {
        m_pannello[i] = new QLabel(this);
        m_pannello[i]->setObjectName(QStringLiteral("Pannello%1").arg(i));
        m_pannello[i]->setMinimumWidth(larghezzePannelli[i]);
        statusBar()->addWidget(m_pannello[i]);
    }

    RefreshLista();
    MostraServer();
}

frmGestioneUtenti::~frmGestioneUtenti() = default;

void frmGestioneUtenti::CostruisciBarra()
{
    // Id 5, the server address, has a button of its own at the end, in its own group.
    m_barra = CreaBarraStandard(this, {{Nuovo, "Nuovo", "Nuovo file"},
                                       {Modifica, "Modifica", "Modifica dati file"},
                                       {Elimina, "Elimina", "Rimuovi file dall lista"},
                                       {Sincronizza, "Sincronizza", "Avvia manualmente la sincronizzazione", true},
                                       {Log, "Log", "Mostra il log"},
                                       {Server, "Server", "Imposta l'indirizzo del server", true}});
    m_barra->setObjectName(QStringLiteral("Principale"));
    m_barra->setWindowTitle(QStringLiteral("Principale"));
    m_barra->setMovable(false);
    connect(m_barra, &QToolBar::actionTriggered, this, [this](QAction *a) { EseguiComando(a->data().toInt()); });
    addToolBar(m_barra);
}

QAction *frmGestioneUtenti::Azione(int id) const
{
    return AzioneBarra(m_barra, id);
}

QString frmGestioneUtenti::TestoPannello(int indice) const
{
    return indice >= 0 && indice < 2 ? m_pannello[indice]->text() : QString();
}

QTreeWidgetItem *frmGestioneUtenti::Riga(qint32 id) const
{
    for (int i = 0; i < m_Grid1->topLevelItemCount(); ++i) {
        if (IDRiga(m_Grid1->topLevelItem(i)) == id) {
            return m_Grid1->topLevelItem(i);
        }
    }
    return nullptr;
}

qint32 frmGestioneUtenti::IDRiga(const QTreeWidgetItem *riga)
{
    return riga ? riga->data(ColDescrizione, RuoloID).toInt() : 0;
}

bool frmGestioneUtenti::RigaSegnalata(const QTreeWidgetItem *riga)
{
    return riga && riga->data(ColDescrizione, RuoloSegnalata).toBool();
}

void frmGestioneUtenti::RefreshLista()
{
    const qint32 selezionato = IDRiga(RigaSelezionata());
    QList<modOrdano::Archivio> archivi;
    QString errore;
    if (!modOrdano::LeggiArchivi(m_lista, archivi, &errore)) {
        Errore(QStringLiteral("Lettura lista: Errore ") + errore);
    }
    const QHash<qint32, lanvera::StatoArchivio> stati = modOrdano::StatiArchivi(m_lista);
    const QDateTime adesso = m_adesso();

    m_Grid1->setUpdatesEnabled(false);
    m_Grid1->setSortingEnabled(false);
    m_Grid1->clear();
    for (const modOrdano::Archivio &a : std::as_const(archivi)) {
        auto *riga = new RigaArchivio(m_Grid1);
        const auto trovato = stati.constFind(a.id);
        const lanvera::StatoArchivio *stato = trovato == stati.cend() ? nullptr : &*trovato;
        riga->setData(ColDescrizione, RuoloID, a.id);
        riga->setText(ColDescrizione, a.descrizione);
        riga->setText(ColFile, a.file);
        riga->setText(ColFine, modOrdano::TestoFine(stato));
        riga->setData(ColFine, RuoloOrdine, stato ? stato->ultimo.fine.toMSecsSinceEpoch() : qint64(0));
        riga->setText(ColEsito, modOrdano::TestoEsito(stato));
        riga->setToolTip(ColEsito, modOrdano::TestoEsito(stato));
        const bool segnalata = lanvera::DaSegnalare(stato ? *stato : lanvera::StatoArchivio{}, adesso);
        riga->setData(ColDescrizione, RuoloSegnalata, segnalata);
        if (segnalata) {
            for (int c = 0; c < NumeroColonne; ++c) {
                QFont carattere = riga->font(c);
                carattere.setBold(true);
                riga->setFont(c, carattere);
                riga->setBackground(c, QColor(0xff, 0xe0, 0xe0));
            }
        }
        if (a.id == selezionato) {
            riga->setSelected(true);
        }
    }
    m_Grid1->setSortingEnabled(true);
    m_Grid1->setUpdatesEnabled(true);
    m_vuota->setVisible(archivi.isEmpty());

    m_pannello[0]->setText(modOrdano::TestoConteggio(archivi.size()));
    for (const int id : {Modifica, Elimina, Sincronizza}) {
        Azione(id)->setEnabled(!archivi.isEmpty());
    }
}

void frmGestioneUtenti::MostraServer()
{
    m_pannello[1]->setText(modOrdano::TestoServer());
}

void frmGestioneUtenti::MenuOrdinamento(const QPoint &punto)
{
    QMenu menu(this);
    for (int c = 0; c < NumeroColonne; ++c) {
        QAction *a = menu.addAction(QStringLiteral("Ordina per ") + m_Grid1->headerItem()->text(c));
        connect(a, &QAction::triggered, this, [this, c] { m_Grid1->sortByColumn(c, Qt::AscendingOrder); });
    }
    menu.exec(m_Grid1->header()->mapToGlobal(punto));
}

QTreeWidgetItem *frmGestioneUtenti::RigaSelezionata() const
{
    const QList<QTreeWidgetItem *> scelte = m_Grid1->selectedItems();
    return scelte.isEmpty() ? nullptr : scelte.first();
}

void frmGestioneUtenti::EseguiComando(int id)
{
    const QAction *azione = Azione(id);
    if (azione && !azione->isEnabled()) {
        return;
    }
    switch (id) {
    case Nuovo:
        NuovoArchivio();
        break;
    case Modifica:
        ModificaArchivio();
        break;
    case Elimina:
        EliminaArchivio();
        break;
    case Sincronizza:
        AvviaSincronizzazione();
        break;
    case Server:
        ImpostaServer();
        break;
    case Log:
        MostraLog();
        break;
    default:
        break;
    }
}

void frmGestioneUtenti::NuovoArchivio()
{
    frmEditUtente form(m_lista, m_prompt, 0, this);
    m_mostra(form);
    if (!form.DialogoAnnullato()) {
        RefreshLista();
        if (QTreeWidgetItem *riga = Riga(form.IDArchivio())) {
            m_Grid1->setCurrentItem(riga);
        }
    }
}

void frmGestioneUtenti::ModificaArchivio()
{
    const QTreeWidgetItem *riga = RigaSelezionata();
    if (!riga) {
        return;
    }
    frmEditUtente form(m_lista, m_prompt, IDRiga(riga), this);
    m_mostra(form);
    if (!form.DialogoAnnullato()) {
        // Read back: another window may have changed the list meanwhile, and a row it removed
        // comes back under a new ID.
        RefreshLista();
        if (QTreeWidgetItem *salvata = Riga(form.IDArchivio())) {
            m_Grid1->setCurrentItem(salvata);
        }
    }
}

void frmGestioneUtenti::EliminaArchivio()
{
    const QTreeWidgetItem *riga = RigaSelezionata();
    if (!riga) {
        return;
    }
    if (m_prompt.conferma(modOrdano::Prodotto(), QStringLiteral("Attenzione: Eliminare '") +
                                                     riga->text(ColDescrizione) + QStringLiteral("' dalla lista?")) !=
        lanvera::Prompt::Risposta::Si) {
        return;
    }
    QString errore;
    if (!modOrdano::EliminaArchivio(m_lista, IDRiga(riga), nullptr, &errore)) {
        Errore(QStringLiteral("Eliminazione archivio: Errore ") + errore);
    }
    RefreshLista();
}

void frmGestioneUtenti::AvviaSincronizzazione()
{
    if (m_prompt.conferma(modOrdano::Prodotto(), modOrdano::DomandaSincronizza()) == lanvera::Prompt::Risposta::Si) {
        modOrdano::AvviaSync(m_prompt);
    }
}

void frmGestioneUtenti::ImpostaServer()
{
    bool annullato = true;
    const QString host =
        ChiediTesto(QStringLiteral("Specificare l'indirizzo IP del Server"), QStringLiteral("Impostazione Server"),
                    modOrdano::HostServer(), &annullato, this, m_mostra);
    if (annullato) {
        return;
    }
    if (!modOrdano::ImpostaServer(host)) {
        Errore(QStringLiteral("Impossibile scrivere il file ") + modOrdano::FileIniOrdano());
    }
    MostraServer();
}

void frmGestioneUtenti::MostraLog()
{
    const QString file = modOrdano::FileLogOrdano();
    if (!lanvera::EsisteFile(file)) {
        m_prompt.chiedi({modOrdano::Prodotto(), QStringLiteral("Nessun log da visualizzare")});
        return;
    }
    frmLog form(file, modOrdano::Prodotto(), m_prompt, this);
    m_mostra(form);
}

void frmGestioneUtenti::Errore(const QString &testo)
{
    m_prompt.chiedi({modOrdano::Prodotto(), testo, lanvera::Prompt::Icona::Esclamazione});
}
