#pragma once

#include "DialogoPassword.h"

// A new password of the doctor for the remote server, typed twice: Text1(0) and Text1(1); Text1(2)
// and Text1(3) are the fiscal code and the name, filled by the caller. Confirmed: Module1's
// Risultato1 is the new password (trimmed) and Risultato2 "1" or "0" for the check box.
class frmCreaPassword : public DialogoPassword
{
    Q_OBJECT

public:
    // The shortest password accepted.
    static constexpr qsizetype LunghezzaMinima = 8;

    explicit frmCreaPassword(clinora::Risposte *risposte, QWidget *parent = nullptr);

protected:
    void Conferma() override;
};

// The dialog for the doctor with fiscal code `cf` and name `nome`: true when confirmed, with the
// results in Module1. The host's script answers dialog "nuova-password" with {testo, ripetuto,
// ricorda}.
bool ChiediNuovaPassword(clinora::Risposte *r, const QString &cf, const QString &nome, QWidget *parent);
