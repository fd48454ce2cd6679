#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Readable Qt values in test failure messages.
inline void PrintTo(const QString &testo, std::ostream *os)
{
    *os << '"' << testo.toStdString() << '"';
}

inline void PrintTo(const QStringList &lista, std::ostream *os)
{
    *os << "[\n";
    for (const QString &testo : lista) {
        *os << "  \"" << testo.toStdString() << "\"\n";
    }
    *os << ']';
}
