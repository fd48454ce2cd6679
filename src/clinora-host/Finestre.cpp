#include "Finestre.h"

#include "ArchivioHost.h"
#include "PannelloConflitti.h"
#include "Recordset.h"
#include "modArchivio.h"

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

using lanvera::dao::Recordset;

namespace {

QString dataDa(const QVariant &valore)
{
    const QDateTime d = lanvera::dao::ComeData(valore);
    return d.isValid() ? d.date().toString(QStringLiteral("dd/MM/yyyy")) : lanvera::dao::ComeTesto(valore);
}

int eta(const QVariant &nascita)
{
    const QDate d = lanvera::dao::ComeData(nascita).date();
    if (!d.isValid()) {
        return 0;
    }
    const QDate oggi = QDate::currentDate();
    int anni = oggi.year() - d.year();
    if (oggi.month() < d.month() || (oggi.month() == d.month() && oggi.day() < d.day())) {
        --anni;
    }
    return anni > 0 ? anni : 0;
}

} // namespace

// --- child windows --------------------------------------------------------------------------------

FinestraFigliaHost::FinestraFigliaHost(QMdiArea &area, QObject *parent) : clinora::FinestraFiglia(parent)
{
    m_contenuto = new QWidget;
    auto *layout = new QVBoxLayout(m_contenuto);
    layout->setContentsMargins(0, 0, 0, 0);
    m_barra = new QToolBar(m_contenuto);
    layout->addWidget(m_barra);
    m_finestra = area.addSubWindow(m_contenuto);
    m_finestra->setAttribute(Qt::WA_DeleteOnClose);
    m_finestra->installEventFilter(this);
    connect(m_finestra, &QObject::destroyed, this, [this] {
        if (!m_scaricata) {
            m_scaricata = true;
            Q_EMIT Scaricata();
        }
        deleteLater();
    });
}

bool FinestraFigliaHost::eventFilter(QObject *oggetto, QEvent *evento)
{
    // The plug-in hears of the closing while its area is still there.
    if (oggetto == m_finestra && evento->type() == QEvent::Close && !m_scaricata) {
        m_scaricata = true;
        Q_EMIT Scaricata();
    }
    return clinora::FinestraFiglia::eventFilter(oggetto, evento);
}

FinestraFigliaHost::~FinestraFigliaHost()
{
    if (m_finestra) {
        disconnect(m_finestra, nullptr, this, nullptr);
    }
}

QWidget *FinestraFigliaHost::widget() const
{
    return m_finestra;
}

void FinestraFigliaHost::ImpostaIcona(const QIcon &icona)
{
    if (m_finestra) {
        m_finestra->setWindowIcon(icona);
    }
}

void FinestraFigliaHost::ImpostaCaption(const QString &caption)
{
    if (m_finestra) {
        m_finestra->setWindowTitle(caption);
    }
}

void FinestraFigliaHost::InitGui(const QString &identificatore, const QString &titolo, QWidget *area)
{
    m_barra->setObjectName(identificatore);
    m_barra->setWindowTitle(titolo);
    if (area) {
        area->setParent(m_contenuto);
        m_contenuto->layout()->addWidget(area);
    }
}

void FinestraFigliaHost::AddToolbarButton(int id, const QString &caption, const QString &tooltip, bool gruppo,
                                          const QIcon &immagine)
{
    if (gruppo) {
        m_barra->addSeparator();
    }
    QAction *azione = m_barra->addAction(immagine, caption);
    azione->setToolTip(tooltip);
    azione->setData(id);
    connect(azione, &QAction::triggered, this, [this, id] {
        if (m_pannello) {
            m_pannello->Execute(id);
        }
    });
}

void FinestraFigliaHost::Show()
{
    if (m_finestra) {
        m_finestra->showMaximized();
    }
}

void FinestraFigliaHost::SetFocus()
{
    if (m_finestra) {
        m_finestra->setFocus();
    }
}

void FinestraFigliaHost::Unload()
{
    if (m_finestra) {
        m_finestra->close();
    }
}

// --- the patient list -----------------------------------------------------------------------------

int ListaHost::Width() const
{
    return m_tabella.viewport()->width();
}

void ListaHost::Redraw(bool ridisegna)
{
    m_tabella.setUpdatesEnabled(ridisegna);
}

int ListaHost::Row() const
{
    return m_tabella.currentRow() + 1;
}

