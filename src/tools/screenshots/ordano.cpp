// lanvera-screenshots-ordano: renders Ordano's list with three made-up archives and their last runs
// (one failed, so its row stands out) and saves it as ordano.png into the folder given as argument
// (docs/images). Its data folder is a temporary one: nothing of the user's is read or written.

#include "Database.h"
#include "Prompt.h"
#include "Scatto.h"
#include "frmGestioneUtenti.h"
#include "modArchivio.h"
#include "modCartelle.h"
#include "modEsitiSync.h"
#include "modIni.h"
#include "modOrdano.h"

#include <QApplication>
#include <QTemporaryDir>

namespace {

bool Ordano(const QString &cartella)
{
    QString chiave = QStringLiteral("Quor");
    lanvera::PreparaCartelle(chiave);
    lanvera::dao::Database lista;
    QString errore;
    if (!lanvera::PreparaDatabaseSync(modOrdano::FileListaArchivi(), &errore) ||
        !lista.apri(modOrdano::FileListaArchivi())) {
        QTextStream(stderr) << "cannot prepare the list: " << errore << '\n';
        return false;
    }
    lanvera::ScriviIniFile(modOrdano::FileIniOrdano(), QStringLiteral("Setup"), QStringLiteral("Host"),
                           QStringLiteral("192.168.1.20"));
    const struct
    {
        const char *descrizione;
        const char *file;
        int oreFa;
        const char *esito;
    } archivi[] = {
        {"Rossi Marco (studio)", "/home/rossi/Clinora/Archivio/Clinora.mdb", 1, "Operazione conclusa"},
        {"Rossi Marco (ambulatorio di Bagnacavallo)", "/srv/clinora/bagnacavallo/Clinora.mdb", 1,
         "Password non valida"},
        {"Bianchi Giulia", "/home/bianchi/Clinora/Archivio/Clinora.mdb", 0, nullptr},
    };
    qint32 id = 0;
    for (const auto &a : archivi) {
        ++id;
        lista.esegui(QStringLiteral("INSERT INTO tblFile (ID, File, Descrizione) VALUES (?, ?, ?)"),
                     {id, QString::fromUtf8(a.file), QString::fromUtf8(a.descrizione)});
        if (a.esito) {
            lanvera::EsitoSync e;
            e.idFile = id;
            e.file = QString::fromUtf8(a.file);
            e.fine = scatti::Adesso().addSecs(-3600 * a.oreFa);
            e.inizio = e.fine.addSecs(-40);
            e.esito = QString::fromUtf8(a.esito);
            e.riuscito = e.esito == QLatin1String("Operazione conclusa");
            e.errori = e.riuscito ? 0 : 1;
            lanvera::RegistraEsito(lista, e);
        }
    }
    lanvera::PromptNonPresidiato prompt;
    frmGestioneUtenti form(lista, prompt);
    form.ImpostaOrologio([] { return scatti::Adesso(); });
    form.resize(1140, 300);
    form.RefreshLista();
    form.MostraServer();
    return scatti::Salva(form, cartella, QStringLiteral("ordano.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir dati;
    qputenv("XDG_DATA_HOME", dati.path().toUtf8());
    QApplication app(argc, argv);
    const QString cartella = scatti::Cartella("lanvera-screenshots-ordano");
    if (cartella.isEmpty()) {
        return 2;
    }
    return Ordano(cartella) ? 0 : 1;
}
