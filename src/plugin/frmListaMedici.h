#pragma once

#include <QDialog>

class ElencoRecord;
class QPushButton;
namespace clinora {
class Risposte;
} // namespace clinora
namespace lanvera {
class ConnessioneServer;
} // namespace lanvera

// The doctors of the group, to choose one for the search on the server. Command1(0) confirms the
// selected doctor (so does a double click): Module1's Risultato1 is his fiscal code, Risultato2 his
// Ulmet value, and the cancelled flag is cleared. Command1(1) closes without a choice.
class frmListaMedici : public QDialog
{
    Q_OBJECT

public:
    explicit frmListaMedici(QWidget *parent = nullptr);
    ~frmListaMedici() override;

    // The active doctors of group `gruppo`, from `quor` on `server`; the doctor himself (fiscal code
    // `cfProprio`) only when `iniHostPresente`. A failure leaves the list as far as it was filled.
    void Carica(lanvera::ConnessioneServer &server, int gruppo, const QString &cfProprio, bool iniHostPresente);

    ElencoRecord *Elenco() const { return m_elenco; }
    QPushButton *Command1(int indice) const { return indice == 0 ? m_scegli : m_annulla; }
    // Selects the doctor with that fiscal code (in any letter case); false when he is not listed.
    bool SelezionaCodice(const QString &cf);

private:
    void SelezioneCambiata();
    void Conferma();

    ElencoRecord *m_elenco = nullptr;
    QPushButton *m_scegli = nullptr;
    QPushButton *m_annulla = nullptr;
};

// The list of the doctors of group `gruppo` on `server` (with `quor` selected): true when one was
// chosen, with the results in Module1. The host's script answers dialog "medico" with {"cf": the
// doctor's fiscal code}, a code not listed ending as cancelled, or {"annulla": true}.
bool ScegliMedico(clinora::Risposte *r, lanvera::ConnessioneServer &server, int gruppo, const QString &cfProprio,
                  bool iniHostPresente, QWidget *parent);