void ListaHost::SetRow(int riga)
{
    if (riga >= 1 && riga <= m_tabella.rowCount()) {
        m_tabella.setCurrentCell(riga - 1, 1);
    }
}

int ListaHost::Rows() const
{
    return m_tabella.rowCount() + 1;
}

void ListaHost::SetRows(int righe)
{
    m_tabella.setRowCount(qMax(0, righe - 1));
}

void ListaHost::AddItem(const QString &testo)
{
    const int riga = m_tabella.rowCount();
    m_tabella.insertRow(riga);
    const QStringList campi = testo.split(QLatin1Char('\t'));
    for (int c = 0; c < m_tabella.columnCount(); ++c) {
        auto *cella = new QTableWidgetItem(c >= 1 && c - 1 < campi.size() ? campi.at(c - 1) : QString());
        cella->setFlags(cella->flags() & ~Qt::ItemIsEditable);
        m_tabella.setItem(riga, c, cella);
    }
}

bool ListaHost::ColonnaVisibile(int colonna) const
{
    return !m_tabella.isColumnHidden(colonna);
}

void ListaHost::ImpostaColonnaVisibile(int colonna, bool visibile)
{
    m_tabella.setColumnHidden(colonna, !visibile);
}

int ListaHost::LarghezzaColonna(int colonna) const
{
    return m_tabella.columnWidth(colonna);
}

void ListaHost::ImpostaLarghezzaColonna(int colonna, int larghezza)
{
    m_tabella.setColumnWidth(colonna, larghezza);
}

QVariant ListaHost::TagRiga(int riga) const
{
    const QTableWidgetItem *cella = m_tabella.item(riga - 1, 0);
    return cella ? cella->data(Qt::UserRole) : QVariant();
}

void ListaHost::ImpostaTagRiga(int riga, const QVariant &tag)
{
    if (QTableWidgetItem *cella = m_tabella.item(riga - 1, 0)) {
        cella->setData(Qt::UserRole, tag);
    }
}

QString ListaHost::Cella(int riga, int colonna) const
{
    const QTableWidgetItem *cella = m_tabella.item(riga - 1, colonna);
    return cella ? cella->text() : QString();
}

// --- the patient search window --------------------------------------------------------------------

class frmRicercaPaziente::Adattatore : public clinora::FinestraRicerca
{
public:
    explicit Adattatore(frmRicercaPaziente &f) : clinora::FinestraRicerca(&f), m_f(f), m_lista(*f.m_lista)
    {
        connect(f.m_cmdCercaSuServer, &QPushButton::clicked, this, &clinora::FinestraRicerca::CercaSuServerClick);
        connect(f.m_cmdGestione, &QPushButton::clicked, this, &clinora::FinestraRicerca::GestioneClick);
    }
    QString Name() const override { return QStringLiteral("frmRicercaPaziente"); }
    QString TestoCerca() const override { return m_f.m_txtCerca->text(); }
    bool CercaVisibile() const override { return m_f.m_txtCerca->isVisible(); }
    bool CercaAbilitato() const override { return m_f.m_txtCerca->isEnabled(); }
    void FocusCerca() override { m_f.m_txtCerca->setFocus(); }
    clinora::ListaPazienti &Lista() override { return m_lista; }
    void AbilitaAvanti(bool abilita) override { m_f.m_cmdAvanti->setEnabled(abilita); }

private:
    frmRicercaPaziente &m_f;
    ListaHost m_lista;
};

