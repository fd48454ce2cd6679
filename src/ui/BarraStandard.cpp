#include "BarraStandard.h"

#include <QAction>
#include <QToolBar>

QToolBar *CreaBarraStandard(QWidget *genitore, std::initializer_list<VoceBarra> voci)
{
    auto *barra = new QToolBar(QStringLiteral("Standard"), genitore);
    barra->setObjectName(QStringLiteral("Standard"));
    barra->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const VoceBarra &v : voci) {
        if (v.gruppo) {
            barra->addSeparator();
        }
        QAction *a = barra->addAction(QString::fromUtf8(v.testo));
        a->setToolTip(QString::fromUtf8(v.suggerimento));
        a->setData(v.id);
    }
    return barra;
}

QAction *AzioneBarra(const QToolBar *barra, int id)
{
    for (QAction *a : barra->actions()) {
        if (!a->isSeparator() && a->data().toInt() == id) {
            return a;
        }
    }
    return nullptr;
}
