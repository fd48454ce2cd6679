// lanvera-screenshots-sync: renders Sync's window with a few made-up log lines of a run and saves it
// as sync.png into the folder given as argument (docs/images). Meant for QT_QPA_PLATFORM=offscreen:
// nothing runs and no window waits for the user.

#include "ConnessioneServer.h"
#include "EsecuzioneSync.h"
#include "Prompt.h"
#include "Scatto.h"
#include "frmInviaRicevi.h"
#include "modLog.h"

#include <QApplication>

namespace {

bool Sync(const QString &cartella)
{
    lanvera::ConnessioneServer server;
    EsecuzioneSync esecuzione(server);
    lanvera::PromptNonPresidiato prompt;
    bool autoExit = true;
    frmInviaRicevi form(esecuzione, prompt, autoExit);
    const struct
    {
        int secondi;
        const char *testo;
        bool errore;
    } voci[] = {
        {0, "Avvio Sincronizzazione V.1.0.0", false},
        {1, "Identificazione", false},
        {1, "Verifico modifiche su server", false},
        {2, "Analisi pazienti su server", false},
        {3, "Analisi pazienti in locale", false},
        {4, "Verifico dati da sincronizzare", false},
        {5, "Invio di Ferrari Laura", false},
        {8, "Scarico cartella di Galli Paolo", false},
        {11, "Scarico cartella di Ricci Franco", false},
        {14, "Operazione conclusa", false},
    };
    for (const auto &v : voci) {
        form.Sync_Log(lanvera::FormattaVoceLog(QString::fromUtf8(v.testo), v.errore, lanvera::TagSync,
                                               scatti::Adesso().addSecs(v.secondi)));
    }
    return scatti::Salva(form, cartella, QStringLiteral("sync.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString cartella = scatti::Cartella("lanvera-screenshots-sync");
    if (cartella.isEmpty()) {
        return 2;
    }
    return Sync(cartella) ? 0 : 1;
}