frmRicercaPaziente::frmRicercaPaziente(ArchivioHost &archivio, QWidget *parent) : QWidget(parent), m_archivio(archivio)
{
    setWindowTitle(QStringLiteral("Ricerca Paziente"));
    m_txtCerca = new QLineEdit(this);
    m_txtCerca->setObjectName(QStringLiteral("txtCerca"));
    auto *cerca = new QPushButton(QStringLiteral("Cerca"), this);
    m_cmdCercaSuServer = new QPushButton(QStringLiteral("Cerca su server"), this);
    m_cmdGestione = new QPushButton(QStringLiteral("Gestione"), this);
    m_cmdAvanti = new QPushButton(QStringLiteral("Avanti"), this);
    m_cmdAvanti->setEnabled(false);
    m_lista = new QTableWidget(0, Colonne + 1, this);
    m_lista->setObjectName(QStringLiteral("TList1"));
    m_lista->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lista->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lista->setHorizontalHeaderLabels({QString(), QString(), QStringLiteral("Cognome"), QStringLiteral("Nome"),
                                        QStringLiteral("Medico"), QStringLiteral("Sesso"), QStringLiteral("Indirizzo"),
                                        QStringLiteral("Città"), QStringLiteral("Nato il"), QStringLiteral("Nato a"),
                                        QStringLiteral("Età")});
    m_lista->verticalHeader()->hide();
    // The row selector and the fields the host keeps for itself are not shown; the doctor column
    // only when a search on the server fills it.
    for (int c : {0, 1, 4, 11, 13, 14, 15, 16, 17}) {
        m_lista->setColumnHidden(c, true);
    }

    auto *riga = new QHBoxLayout;
    riga->addWidget(m_txtCerca, 1);
    riga->addWidget(cerca);
    riga->addWidget(m_cmdCercaSuServer);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(m_cmdGestione);
    pulsanti->addStretch(1);
    pulsanti->addWidget(m_cmdAvanti);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(riga);
    layout->addWidget(m_lista, 1);
    layout->addLayout(pulsanti);

    connect(cerca, &QPushButton::clicked, this, &frmRicercaPaziente::Cerca);
    connect(m_txtCerca, &QLineEdit::returnPressed, this, &frmRicercaPaziente::Cerca);
    connect(m_cmdAvanti, &QPushButton::clicked, this, [this] {
        ListaHost lista(*m_lista);
        const QVariant tag = lista.TagRiga(lista.Row());
        Q_EMIT Avanti(lista.Row(), tag.isValid() ? tag.toInt() : -1);
    });
    m_adattatore = new Adattatore(*this);
}

frmRicercaPaziente::~frmRicercaPaziente() = default;

clinora::FinestraRicerca &frmRicercaPaziente::finestra()
{
    return *m_adattatore;
}

void frmRicercaPaziente::Cerca()
{
    ListaHost lista(*m_lista);
    lista.SetRows(1);
    Recordset rs(m_archivio.database());
    if (!rs.apri(QStringLiteral("SELECT ID, Cognome, Nome, Sesso, Indirizzo, [Città], DataNascita, LuogoNascita, "
                                "Tessera, CodiceFiscale FROM tblAnagrafica WHERE (Cognome || ' ' || Nome) LIKE ? "
                                "ORDER BY Cognome, Nome"),
                 Recordset::Tipo::SoloAvanti, {QString(m_txtCerca->text() + QLatin1Char('%'))})) {
        return;
    }
    for (; !rs.eof(); rs.muoviProssimo()) {
        const QStringList campi{QString(),
                                rs.testo(QStringLiteral("Cognome")),
                                rs.testo(QStringLiteral("Nome")),
                                QString(),
                                rs.testo(QStringLiteral("Sesso")),
                                rs.testo(QStringLiteral("Indirizzo")),
                                rs.testo(QStringLiteral("Città")),
                                dataDa(rs.valore(QStringLiteral("DataNascita"))),
                                rs.testo(QStringLiteral("LuogoNascita")),
                                QString::number(eta(rs.valore(QStringLiteral("DataNascita")))),
                                QString(),
                                rs.testo(QStringLiteral("Tessera")),
                                QString(),
                                QString(),
                                QString(),
                                QString(),
                                rs.testo(QStringLiteral("CodiceFiscale"))};
        lista.AddItem(campi.join(QLatin1Char('\t')));
        lista.ImpostaTagRiga(lista.Rows() - 1, rs.valore(QStringLiteral("ID")).toInt());
    }
    m_cmdAvanti->setEnabled(lista.Rows() > 1);
    lista.SetRow(1);
}

// --- the chart window -----------------------------------------------------------------------------

class frmAmbulatorio::Adattatore : public clinora::FinestraCartella
{
public:
    explicit Adattatore(QObject *parent) : clinora::FinestraCartella(parent) {}
    QString Name() const override { return QStringLiteral("frmAmbulatorio"); }
};

