#pragma once

#include "ContrattoClinora.h"
#include "StatoPlugin.h"

#include <QObject>
#include <QPointer>
#include <QString>

class frmMDI;
namespace lanvera {
class ConnessioneServer;
}

// The plug-in object that Clinora creates: it receives the host's values and windows, checks the
// archive's structure and answers the host's commands. The exported entry point derives from it.
class PlugIn : public QObject, public clinora::PlugIn
{
    Q_OBJECT
    Q_INTERFACES(clinora::PlugIn)

public:
    explicit PlugIn(QObject *parent = nullptr);
    ~PlugIn() override;

    void InitVariables(QVariantHash &variables) override;
    void VerificaStruttura(clinora::ClsDB &db, const QString &versione, const QString &disk, const QString &userDisk,
                           const QString &commonDisk) override;
    bool AutoDiagnosi() override;
    void SetForm(clinora::Finestra &frm, QVariantHash &variables) override;
    void Execute(const QString &param) override;
    bool PluginFunction(QVariantList &param) override;

    // The plug-in's product name, the title of its message boxes.
    static QString NomeProdotto() { return QStringLiteral("Clinora Lanvera"); }

    bool PluginDisattivato() const { return m_disattivato; }
    bool IniHostPresente() const { return m_stato.iniHostPresente; }
    bool SatpeAttivo() const { return m_stato.satpeAttivo; }
    StatoPlugin &Stato() { return m_stato; }
    qint32 IDLocazione() const { return m_idLocazione; }
    qint32 IDPaziente() const { return m_idPaziente; }

    // The sibling plug-in's SATPE file: true when it is there and the archive takes part in SOLE.
    bool VerificaSatpe();
    // Puts the doctor's own SATPE file back after a colleague's chart was open.
    void RipristinaSatpe();
    // While a colleague's chart is open, the SATPE file names its owner (read from the server on
    // the open connection); the doctor's own file waits beside it as ".org".
    void ImpostaSatpe(const QString &cf, lanvera::ConnessioneServer &server);

private:
    clinora::Risposte::Risposta Messaggio(const QString &testo, clinora::Risposte::Icona icona,
                                          clinora::Risposte::Pulsanti pulsanti = clinora::Risposte::Pulsanti::Ok,
                                          clinora::Risposte::Risposta predefinita = clinora::Risposte::Risposta::Ok);
    void LeggiVariabili(const QVariantHash &variables);
    void ScaricaDaRicerca(QVariantList &param);
    void ScriviLog(const QString &testo, bool errore = false);
    // The Gestione button: opens the network panel, or brings it forward.
    void ApriPannello();
    // The search window's "Cerca su server": the colleagues' patients in the host's list.
    void CercaSuServer();
    // A chart window closes: a downloaded chart's changes go back to its owner.
    void ChiusuraCartella();
    void InviaModifichePaziente(const QString &nome, const QString &chiave);
    void CreaBarraPannello();
    void PannelloChiuso();

    bool m_disattivato = false;
    bool m_pannelloAperto = false;
    QString m_fileSatpe;
    qint32 m_idLocazione = 0;
    qint32 m_idPaziente = 0;
    QString m_firma;
    qint32 m_coloreSfondo = 0;

    QPointer<clinora::FinestraPrincipale> m_frmMain;
    QPointer<clinora::FinestraRicerca> m_frmRicerca;
    QPointer<clinora::FinestraFiglia> m_myForm;
    QPointer<frmMDI> m_pannello;

    StatoPlugin m_stato;
};
