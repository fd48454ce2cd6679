#pragma once

#include "DialogoPassword.h"

// The password of the doctor for the remote server. Text1(0) is the fiscal code, the user name on
// the server, and Text1(2) the doctor's name, both filled by the caller; Text1(1) is the password.
// Confirmed: Module1's Risultato1 is the user name, Risultato2 the password (both trimmed) and
// Risultato3 "1" or "0" for the check box.
class frmPassword : public DialogoPassword
{
    Q_OBJECT

public:
    explicit frmPassword(clinora::Risposte *risposte, QWidget *parent = nullptr);

protected:
    void Conferma() override;
};

// The dialog for the doctor with fiscal code `cf` and name `nome`: true when confirmed, with the
// results in Module1. The host's script answers dialog "password" with {testo, ricorda}.
bool ChiediPassword(clinora::Risposte *r, const QString &cf, const QString &nome, QWidget *parent);
