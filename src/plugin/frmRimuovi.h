#pragma once

#include "PromptPlugin.h"
#include "clsPaziente.h"

#include <QDialog>
#include <QList>

class ElencoRecord;
class QAction;
class QPushButton;
class QToolBar;

// The doctor's own patients on the server, to tick those whose charts are no longer to be shared
// and whose data the server is to drop. Rows follow the list; Rimuovi, after two confirmations,
// marks the ticked patients (Elimina) and clears Module1's cancelled flag; Chiudi leaves it set.
class frmRimuovi : public QDialog
{
    Q_OBJECT

public:
    // Toolbar ids.
    enum Comando
    {
        SelezionaTutto = 1,
        Rimuovi = 2,
        DeselezionaTutto = 3
    };

    frmRimuovi(clinora::Risposte *risposte, QList<clsPaziente> &lista, QWidget *parent = nullptr);
    ~frmRimuovi() override;

    ElencoRecord *Elenco() const { return m_elenco; }
    QAction *Azione(Comando id) const;
    QPushButton *cmdChiudi() const { return m_cmdChiudi; }

    void EseguiComando(int id);
    // Ticks the patients with these fiscal codes (in any letter case).
    void SpuntaCodici(const QStringList &codici);

private:
    QToolBar *CostruisciBarra();
    void AzioneScelta(QAction *azione);
    void SpuntaTutti(bool spuntati);
    void RimuoviSelezionati();

    PromptPlugin m_prompt;
    QList<clsPaziente> &m_lista;
    ElencoRecord *m_elenco = nullptr;
    QToolBar *m_barra = nullptr;
    QPushButton *m_cmdChiudi = nullptr;
};

// The window over `lista`: true when patients were marked for removal (their Elimina), false when
// it was closed. The host's script answers dialog "rimuovi" with {"cf": the fiscal codes to tick};
// Rimuovi is then pressed and its questions go to the host.
bool ScegliDaRimuovere(clinora::Risposte *r, QList<clsPaziente> &lista, QWidget *parent);