frmAmbulatorio::frmAmbulatorio(ArchivioHost &archivio, qint32 idPaziente, QWidget *parent)
    : QWidget(parent), m_archivio(archivio), m_idPaziente(idPaziente)
{
    m_nome = new QLabel(this);
    m_diario = new QTableWidget(0, 2, this);
    m_diario->setHorizontalHeaderLabels({QStringLiteral("Data"), QStringLiteral("Diario")});
    m_diario->horizontalHeader()->setStretchLastSection(true);
    m_diario->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_nuovo = new QLineEdit(this);
    auto *salva = new QPushButton(QStringLiteral("Aggiungi al diario"), this);
    auto *modifica = new QPushButton(QStringLiteral("Modifica la voce scelta"), this);
    auto *riga = new QHBoxLayout;
    riga->addWidget(m_nuovo, 1);
    riga->addWidget(salva);
    riga->addWidget(modifica);
    // A double click puts an entry's text up for editing.
    connect(m_diario, &QTableWidget::cellDoubleClicked, this,
            [this](int r) { m_nuovo->setText(m_diario->item(r, 1) ? m_diario->item(r, 1)->text() : QString()); });
    connect(modifica, &QPushButton::clicked, this, [this] {
        const int r = m_diario->currentRow();
        if (r >= 0 && ModificaDiario(m_diario->item(r, 0)->data(Qt::UserRole).toInt(), m_nuovo->text())) {
            m_nuovo->clear();
        }
    });
    m_conflitti = new PannelloConflitti(this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_nome);
    layout->addWidget(m_diario, 1);
    layout->addLayout(riga);
    layout->addWidget(m_conflitti, 1);
    connect(salva, &QPushButton::clicked, this, [this] {
        if (!m_nuovo->text().trimmed().isEmpty() && AggiungiDiario(m_nuovo->text())) {
            m_nuovo->clear();
        }
    });
    m_adattatore = new Adattatore(this);
    Carica();
}

frmAmbulatorio::~frmAmbulatorio() = default;

clinora::FinestraCartella &frmAmbulatorio::finestra()
{
    return *m_adattatore;
}

void frmAmbulatorio::Carica()
{
    Recordset rs(m_archivio.database());
    if (rs.apri(QStringLiteral("SELECT Cognome, Nome FROM tblAnagrafica WHERE ID=?"), Recordset::Tipo::SoloAvanti,
                {m_idPaziente}) &&
        !rs.eof()) {
        const QString nome = rs.testo(QStringLiteral("Cognome")) + QLatin1Char(' ') + rs.testo(QStringLiteral("Nome"));
        m_nome->setText(nome);
        setWindowTitle(QStringLiteral("Cartella di ") + nome);
    }
    m_conflitti->Carica(m_archivio.database(), m_idPaziente);
    m_diario->setRowCount(0);
    if (!rs.apri(QStringLiteral("SELECT ID, Data, Diario FROM tblDiario WHERE IDPaziente=? ORDER BY Data, ID"),
                 Recordset::Tipo::SoloAvanti, {m_idPaziente})) {
        return;
    }
    // The rows first, then the table sized once: a chart of thousands of entries opens at once.
    struct Voce
    {
        QVariant id;
        QString data;
        QString testo;
    };
    QList<Voce> voci;
    for (; !rs.eof(); rs.muoviProssimo()) {
        voci.append({rs.valore(QStringLiteral("ID")), dataDa(rs.valore(QStringLiteral("Data"))),
                     rs.testo(QStringLiteral("Diario"))});
    }
    m_diario->setRowCount(int(voci.size()));
    for (int r = 0; r < voci.size(); ++r) {
        auto *data = new QTableWidgetItem(voci.at(r).data);
        data->setData(Qt::UserRole, voci.at(r).id);
        m_diario->setItem(r, 0, data);
        m_diario->setItem(r, 1, new QTableWidgetItem(voci.at(r).testo));
    }
}

bool frmAmbulatorio::AggiungiDiario(const QString &testo, QString *errore)
{
    // The host's bookkeeping of a changed row: a new identity, the moment, to be sent.
    const QString adesso = lanvera::dao::TestoDataArchivio(QDateTime::currentDateTime());
    const bool ok = m_archivio.database().esegui(
        QStringLiteral("INSERT INTO tblDiario (GUID, IDPaziente, Data, Diario, LastInsert, LastUpdate, ToSend) "
                       "VALUES (?, ?, ?, ?, ?, ?, 0)"),
        {lanvera::CreaGUID(), m_idPaziente, lanvera::dao::TestoDataArchivio(QDate::currentDate().startOfDay()), testo,
         adesso, adesso});
    if (!ok && errore) {
        *errore = m_archivio.database().ultimoErrore().testo();
    }
    if (ok) {
        m_archivio.database().esegui(QStringLiteral("UPDATE tblAnagrafica2 SET TagStato=1 WHERE IDPaziente=?"),
                                     {m_idPaziente});
        Carica();
    }
    return ok;
}

