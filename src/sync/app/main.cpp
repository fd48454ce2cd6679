#include "ConnessioneServer.h"
#include "Database.h"
#include "EsecuzioneSync.h"
#include "PromptMessageBox.h"
#include "frmInviaRicevi.h"
#include "modCartelle.h"
#include "modLog.h"
#include "modSync.h"

#include <QApplication>
#include <QLockFile>

#include <cstdio>
#include <memory>

namespace {

// Without a display (cron, a systemd timer, CI) Sync runs the same run with no tray and no window.
bool senzaSchermo()
{
    const QByteArray piattaforma = qgetenv("QT_QPA_PLATFORM");
    if (piattaforma == "offscreen" || piattaforma == "minimal") {
        return true;
    }
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           piattaforma.isEmpty();
}

} // namespace

// Exit status, for the scheduler, cron and systemd: 0 when every archive of the run ended with
// "Operazione conclusa" (or the list was empty), 1 when any did not, when the server could not be
// reached or the list could not be read. A second instance ends at once with 0.
int main(int argc, char **argv)
{
    const bool headless = senzaSchermo();
    std::unique_ptr<QCoreApplication> app;
    if (headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        app = std::make_unique<QApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("Sync"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LANVERA_VERSION));

    modSync::PreparaCartelleSync();
    // A second Sync ends at once, silently.
    QLockFile istanza(lanvera::DataFolder() + QStringLiteral("/Sync.lock"));
    istanza.setStaleLockTime(0);
    if (!istanza.tryLock(0)) {
        return 0;
    }

    bool autoExit = true;
    modSync::PreparaAvvio();
    const QString rigaComando = modSync::RigaComandoDa(QCoreApplication::arguments());

    // The list is also where each archive's outcome is kept: opened for the one archive of the
    // command line too, though a list that cannot be opened only costs that record then.
    lanvera::dao::Database databaseSync;
    if (!databaseSync.apri(modSync::FileListaArchivi())) {
        const QString errore = databaseSync.ultimoErrore().testo();
        if (rigaComando.isEmpty()) {
            lanvera::ScriviLog(QStringLiteral("Errore: ") + errore, true);
            lanvera::ScriviLog(QStringLiteral("Operazione terminata"));
            lanvera::ScriviLog(QString());
            return 1;
        }
        lanvera::ScriviLog(QStringLiteral("Esito della sincronizzazione non registrato: Errore ") + errore, true);
    }

    EsecuzioneSync esecuzione(lanvera::ServerDB());
    esecuzione.impostaRigaComando(rigaComando);
    esecuzione.impostaListaArchivi(databaseSync.aperto() ? &databaseSync : nullptr);

    if (headless) {
        QObject::connect(&esecuzione, &EsecuzioneSync::Log, [](const QString &riga) {
            std::printf("%s\n", qPrintable(riga));
            std::fflush(stdout);
        });
        const bool esito = modSync::AvviaSincronizzazione([&esecuzione] {
            esecuzione.SincronizzaTutti();
            return esecuzione.TuttiConclusi();
        });
        return esito ? 0 : 1;
    }

    PromptMessageBox prompt;
    auto form = std::make_unique<frmInviaRicevi>(esecuzione, prompt, autoExit);
    prompt.impostaGenitore(form.get());
    const bool esito = modSync::AvviaSincronizzazione([&] {
        form->SincronizzaTray();
        if (autoExit) {
            form.reset();
        }
        return esecuzione.TuttiConclusi();
    });
    databaseSync.chiudi();
    const int stato = esito ? 0 : 1;
    if (autoExit || !form) {
        return stato;
    }
    // The window is open (the user opened it, or there is no tray): the process ends when it is closed.
    QApplication::setQuitOnLastWindowClosed(false);
    form->show();
    QCoreApplication::exec();
    return stato;
}
