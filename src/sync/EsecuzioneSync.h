#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace lanvera {
class ConnessioneServer;
struct EsitoSync;
namespace dao {
class Database;
}
} // namespace lanvera
class clsSincronizza;

// One run of Sync over its archives: the one archive of the command line, or every archive of the
// list in Quor.mdb ordered by description. Archives are processed one after another; a failed one
// does not stop the others. The outcome of each goes to the run log "Quor.log" and, for an archive
// of the list, to the list's table of outcomes.
class EsecuzioneSync : public QObject
{
    Q_OBJECT

public:
    explicit EsecuzioneSync(lanvera::ConnessioneServer &server, QObject *parent = nullptr);
    ~EsecuzioneSync() override;

    // The whole command line, taken as the path of one archive; empty to run the list.
    void impostaRigaComando(const QString &riga) { m_rigaComando = riga; }
    // The open list of archives (Quor.mdb): the archives to run when the command line is empty, and
    // where every listed archive's outcome is kept (that of the command line's archive too, when the
    // list holds it). Without it nothing is recorded.
    void impostaListaArchivi(lanvera::dao::Database *databaseSync) { m_databaseSync = databaseSync; }
    // Called on every new engine before it runs (the tests set its clock this way).
    void impostaPreparazioneMotore(std::function<void(clsSincronizza &)> prepara) { m_prepara = std::move(prepara); }

    // True when every archive completed and no error line was written. A list that cannot be read
    // ends the run: "Errore: <n> <text>" goes to the run log and stays in UltimoErrore().
    bool SincronizzaTutti();
    // Stop: the archive in progress ends as cancelled and no further archive starts.
    void Annulla();

    // True when every archive of the latest run ended with "Operazione conclusa" (a run without
    // archives included); false too when the list could not be read.
    bool TuttiConclusi() const { return m_tuttiConclusi; }

    bool Annullato() const { return m_annullato; }
    QString ArchivioCorrente() const { return m_archivioCorrente; }
    QString UltimoErrore() const { return m_ultimoErrore; }

Q_SIGNALS:
    // Every line the engine writes to an archive log, as written.
    void Log(const QString &msg);

private:
    // `idFile`: the archive's rows in the list, whose outcome is recorded.
    bool sincronizzaArchivio(const QString &file, const QList<qint32> &idFile, qint32 &totaleErrori);
    // The list's rows of the command line's archive; false with the reason when the list cannot be read.
    bool righeDelFile(const QString &file, QList<qint32> &idFile, QString &errore);
    void registraEsiti(const QList<qint32> &idFile, const lanvera::EsitoSync &esito);

    lanvera::ConnessioneServer &m_server;
    lanvera::dao::Database *m_databaseSync = nullptr;
    QString m_rigaComando;
    clsSincronizza *m_sync = nullptr;
    bool m_annullato = false;
    bool m_tuttiConclusi = true;
    QString m_archivioCorrente;
    QString m_ultimoErrore;
    std::function<void(clsSincronizza &)> m_prepara;
};