bool frmAmbulatorio::ModificaDiario(qint32 id, const QString &testo, QString *errore)
{
    // A changed row: the moment of the change, and to be sent.
    const bool ok = m_archivio.database().esegui(
        QStringLiteral("UPDATE tblDiario SET Diario=?, LastUpdate=?, ToSend=0 WHERE ID=? AND IDPaziente=?"),
        {testo, lanvera::dao::TestoDataArchivio(QDateTime::currentDateTime()), id, m_idPaziente});
    if (!ok && errore) {
        *errore = m_archivio.database().ultimoErrore().testo();
    }
    if (ok) {
        m_archivio.database().esegui(QStringLiteral("UPDATE tblAnagrafica2 SET TagStato=1 WHERE IDPaziente=?"),
                                     {m_idPaziente});
        Carica();
    }
    return ok;
}

void frmAmbulatorio::closeEvent(QCloseEvent *evento)
{
    Q_EMIT m_adattatore->QueryUnload();
    QWidget::closeEvent(evento);
}

// --- the main window ------------------------------------------------------------------------------

class frmMain::Adattatore : public clinora::FinestraPrincipale
{
public:
    explicit Adattatore(frmMain &f) : clinora::FinestraPrincipale(&f), m_f(f) {}
    QString Name() const override { return QStringLiteral("frmMain"); }
    void DisabilitaWAN(bool disabilita) override { m_wanDisabilitata = disabilita; }
    void ChiudiTutto() override { m_f.ChiudiTutto(); }
    clinora::FinestraFiglia *OpenChildForm() override { return new FinestraFigliaHost(*m_f.m_area, this); }
    bool DBSwitchON(QString &percorso) override { return m_f.cambiaArchivio && m_f.cambiaArchivio(percorso); }
    bool AggiornaDatabase(QString &percorso, QString &tabelle) override
    {
        return m_f.aggiornaArchivio && m_f.aggiornaArchivio(percorso, tabelle);
    }

private:
    frmMain &m_f;
    bool m_wanDisabilitata = false;
};

frmMain::frmMain(ArchivioHost &archivio, QWidget *parent) : QMainWindow(parent), m_archivio(archivio)
{
    setWindowTitle(QStringLiteral("Clinora"));
    resize(1100, 720);
    m_area = new QMdiArea(this);
    setCentralWidget(m_area);
    m_adattatore = new Adattatore(*this);

    QMenu *strumenti = menuBar()->addMenu(QStringLiteral("&Strumenti"));
    strumenti->addAction(QStringLiteral("Repliche locali"), this, [this] {
        if (comandoMenu) {
            comandoMenu(QVariantList{QStringLiteral("replicalocale"), false});
        }
    });
    strumenti->addAction(QStringLiteral("Locazione: avanti"), this, [this] {
        if (comandoMenu) {
            comandoMenu(QVariantList{QStringLiteral("frmlocazione.avanti"), QString(), 1});
        }
    });

    m_ricerca = new frmRicercaPaziente(m_archivio);
    QMdiSubWindow *sotto = m_area->addSubWindow(m_ricerca);
    sotto->setWindowFlags(sotto->windowFlags() & ~Qt::WindowCloseButtonHint);
}

frmMain::~frmMain()
{
    Q_EMIT m_adattatore->Scaricata();
}

clinora::FinestraPrincipale &frmMain::finestra()
{
    return *m_adattatore;
}

QList<FinestraFigliaHost *> frmMain::figlie() const
{
    return m_adattatore->findChildren<FinestraFigliaHost *>();
}

frmAmbulatorio *frmMain::ApriCartella(qint32 idPaziente)
{
    ChiudiCartella();
    m_cartella = new frmAmbulatorio(m_archivio, idPaziente);
    QMdiSubWindow *sotto = m_area->addSubWindow(m_cartella);
    sotto->setAttribute(Qt::WA_DeleteOnClose);
    if (finestraAperta) {
        finestraAperta(m_cartella->finestra());
    }
    sotto->show();
    return m_cartella;
}

void frmMain::ChiudiCartella()
{
    if (m_cartella) {
        if (QMdiSubWindow *sotto = qobject_cast<QMdiSubWindow *>(m_cartella->parentWidget())) {
            sotto->close();
        }
    }
}

void frmMain::ChiudiTutto()
{
    for (QMdiSubWindow *sotto : m_area->subWindowList()) {
        if (sotto->widget() != m_ricerca) {
            sotto->close();
        }
    }
}
