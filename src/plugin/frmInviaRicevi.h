#pragma once

#include "ConnessioneServer.h"
#include "ContrattoClinora.h"

#include <QDialog>
#include <QTimer>

struct StatoPlugin;
class QLineEdit;
class QPushButton;

// The plug-in's operation window: every piece of work against the server runs inside it, one
// operation per showing. The caller fills the request, calls Esegui and reads the outcome there.
// The window shows one progress line at a time, writes the archive log and can be cancelled.
class frmInviaRicevi : public QDialog
{
    Q_OBJECT

public:
    explicit frmInviaRicevi(StatoPlugin &stato, QWidget *parent = nullptr);
    ~frmInviaRicevi() override;

    // Shows the window modally and runs the requested operation; its result, also in
    // EsitoOperazione of the request.
    static bool Esegui(StatoPlugin &stato, QWidget *parent = nullptr);

    // The progress line: shown, written to the log, and the interface gets its turn.
    void Messaggio(const QString &testo);
    bool Annullato() const { return m_annullato; }
    // The server connection of the running operation.
    lanvera::ConnessioneServer &server() { return m_server; }

    // "Avvio Autorizzazioni V.<major>.<minor>.<revision>".
    static QString RigaAvvio();
    // The network chart archive of a downloaded patient, in an owner-only folder of its own.
    static QString ArchivioRete();
    // The host's tables of the doctor himself, filled in a network archive from his own archive.
    static QString TabelleDelMedico();
    // The modifications package of the network archive's changed rows of these tables (through
    // the host's archive object when it has that archive open, else directly).
    static bool CreaModifiche(StatoPlugin &stato, const QStringList &tabelle, const QString &archivio, QString &testo,
                              QString &errore);
    // Changes that could not be sent wait here, owner-only, until the next access.
    static QString CartellaUscita(const QString &userDisk);
    // Puts a modifications package in the outbox; false when it could not be written.
    static bool Accantona(const QString &userDisk, const QString &chiave, const QString &medico,
                          const QString &titolare, const QString &pacchetto);

protected:
    void closeEvent(QCloseEvent *evento) override;

private:
    void Avvia();
    bool EseguiOperazione();
    bool Accesso(bool cambioPassword);
    bool IdentificaLocale();
    // After the login: the server's clock offset, and a warning line when this computer's clock is
    // too far from it.
    void VerificaOrologio();
    bool RileggiAutorizzazioni();
    bool InviaAutorizzazioni();
    bool CercaSuServer();
    bool ScaricaPaziente();
    bool InviaModifiche();

    // Keeps the unsent rows of the network archive at that path in the outbox; false when there are
    // some and they cannot be kept.
    bool ConservaNonInviate(const QString &archivio);
    // Copies the package's rows into the network archive, marked as sent.
    bool CopiaCartella(const QString &pacchetto, const QString &archivio, const QString &chiave,
                       const QString &titolare);
    bool Rimozione();
    // Sends what waits in the outbox, oldest first; each leaves it once it is on the server.
    bool SvuotaUscita();
    void Annulla();

    bool Fallisci(const QString &testo);
    void ScriviRiga(const QString &testo, bool errore = false);
    QString LeggiArcItems(const QString &chiave) const;
    bool ScriviArcItems(const QString &chiave, const QString &valore);
    QString ChiavePassword() const;
    // The owner of the chart in the network archive the host has open.
    QString TitolareArchivio() const;
    bool ScriviPasswordServer(const QString &password);

    StatoPlugin &m_stato;
    QLineEdit *m_testo = nullptr;
    QPushButton *m_annulla = nullptr;
    QTimer m_timer;
    lanvera::ConnessioneServer &m_server;
    bool m_annullato = false;
    bool m_inCorso = false;
    bool m_logAttivo = true;
    bool m_erroriInFinestra = true;
    int m_errori = 0;
    QString m_errore;
};
