#pragma once

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QMainWindow>

class EsecuzioneSync;
class QAction;
class QPlainTextEdit;
class QTimer;
class modTray;
namespace lanvera {
class Prompt;
}

// Sync's window: the lines of the archive logs as they are written, Save, Print and Stop. It stays
// hidden during a run unless the user clicks the tray icon; where the desktop has no notification
// area it shows from the start instead. While a run goes on, closing only hides it.
class frmInviaRicevi : public QMainWindow
{
    Q_OBJECT

public:
    // Toolbar ids.
    enum Comando
    {
        Salva = 1,
        Stop = 2,
        Stampa = 3
    };

    frmInviaRicevi(EsecuzioneSync &esecuzione, lanvera::Prompt &prompt, bool &autoExit, QWidget *parent = nullptr);
    ~frmInviaRicevi() override;

    // Runs the whole list with the tray icon; true when every archive succeeded without error lines.
    bool SincronizzaTray();

    void Sync_Log(const QString &msg);
    void Interrompi();
    void SalvaLog();
    void StampaLog();
    // A click on the tray icon or its balloon.
    void ClicTray();

    bool InCorso() const { return m_inCorso; }
    int Fotogramma() const { return m_fotogramma; }
    QAction *azione(Comando id) const;
    QPlainTextEdit *testoLog() const { return m_txtLog; }
    modTray &tray() const { return *m_tray; }
    // How long the window waits for a tray click after the run (5 seconds).
    void impostaAttesaFinale(int secondi) { m_attesaFinale = secondi; }
    // Whether the desktop shows the tray icon (asked of the desktop by default).
    void impostaTrayDisponibile(bool disponibile) { m_trayDisponibile = disponibile; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CostruisciBarra();
    void ImpostaComandi(bool inCorso);
    void AvanzaFotogramma();
    void AttendiSecondi(int secondi);

    EsecuzioneSync &m_esecuzione;
    lanvera::Prompt &m_prompt;
    bool &m_autoExit;

    QPlainTextEdit *m_txtLog = nullptr;
    QTimer *m_timer2 = nullptr;
    modTray *m_tray = nullptr;
    QList<QIcon> m_fotogrammi;
    int m_fotogramma = 0;
    QDateTime m_scadenzaFumetto;
    bool m_inCorso = false;
    int m_attesaFinale = 5;
    bool m_trayDisponibile;
};
