#include "ComandiTerminale.h"

#include "Database.h"
#include "modCartelle.h"
#include "modOrdano.h"

#include <QProcess>
#include <QTextStream>

#include <functional>
#include <map>

using lanvera::dao::Database;

namespace ComandiTerminale {

namespace {

struct Contesto
{
    const QStringList &argomenti; // the command's own arguments
    QTextStream &uscita;
    QTextStream &errori;
};

struct Comando
{
    int argomenti;
    std::function<int(Contesto &)> esegui;
};

bool leggiID(const QString &testo, qint32 &id)
{
    bool ok = false;
    id = testo.toInt(&ok);
    return ok && id > 0;
}

int apriLista(Database &lista, QTextStream &errori)
{
    if (!lista.apri(modOrdano::FileListaArchivi())) {
        errori << lista.ultimoErrore().testo() << Qt::endl;
        return Rifiutato;
    }
    return Fatto;
}

int elenco(Contesto &c)
{
    Database lista;
    if (apriLista(lista, c.errori) != Fatto) {
        return Rifiutato;
    }
    QList<modOrdano::Archivio> archivi;
    QString errore;
    if (!modOrdano::LeggiArchivi(lista, archivi, &errore)) {
        c.errori << QStringLiteral("Lettura lista: Errore ") << errore << Qt::endl;
        return Rifiutato;
    }
    const QHash<qint32, lanvera::StatoArchivio> stati = modOrdano::StatiArchivi(lista);
    for (const modOrdano::Archivio &a : std::as_const(archivi)) {
        const auto trovato = stati.constFind(a.id);
        const lanvera::StatoArchivio *stato = trovato == stati.cend() ? nullptr : &*trovato;
        c.uscita << a.id << '\t' << a.descrizione << '\t' << a.file << '\t' << modOrdano::TestoFine(stato) << '\t'
                 << modOrdano::TestoEsito(stato) << Qt::endl;
    }
    c.errori << modOrdano::TestoConteggio(archivi.size()) << Qt::endl;
    return Fatto;
}

// --aggiungi DESCRIZIONE FILE and --modifica ID DESCRIZIONE FILE.
int salva(Contesto &c, qint32 id, const QString &descrizione, const QString &file)
{
    const QString controllo = modOrdano::ControllaArchivio(descrizione, file);
    if (!controllo.isEmpty()) {
        c.errori << controllo << Qt::endl;
        return Rifiutato;
    }
    Database lista;
    if (apriLista(lista, c.errori) != Fatto) {
        return Rifiutato;
    }
    if (id != 0) {
        modOrdano::Archivio archivio;
        bool trovato = false;
        QString errore;
        if (!modOrdano::LeggiArchivio(lista, id, archivio, trovato, &errore)) {
            c.errori << QStringLiteral("Lettura archivio: Errore ") << errore << Qt::endl;
            return Rifiutato;
        }
        // A terminal names the row: one that is not there is not made anew under another ID.
        if (!trovato) {
            c.errori << QStringLiteral("Nessun archivio con ID %1 nella lista").arg(id) << Qt::endl;
            return Rifiutato;
        }
    }
    qint32 salvato = 0;
    QString errore;
    if (!modOrdano::SalvaArchivio(lista, id, descrizione, file, salvato, &errore)) {
        c.errori << QStringLiteral("Salvataggio archivio: Errore ") << errore << Qt::endl;
        return Rifiutato;
    }
    c.uscita << salvato << Qt::endl;
    return Fatto;
}

int aggiungi(Contesto &c)
{
    return salva(c, 0, c.argomenti.at(0), c.argomenti.at(1));
}

int modifica(Contesto &c)
{
    qint32 id = 0;
    if (!leggiID(c.argomenti.at(0), id)) {
        c.errori << QStringLiteral("ID non valido: ") << c.argomenti.at(0) << Qt::endl;
        return ArgomentiErrati;
    }
    return salva(c, id, c.argomenti.at(1), c.argomenti.at(2));
}

int rimuovi(Contesto &c)
{
    qint32 id = 0;
    if (!leggiID(c.argomenti.at(0), id)) {
        c.errori << QStringLiteral("ID non valido: ") << c.argomenti.at(0) << Qt::endl;
        return ArgomentiErrati;
    }
    Database lista;
    if (apriLista(lista, c.errori) != Fatto) {
        return Rifiutato;
    }
    bool rimosso = false;
    QString errore;
    if (!modOrdano::EliminaArchivio(lista, id, &rimosso, &errore)) {
        c.errori << QStringLiteral("Eliminazione archivio: Errore ") << errore << Qt::endl;
        return Rifiutato;
    }
    if (!rimosso) {
        c.errori << QStringLiteral("Nessun archivio con ID %1 nella lista").arg(id) << Qt::endl;
        return Rifiutato;
    }
    return Fatto;
}

int server(Contesto &c)
{
    if (!modOrdano::ImpostaServer(c.argomenti.at(0))) {
        c.errori << QStringLiteral("Impossibile scrivere il file ") << modOrdano::FileIniOrdano() << Qt::endl;
        return Rifiutato;
    }
    c.errori << modOrdano::TestoServer() << Qt::endl;
    return Fatto;
}

int sincronizza(Contesto &c)
{
    const QString sync = modOrdano::ProgrammaSync();
    if (sync.isEmpty()) {
        c.errori << modOrdano::MessaggioSyncMancante() << Qt::endl;
        return Rifiutato;
    }
    c.uscita.flush();
    c.errori.flush();
    // Sync's lines pass straight through; its status is ours.
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.setWorkingDirectory(lanvera::CartellaProgramma());
    p.start(sync, {});
    if (!p.waitForStarted() || !p.waitForFinished(-1)) {
        c.errori << QStringLiteral("Sync: ") << p.errorString() << Qt::endl;
        return Rifiutato;
    }
    if (p.exitStatus() != QProcess::NormalExit) {
        c.errori << QStringLiteral("Sync si è interrotto") << Qt::endl;
        return Rifiutato;
    }
    return p.exitCode();
}

int aiuto(Contesto &c)
{
    c.uscita << Uso();
    return Fatto;
}

const std::map<QString, Comando> &comandi()
{
    static const std::map<QString, Comando> tutti{
        {QStringLiteral("--elenco"), {0, elenco}},     {QStringLiteral("--aggiungi"), {2, aggiungi}},
        {QStringLiteral("--modifica"), {3, modifica}}, {QStringLiteral("--rimuovi"), {1, rimuovi}},
        {QStringLiteral("--server"), {1, server}},     {QStringLiteral("--sincronizza"), {0, sincronizza}},
        {QStringLiteral("--help"), {0, aiuto}},
    };
    return tutti;
}

} // namespace

bool Richiesto(const QStringList &argomenti)
{
    return !argomenti.isEmpty();
}

QString Uso()
{
    return QStringLiteral("Uso: Ordano [COMANDO]\n"
                          "Senza comando apre la finestra con la lista degli archivi da sincronizzare.\n"
                          "\n"
                          "  --elenco                            un archivio per riga: ID, descrizione, file,\n"
                          "                                      fine e esito dell'ultima sincronizzazione\n"
                          "  --aggiungi DESCRIZIONE FILE         aggiunge un archivio (scrive il suo ID)\n"
                          "  --modifica ID DESCRIZIONE FILE      cambia un archivio della lista\n"
                          "  --rimuovi ID                        toglie un archivio dalla lista\n"
                          "  --server HOST                       imposta l'indirizzo del server\n"
                          "  --sincronizza                       avvia Sync, ne attende la fine e ne restituisce\n"
                          "                                      lo stato\n"
                          "  --help                              questo testo\n"
                          "\n"
                          "Stato di uscita: 0 fatto, 1 rifiutato, 2 argomenti errati.\n");
}

int Esegui(const QStringList &argomenti, QTextStream &uscita, QTextStream &errori)
{
    const auto trovato = argomenti.isEmpty() ? comandi().end() : comandi().find(argomenti.first());
    if (trovato == comandi().end() || argomenti.size() - 1 != trovato->second.argomenti) {
        errori << Uso();
        errori.flush();
        return ArgomentiErrati;
    }
    const QStringList propri = argomenti.mid(1);
    Contesto c{propri, uscita, errori};
    const int esito = trovato->second.esegui(c);
    uscita.flush();
    errori.flush();
    return esito;
}

} // namespace ComandiTerminale
