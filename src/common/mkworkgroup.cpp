#include "modArchivio.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

// Usage: lanvera-mkworkgroup OUTPUT  -- writes the workgroup file "System.mdw" anew.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList argomenti = app.arguments();
    if (argomenti.size() != 2) {
        std::fprintf(stderr, "usage: lanvera-mkworkgroup OUTPUT\n");
        return 2;
    }
    const QString destinazione = argomenti.at(1);
    const QString provvisorio = destinazione + QStringLiteral(".new");
    QFile::remove(provvisorio);
    QString errore;
    if (!lanvera::CreaFileGruppo(provvisorio, &errore)) {
        std::fprintf(stderr, "lanvera-mkworkgroup: %s\n", qPrintable(errore));
        return 1;
    }
    QFile::remove(destinazione);
    if (!QFile::rename(provvisorio, destinazione)) {
        std::fprintf(stderr, "lanvera-mkworkgroup: cannot write %s\n", qPrintable(destinazione));
        return 1;
    }
    return 0;
}
