#pragma once

#include <QString>

#include <utility>

class QBoxLayout;
class QLabel;

// The header band of the administration's dialogs: a bold title over a line of explanation.
// Returns the two labels.
std::pair<QLabel *, QLabel *> AggiungiIntestazione(QBoxLayout &layout, const QString &titolo, const QString &testo);
