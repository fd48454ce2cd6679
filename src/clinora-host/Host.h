#pragma once

#include "ArchivioHost.h"
#include "ContrattoClinora.h"

#include <QObject>
#include <QPluginLoader>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

class frmMain;

// The host's answers: real message boxes, or, in script mode, printed lines and queued answers.
class RisposteHost : public clinora::Risposte
{
public:
    Risposta Messaggio(const QString &titolo, const QString &testo, Icona icona, Pulsanti pulsanti,
                       Risposta predefinita) override;
    bool Dialogo(const QString &nome, QVariantHash &valori) override;

    // Script mode: every message is written here, and answers come from the queues.
    void impostaScript(std::function<void(const QString &)> scrivi) { m_scrivi = std::move(scrivi); }
    bool inScript() const { return static_cast<bool>(m_scrivi); }
    void accodaRisposta(Risposta risposta) { m_risposte.push_back(risposta); }
    void accodaDialogo(const QString &nome, const QVariantHash &valori) { m_dialoghi.push_back({nome, valori}); }
    // The first question or dialog that found no answer, empty when none did.
    QString senzaRisposta() const { return m_senzaRisposta; }

private:
    std::function<void(const QString &)> m_scrivi;
    std::deque<Risposta> m_risposte;
    std::deque<std::pair<QString, QVariantHash>> m_dialoghi;
    QString m_senzaRisposta;
};

// Clinora as it stands in for the real one: its archive, its windows, its plug-in.
class Host : public QObject
{
    Q_OBJECT

public:
    struct Opzioni
    {
        QString archivio;
        QString plugin;
        QString versione = QStringLiteral("05.01.0000");
    };

    explicit Host(const Opzioni &opzioni, QObject *parent = nullptr);
    ~Host() override;

    // Loads the plug-in and hands it the host's values: false with the reason (a plug-in of
    // another contract version among them). The host then runs without it.
    bool caricaPlugin();
    QString errore() const { return m_errore; }
    // Opens an archive as the host does: the plug-in checks its structure. The doctor's own archive
    // stays his own when the host switches to a network archive (`proprio` false).
    bool apri(const QString &percorso, bool proprio = true);
    // A host command to the plug-in.
    bool comando(QVariantList &param);
    // The next switch to another archive is refused, as a host that cannot open it would (tests).
    void rifiutaCambio() { m_rifiutaCambio = true; }
    // Brings the archive at that path to the host's structure (the tables it lacks, from the open
    // archive) and fills the listed tables from the open archive. False with the reason in the
    // host's log.
    bool aggiornaDatabase(const QString &percorso, const QString &tabelle);
    // The host's own log of what failed: "Clinora.log" in UserDisk.
    void scriviLog(const QString &testo);

    frmMain &finestra() { return *m_main; }
    RisposteHost &risposte() { return m_risposte; }
    ArchivioHost &archivio() { return m_archivio; }
    clinora::PlugIn *plugin() const { return m_plugin; }

    // Where the plug-in is looked for by default: below the program's folder, else beside it.
    static QString PluginPredefinito();
    // The host's data folders below $XDG_DATA_HOME/Clinora.
    static QString UserDisk();
    static QString CommonDisk();

private:
    QVariantHash variabili() const;
    void finestraAperta(clinora::Finestra &finestra);

    Opzioni m_opzioni;
    ArchivioHost m_archivio;
    QString m_proprio; // the doctor's own archive
    bool m_rifiutaCambio = false;
    RisposteHost m_risposte;
    std::unique_ptr<frmMain> m_main;
    QPluginLoader m_loader;
    clinora::PlugIn *m_plugin = nullptr;
    QString m_errore;
};
