#include "PannelloConflitti.h"

#include "Database.h"

#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int RuoloDiverso = Qt::UserRole + 1;

QString momento(const QString &testo)
{
    const QDateTime d = lanvera::dao::ComeData(testo);
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy hh.mm.ss")) : testo;
}

QString testoValore(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return {};
    case QJsonValue::String:
        return v.toString();
    default:
        return v.toVariant().toString();
    }
}

QJsonObject oggetto(const QString &json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

QTableWidgetItem *cella(const QString &testo)
{
    auto *c = new QTableWidgetItem(testo);
    c->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return c;
}

} // namespace

PannelloConflitti::PannelloConflitti(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Conflitti"));
    auto *titolo = new QLabel(QStringLiteral("Conflitti: versioni scartate di righe modificate anche da un altro "
                                             "medico (si possono copiare a mano nella cartella)"),
                              this);
    titolo->setWordWrap(true);

    m_elenco = new QTableWidget(0, Colonne, this);
    m_elenco->setObjectName(QStringLiteral("ElencoConflitti"));
    m_elenco->setHorizontalHeaderLabels({QStringLiteral("Data"), QStringLiteral("Tabella"),
                                         QStringLiteral("Autore versione tenuta"), QStringLiteral("Modificata il"),
                                         QStringLiteral("Autore versione scartata"), QStringLiteral("Modificata il")});
    m_elenco->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_elenco->setSelectionMode(QAbstractItemView::SingleSelection);
    m_elenco->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_elenco->horizontalHeader()->setStretchLastSection(true);

    m_confronto = new QTableWidget(0, 3, this);
    m_confronto->setObjectName(QStringLiteral("ConfrontoConflitto"));
    m_confronto->setHorizontalHeaderLabels(
        {QStringLiteral("Campo"), QStringLiteral("Versione tenuta"), QStringLiteral("Versione scartata")});
    m_confronto->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_confronto->setSelectionMode(QAbstractItemView::SingleSelection);
    m_confronto->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_confronto->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_confronto->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);

    m_testoScartato = new QPlainTextEdit(this);
    m_testoScartato->setObjectName(QStringLiteral("TestoScartato"));
    m_testoScartato->setReadOnly(true);
    m_testoScartato->setPlaceholderText(QStringLiteral("Il testo scartato del campo scelto"));

    auto *divisore = new QSplitter(Qt::Vertical, this);
    divisore->addWidget(m_elenco);
    divisore->addWidget(m_confronto);
    divisore->addWidget(m_testoScartato);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(titolo);
    layout->addWidget(divisore, 1);

    connect(m_elenco, &QTableWidget::currentCellChanged, this, [this](int riga) { MostraConflitto(riga); });
    connect(m_confronto, &QTableWidget::currentCellChanged, this, [this](int riga) { MostraCampo(riga); });
    hide();
}

PannelloConflitti::~PannelloConflitti() = default;

int PannelloConflitti::Carica(lanvera::dao::Database &archivio, qint32 idPaziente)
{
    m_conflitti = lanvera::LeggiConflitti(archivio, idPaziente);
    m_campiTabelle.clear();
    for (const lanvera::Conflitto &c : std::as_const(m_conflitti)) {
        if (!m_campiTabelle.contains(c.tabella)) {
            m_campiTabelle.insert(c.tabella, archivio.campi(c.tabella));
        }
    }
    m_elenco->setRowCount(int(m_conflitti.size()));
    for (int r = 0; r < m_conflitti.size(); ++r) {
        const lanvera::Conflitto &c = m_conflitti.at(r);
        m_elenco->setItem(r, Quando, cella(c.quando.toString(QStringLiteral("dd/MM/yyyy hh.mm.ss"))));
        m_elenco->setItem(r, Tabella, cella(c.tabella));
        m_elenco->setItem(r, AutoreVincente, cella(c.autoreVincente));
        m_elenco->setItem(r, DataVincente, cella(momento(c.aggiornatoVincente)));
        m_elenco->setItem(r, AutorePerdente, cella(c.autorePerdente));
        m_elenco->setItem(r, DataPerdente, cella(momento(c.aggiornatoPerdente)));
    }
    m_elenco->resizeColumnsToContents();
    setVisible(!m_conflitti.isEmpty());
    if (m_conflitti.isEmpty()) {
        MostraConflitto(-1);
    } else {
        m_elenco->setCurrentCell(0, 0);
        MostraConflitto(0);
    }
    return int(m_conflitti.size());
}

void PannelloConflitti::MostraConflitto(int riga)
{
    m_confronto->setRowCount(0);
    m_testoScartato->clear();
    if (riga < 0 || riga >= m_conflitti.size()) {
        return;
    }
    const lanvera::Conflitto &c = m_conflitti.at(riga);
    const QJsonObject vincente = oggetto(c.rigaVincente);
    const QJsonObject perdente = oggetto(c.rigaPerdente);
    // The fields in the order of the chart table; any the table no longer has come after them.
    QStringList campi;
    for (const QString &campo : m_campiTabelle.value(c.tabella)) {
        if (vincente.contains(campo) || perdente.contains(campo)) {
            campi << campo;
        }
    }
    for (const QJsonObject &versione : {vincente, perdente}) {
        for (const QString &campo : versione.keys()) {
            if (!campi.contains(campo)) {
                campi << campo;
            }
        }
    }
    m_confronto->setRowCount(int(campi.size()));
    for (int r = 0; r < campi.size(); ++r) {
        const QString &campo = campi.at(r);
        const bool diverso = vincente.value(campo) != perdente.value(campo);
        QTableWidgetItem *celle[] = {cella(campo), cella(testoValore(vincente.value(campo))),
                                     cella(testoValore(perdente.value(campo)))};
        for (int k = 0; k < 3; ++k) {
            celle[k]->setData(RuoloDiverso, diverso);
            if (diverso) {
                QFont grassetto = celle[k]->font();
                grassetto.setBold(true);
                celle[k]->setFont(grassetto);
                celle[k]->setBackground(QColor(255, 236, 179));
                celle[k]->setToolTip(QStringLiteral("Le due versioni differiscono"));
            }
            m_confronto->setItem(r, k, celle[k]);
        }
    }
    m_confronto->resizeColumnToContents(0);
    // The first differing field is the likeliest to be copied.
    const QStringList diversi = CampiDiversi();
    if (!diversi.isEmpty()) {
        m_confronto->setCurrentCell(int(campi.indexOf(diversi.first())), 2);
    }
}

void PannelloConflitti::MostraCampo(int riga)
{
    const QTableWidgetItem *scartato = riga >= 0 ? m_confronto->item(riga, 2) : nullptr;
    m_testoScartato->setPlainText(scartato ? scartato->text() : QString());
}

QStringList PannelloConflitti::CampiDiversi() const
{
    QStringList campi;
    for (int r = 0; r < m_confronto->rowCount(); ++r) {
        if (m_confronto->item(r, 0)->data(RuoloDiverso).toBool()) {
            campi << m_confronto->item(r, 0)->text();
        }
    }
    return campi;
}
