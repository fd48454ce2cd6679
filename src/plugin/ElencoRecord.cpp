#include "ElencoRecord.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QTreeView>

#include <numeric>

ElencoRecord::ElencoRecord(const QStringList &colonne, const QList<int> &larghezze, QWidget *parent)
    : QWidget(parent), m_larghezze(larghezze), m_modello(new QStandardItemModel(0, int(colonne.size()), this)),
      m_vista(new QTreeView(this)), m_vuoto(new QLabel(QStringLiteral("Non ci sono dati da visualizzare"), this)),
      m_pagine(new QStackedLayout(this))
{
    m_modello->setHorizontalHeaderLabels(colonne);
    m_vista->setObjectName(QStringLiteral("Lista"));
    m_vista->setModel(m_modello);
    m_vista->setRootIsDecorated(false);
    m_vista->setUniformRowHeights(true);
    m_vista->setAllColumnsShowFocus(true);
    m_vista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_vista->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_vista->setSelectionMode(QAbstractItemView::SingleSelection);
    m_vista->header()->setStretchLastSection(false);
    m_vista->header()->setSectionsMovable(false);

    m_vuoto->setObjectName(QStringLiteral("TestoVuoto"));
    m_vuoto->setAlignment(Qt::AlignCenter);
    m_vuoto->setAutoFillBackground(true);
    m_vuoto->setBackgroundRole(QPalette::Base);

    // The columns share the width of the list whenever it changes.
    m_vista->viewport()->installEventFilter(this);

    m_pagine->addWidget(m_vista);
    m_pagine->addWidget(m_vuoto);
    connect(m_modello, &QStandardItemModel::rowsInserted, this, &ElencoRecord::AggiornaVuoto);
    connect(m_modello, &QStandardItemModel::rowsRemoved, this, &ElencoRecord::AggiornaVuoto);
    connect(m_modello, &QStandardItemModel::modelReset, this, &ElencoRecord::AggiornaVuoto);
    AggiornaVuoto();
}

void ElencoRecord::AggiungiRecord(const QStringList &celle, const QVariant &tag, bool spunta)
{
    QList<QStandardItem *> riga;
    for (int colonna = 0; colonna < m_modello->columnCount(); ++colonna) {
        auto *cella = new QStandardItem(celle.value(colonna));
        cella->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        riga << cella;
    }
    riga.first()->setData(tag, Qt::UserRole);
    if (spunta) {
        riga.first()->setFlags(riga.first()->flags() | Qt::ItemIsUserCheckable);
        riga.first()->setCheckState(Qt::Unchecked);
    }
    m_modello->appendRow(riga);
}

int ElencoRecord::Records() const
{
    return m_modello->rowCount();
}

QVariant ElencoRecord::Tag(int riga) const
{
    return m_modello->index(riga, 0).data(Qt::UserRole);
}

QString ElencoRecord::Cella(int riga, int colonna) const
{
    return m_modello->index(riga, colonna).data().toString();
}

bool ElencoRecord::Spuntato(int riga) const
{
    return m_modello->index(riga, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

void ElencoRecord::Spunta(int riga, bool spuntato)
{
    m_modello->setData(m_modello->index(riga, 0), spuntato ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

int ElencoRecord::RigaSelezionata() const
{
    const QModelIndexList righe = m_vista->selectionModel()->selectedRows();
    return righe.isEmpty() ? -1 : righe.first().row();
}

void ElencoRecord::Seleziona(int riga)
{
    m_vista->setCurrentIndex(m_modello->index(riga, 0));
}

bool ElencoRecord::eventFilter(QObject *oggetto, QEvent *evento)
{
    if (oggetto == m_vista->viewport() && evento->type() == QEvent::Resize) {
        AdattaColonne();
    }
    return QWidget::eventFilter(oggetto, evento);
}

void ElencoRecord::AggiornaVuoto()
{
    m_pagine->setCurrentWidget(Records() == 0 ? static_cast<QWidget *>(m_vuoto) : m_vista);
}

void ElencoRecord::AdattaColonne()
{
    const int somma = std::accumulate(m_larghezze.cbegin(), m_larghezze.cend(), 0);
    if (somma <= 0) {
        return;
    }
    const int disponibile = m_vista->viewport()->width();
    for (int colonna = 0; colonna < m_larghezze.size(); ++colonna) {
        m_vista->header()->resizeSection(colonna, disponibile * m_larghezze.at(colonna) / somma);
    }
}
