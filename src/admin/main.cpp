#include "ComandiTerminale.h"
#include "Database.h"
#include "PromptMessageBox.h"
#include "frmGestioneUtenti.h"
#include "modOrdano.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

namespace {

bool senzaSchermo()
{
    const QByteArray piattaforma = qgetenv("QT_QPA_PLATFORM");
    return piattaforma.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void nomina()
{
    QCoreApplication::setApplicationName(QStringLiteral("Ordano"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LANVERA_VERSION));
}

} // namespace

int main(int argc, char **argv)
{
    QTextStream uscita(stdout);
    QTextStream errori(stderr);

    // Any argument is a terminal command: no display is needed for it.
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        nomina();
        const QStringList argomenti = QCoreApplication::arguments().mid(1);
        if (argomenti.first() != QStringLiteral("--help")) {
            modOrdano::PreparaAvvio();
        }
        return ComandiTerminale::Esegui(argomenti, uscita, errori);
    }
    if (senzaSchermo()) {
        errori << QStringLiteral("Nessuno schermo disponibile: usare i comandi da terminale (Ordano --help).")
               << Qt::endl;
        return ComandiTerminale::Rifiutato;
    }

    QApplication app(argc, argv);
    nomina();
    modOrdano::PreparaAvvio();
    PromptMessageBox prompt;

    // The list stays open while the program runs, and closes with it.
    lanvera::dao::Database databaseSync;
    if (!databaseSync.apri(modOrdano::FileListaArchivi())) {
        prompt.chiedi({modOrdano::Prodotto(), databaseSync.ultimoErrore().testo(), lanvera::Prompt::Icona::Critico});
        return ComandiTerminale::Rifiutato;
    }
    frmGestioneUtenti form(databaseSync, prompt);
    prompt.impostaGenitore(&form);
    form.show();
    return QApplication::exec();
}
