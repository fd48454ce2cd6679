#pragma once

#include <QString>

namespace lanvera {

// Why a file call failed: the errno it left and that number's text.
struct ErroreFile
{
    int numero = 0;
    QString descrizione;
};

// The whole file, read as UTF-8, with "\n" for its "\r\n" line ends.
bool LeggiTesto(const QString &file, QString &testo, ErroreFile &errore);
// Replaces the file with `testo` in UTF-8, each "\n" written as "\r\n" like the logs' own line ends.
bool ScriviTesto(const QString &file, const QString &testo, ErroreFile &errore);
bool EliminaFile(const QString &file, ErroreFile &errore);

} // namespace lanvera
