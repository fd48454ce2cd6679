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

    lanvera::dao::Database databaseSync;
    if (rigaComando.isEmpty() && !databaseSync.apri(modSync::FileListaArchivi())) {
        lanvera::ScriviLog(QStringLiteral("Errore: ") + databaseSync.ultimoErrore().testo(), true);
        lanvera::ScriviLog(QStringLiteral("Operazione terminata"));
        lanvera::ScriviLog(QString());
        return 0;
    }

    EsecuzioneSync esecuzione(lanvera::ServerDB());
    esecuzione.impostaRigaComando(rigaComando);
    esecuzione.impostaListaArchivi(rigaComando.isEmpty() ? &databaseSync : nullptr);

    if (headless) {
        QObject::connect(&esecuzione, &EsecuzioneSync::Log, [](const QString &riga) {
            std::printf("%s\n", qPrintable(riga));
            std::fflush(stdout);
        });
        modSync::AvviaSincronizzazione([&esecuzione] { esecuzione.SincronizzaTutti(); });
        return 0;
    }

    PromptMessageBox prompt;
    auto form = std::make_unique<frmInviaRicevi>(esecuzione, prompt, autoExit);
    prompt.impostaGenitore(form.get());
    modSync::AvviaSincronizzazione([&] {
        form->SincronizzaTray();
        if (autoExit) {
            form.reset();
        }
    });
    databaseSync.chiudi();
    if (autoExit || !form) {
        return 0;
    }
    // The user opened the window: the process ends when he closes it.
    QApplication::setQuitOnLastWindowClosed(false);
    form->show();
    return QCoreApplication::exec();
}
