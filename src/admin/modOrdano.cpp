#include "modOrdano.h"

#include "Database.h"
#include "Prompt.h"
#include "Recordset.h"
#include "modArchivio.h"
#include "modCartelle.h"
#include "modIni.h"
#include "modLog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

using lanvera::dao::Database;
using lanvera::dao::Recordset;

namespace modOrdano {

namespace {

bool fallisci(const lanvera::dao::Errore &e, QString *errore)
{
    if (errore) {
        *errore = e.testo();
    }
    return false;
}

} // namespace

QString Prodotto()
{
    return QStringLiteral("Ordano");
}

QString FileListaArchivi()
{
    return lanvera::DataFolder() + QStringLiteral("/Quor.mdb");
}

QString FileIniOrdano()
{
    return lanvera::DataFolder() + QStringLiteral("/Quor.ini");
}

QString FileLogOrdano()
{
    return lanvera::FileLogSync();
}

void PreparaAvvio()
{
    QString chiave = QStringLiteral("Quor");
    lanvera::PreparaCartelle(chiave);
    lanvera::PreparaMotore(lanvera::DataFolder(), lanvera::CartellaProgramma());
    lanvera::PreparaDatabaseSync(FileListaArchivi());
    if (!lanvera::EsisteFile(FileIniOrdano())) {
        QFile::copy(lanvera::CartellaProgramma() + QStringLiteral("/plgLanvera.ini"), FileIniOrdano());
        // The shipped file may be read-only: the copy is ours to change.
        QFile::setPermissions(FileIniOrdano(), QFile::ReadOwner | QFile::WriteOwner);
    }
    lanvera::ImpostaFileIni(FileIniOrdano());
}

bool LeggiArchivi(Database &lista, QList<Archivio> &archivi, QString *errore)
{
    archivi.clear();
    Recordset rs(lista);
    if (!rs.apri(QStringLiteral("SELECT * FROM tblFile ORDER BY Descrizione"))) {
        return fallisci(rs.ultimoErrore(), errore);
    }
    for (; !rs.eof(); rs.muoviProssimo()) {
        archivi.append({rs.valore(QStringLiteral("ID")).toInt(), rs.testo(QStringLiteral("Descrizione")),
                        rs.testo(QStringLiteral("File"))});
    }
    if (rs.ultimoErrore().presente()) {
        return fallisci(rs.ultimoErrore(), errore);
    }
    return true;
}

bool LeggiArchivio(Database &lista, qint32 id, Archivio &archivio, bool &trovato, QString *errore)
{
    trovato = false;
    archivio = {};
    Recordset rs(lista);
    if (!rs.apri(QStringLiteral("SELECT * FROM tblFile WHERE ID=?"), Recordset::Tipo::SoloAvanti, {id})) {
        return fallisci(rs.ultimoErrore(), errore);
    }
    if (!rs.eof()) {
        trovato = true;
        archivio = {id, rs.testo(QStringLiteral("Descrizione")), rs.testo(QStringLiteral("File"))};
    }
    return true;
}

QString ControllaArchivio(const QString &descrizione, const QString &file)
{
    if (descrizione.trimmed().isEmpty()) {
        return QStringLiteral("Specificare una descrizione (di solito il nome del medico)");
    }
    if (file.trimmed().isEmpty()) {
        return QStringLiteral("Specificare il percorso e il nome dell'archivio del medico");
    }
    if (!lanvera::EsisteFile(file)) {
        return QStringLiteral("Il file specificato non esiste");
    }
    return {};
}

bool SalvaArchivio(Database &lista, qint32 id, const QString &descrizione, const QString &file, qint32 &salvato,
                   QString *errore)
{
    salvato = 0;
    Recordset rs(lista);
    if (!rs.apri(QStringLiteral("SELECT * FROM tblFile WHERE ID=?"), Recordset::Tipo::Dynaset, {id})) {
        return fallisci(rs.ultimoErrore(), errore);
    }
    // Only the columns typed here are written: the ID of a new row is the list's own counter.
    if (!(rs.eof() ? rs.aggiungiNuovo() : rs.modifica()) || !rs.imposta(QStringLiteral("Descrizione"), descrizione) ||
        !rs.imposta(QStringLiteral("File"), file) || !rs.aggiorna()) {
        const lanvera::dao::Errore e = rs.ultimoErrore();
        rs.annullaModifica();
        return fallisci(e, errore);
    }
    salvato = rs.valore(QStringLiteral("ID")).toInt();
    return true;
}

bool EliminaArchivio(Database &lista, qint32 id, bool *rimosso, QString *errore)
{
    if (!lista.esegui(QStringLiteral("DELETE FROM tblFile WHERE ID=?"), {id})) {
        return fallisci(lista.ultimoErrore(), errore);
    }
    if (rimosso) {
        *rimosso = lista.righeInteressate() > 0;
    }
    return true;
}

QString TestoConteggio(qsizetype archivi)
{
    if (archivi == 0) {
        return QStringLiteral("Nessun archivio da sincronizzare");
    }
    if (archivi == 1) {
        return QStringLiteral("1 archivio da sincronizzare");
    }
    return QString::number(archivi) + QStringLiteral(" archivi da sincronizzare");
}

QString HostServer()
{
    return lanvera::LeggiIniFile(FileIniOrdano(), QStringLiteral("Setup"), QStringLiteral("Host"));
}

QString TestoServer()
{
    const QString host = HostServer();
    return QStringLiteral("Server: ") + (host.isEmpty() ? QStringLiteral("Non specificato") : host);
}

bool ImpostaServer(const QString &host)
{
    return lanvera::ScriviIni(QStringLiteral("Setup"), QStringLiteral("Host"), host, FileIniOrdano());
}

QString DomandaSincronizza()
{
    return QStringList{QStringLiteral("Avvio manuale della sincronizzazione."),
                       QStringLiteral("Si ricorda che è possibile aggiungere il programma Sync.exe"),
                       QStringLiteral("alle operazioni pianificate di Windows in modo da"),
                       QStringLiteral("avviare la sincronizazione in momenti prestabiliti."),
                       QString(),
                       QStringLiteral("Avviare la sincronizzazione ora?")}
        .join(QStringLiteral("\r\n"));
}

QString MessaggioSyncMancante()
{
    return QStringLiteral("Il file Sync.exe non è stato trovato, pertanto la sincronizzazione non può essere avviata.");
}

QString ProgrammaSync()
{
    const QFileInfo sync(lanvera::CartellaProgramma() + QStringLiteral("/Sync"));
    return sync.isFile() && sync.isExecutable() ? sync.filePath() : QString();
}

bool AvviaSync(lanvera::Prompt &prompt)
{
    const QString sync = ProgrammaSync();
    // Without arguments Sync walks the whole list; it runs on its own, nobody waits for it.
    if (sync.isEmpty() || !QProcess::startDetached(sync, {}, lanvera::CartellaProgramma())) {
        prompt.chiedi({Prodotto(), MessaggioSyncMancante(), lanvera::Prompt::Icona::Esclamazione});
        return false;
    }
    QCoreApplication::processEvents();
    return true;
}

QString TestoFine(const lanvera::StatoArchivio *stato)
{
    if (!stato || stato->ultimo.idFile == 0) {
        return QStringLiteral("mai sincronizzato");
    }
    return stato->ultimo.fine.toString(QStringLiteral("dd/MM/yyyy hh.mm.ss"));
}

QString TestoEsito(const lanvera::StatoArchivio *stato)
{
    if (!stato || stato->ultimo.idFile == 0) {
        return {};
    }
    return stato->ultimo.esito;
}

QHash<qint32, lanvera::StatoArchivio> StatiArchivi(Database &lista)
{
    return lanvera::LeggiStatiArchivi(lista);
}

MostraModale MostraConExec()
{
    return [](QDialog &form) { form.exec(); };
}

} // namespace modOrdano
