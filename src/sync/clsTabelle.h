#pragma once

#include <QString>

// One table of a chart: its name in the archive and the statement that copies a patient's rows
// of it into the package database.
struct clsTabelle
{
    QString Tabella;
    QString QueryCartella;
};
