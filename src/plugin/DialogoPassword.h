#pragma once

#include "PromptPlugin.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// What the two password dialogs share: a header with a title and a text, a column of fields
// (`Text1`, by index in the order they are added), the check box that keeps the password for
// automatic access, OK and Annulla. Loading sets Module1's cancelled flag; Annulla closes and
// leaves it set, OK runs the dialog's checks.
class DialogoPassword : public QDialog
{
    Q_OBJECT

public:
    QLineEdit *Text1(int indice) const { return m_Text1.value(indice); }
    QCheckBox *Check1() const { return m_Check1; }
    QPushButton *cmdOK() const { return m_cmdOK; }
    QPushButton *cmdAnnulla() const { return m_cmdAnnulla; }

protected:
    DialogoPassword(clinora::Risposte *risposte, const QString &titolo, const QString &testo, QWidget *parent);

    // The next field of `Text1`, under the header and whatever was added to Corpo() before it.
    QLineEdit *AggiungiCampo(const QString &etichetta, bool password, bool solaLettura);
    QVBoxLayout *Corpo() const { return m_corpo; }

    // OK pressed: the checks, their messages and, when they pass, the results.
    virtual void Conferma() = 0;
    // A check failed: its message; the dialog stays open on `campo`.
    void Rifiuta(const QString &messaggio, QLineEdit *campo);
    // The checks passed: the check box as the result "1" or "0" is the caller's to store.
    QString Ricorda() const;
    void Chiudi();

private:
    PromptPlugin m_prompt;
    QVBoxLayout *m_corpo = nullptr;
    QFormLayout *m_campi = nullptr;
    QList<QLineEdit *> m_Text1;
    QCheckBox *m_Check1 = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdAnnulla = nullptr;
};
