#pragma once

#include <QStringList>

class QTextStream;

// Ordano from a terminal, for machines without a desktop: the same checks and messages as the
// window, messages on standard error.
namespace ComandiTerminale {

enum Esito
{
    Fatto = 0,
    Rifiutato = 1,
    ArgomentiErrati = 2
};

// True when the arguments (without the program's name) ask for a terminal command: any argument
// at all, so that a mistyped one gets the usage and not a window.
bool Richiesto(const QStringList &argomenti);

QString Uso();

// Runs the command of the arguments; the program's files must have been prepared (PreparaAvvio).
// Lists go to `uscita`, messages to `errori`. The result is the process's exit status: 0 done, 1
// refused, 2 bad arguments; --sincronizza returns Sync's own status.
int Esegui(const QStringList &argomenti, QTextStream &uscita, QTextStream &errori);

} // namespace ComandiTerminale
