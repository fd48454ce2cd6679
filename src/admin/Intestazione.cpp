#include "Intestazione.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

std::pair<QLabel *, QLabel *> AggiungiIntestazione(QBoxLayout &layout, const QString &titolo, const QString &testo)
{
    auto *fascia = new QFrame;
    fascia->setObjectName(QStringLiteral("Intestazione"));
    fascia->setAutoFillBackground(true);
    fascia->setBackgroundRole(QPalette::Base);
    fascia->setFrameShape(QFrame::StyledPanel);
    auto *righe = new QVBoxLayout(fascia);
    auto *lblTitolo = new QLabel(titolo, fascia);
    lblTitolo->setObjectName(QStringLiteral("lblTitolo"));
    QFont grassetto = lblTitolo->font();
    grassetto.setBold(true);
    lblTitolo->setFont(grassetto);
    auto *lblTesto = new QLabel(testo, fascia);
    lblTesto->setObjectName(QStringLiteral("lblTesto"));
    lblTesto->setWordWrap(true);
    righe->addWidget(lblTitolo);
    righe->addWidget(lblTesto);
    layout.addWidget(fascia);
    return {lblTitolo, lblTesto};
}
