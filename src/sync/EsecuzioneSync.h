#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace lanvera {
class ConnessioneServer;
namespace dao {
class Database;
}
} // namespace lanvera
class clsSincronizza;

// One run of Sync over its archives: the one archive of the command line, or every archive of the
// list in Quor.mdb ordered by description. Archives are processed one after another; a failed one
// does not stop the others. The outcome of each goes to the run log "Quor.log".
class EsecuzioneSync : public QObject
{
    Q_OBJECT

public:
    explicit EsecuzioneSync(lanvera::ConnessioneServer &server, QObject *parent = nullptr);
    ~EsecuzioneSync() override;

    // The whole command line, taken as the path of one archive; empty to run the list.
    void impostaRigaComando(const QString &riga) { m_rigaComando = riga; }
    // The open list of archives (Quor.mdb), used when the command line is empty.
    void impostaListaArchivi(lanvera::dao::Database *databaseSync) { m_databaseSync = databaseSync; }
    // Called on every new engine before it runs (the tests set its clock this way).
    void impostaPreparazioneMotore(std::function<void(clsSincronizza &)> prepara) { m_prepara = std::move(prepara); }

    // True when every archive completed and no error line was written. A list that cannot be read
    // ends the run: "Errore: <n> <text>" goes to the run log and stays in UltimoErrore().
    bool SincronizzaTutti();
    // Stop: the archive in progress ends as cancelled and no further archive starts.
    void Annulla();

    bool Annullato() const { return m_annullato; }
    QString ArchivioCorrente() const { return m_archivioCorrente; }
    QString UltimoErrore() const { return m_ultimoErrore; }

Q_SIGNALS:
    // Every line the engine writes to an archive log, as written.
    void Log(const QString &msg);

private:
    bool sincronizzaArchivio(const QString &file, qint32 &totaleErrori);

    lanvera::ConnessioneServer &m_server;
    lanvera::dao::Database *m_databaseSync = nullptr;
    QString m_rigaComando;
    clsSincronizza *m_sync = nullptr;
    bool m_annullato = false;
    QString m_archivioCorrente;
    QString m_ultimoErrore;
    std::function<void(clsSincronizza &)> m_prepara;
};
