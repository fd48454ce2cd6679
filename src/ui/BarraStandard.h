#pragma once

#include <QString>

#include <initializer_list>

class QAction;
class QToolBar;
class QWidget;

// One button of a tool bar: its command id (kept as the action's data), caption and tooltip; a
// group starts with a separator before it.
struct VoceBarra
{
    int id;
    const char *testo;
    const char *suggerimento;
    bool gruppo = false;
};

// The "Standard" tool bar of a window: text buttons in the given order.
QToolBar *CreaBarraStandard(QWidget *genitore, std::initializer_list<VoceBarra> voci);
// The button of that command id, null when there is none.
QAction *AzioneBarra(const QToolBar *barra, int id);
