#include "frmPassword.h"

#include "Module1.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmPassword::frmPassword(clinora::Risposte *risposte, QWidget *parent)
    : DialogoPassword(risposte, QStringLiteral("Accesso al server remoto"),
                      QStringLiteral("Specificare la Password per accedere al server"), parent)
{
    // The fingerprint reader has no part in the access yet: only its place in the dialog.
    auto *impronta = new QFrame(this);
    impronta->setObjectName(QStringLiteral("Impronta"));
    impronta->setFrameShape(QFrame::StyledPanel);
    auto *righe = new QVBoxLayout(impronta);
    righe->addWidget(
        new QLabel(QStringLiteral("Posizionare l'impronta digitale e attendere qualche secondo oppure"), impronta));
    righe->addWidget(new QLabel(QStringLiteral("digita la password"), impronta));
    auto *stato = new QLabel(QStringLiteral("lettura impronta digitale"), impronta);
    stato->setEnabled(false);
    righe->addWidget(stato);
    Corpo()->addWidget(impronta);

    AggiungiCampo(QStringLiteral("Codice Fiscale"), false, true);
    AggiungiCampo(QStringLiteral("&Password"), true, false)->setFocus();
    AggiungiCampo(QStringLiteral("Cognome e Nome"), false, true);
}

void frmPassword::Conferma()
{
    const QString utente = Text1(0)->text().trimmed();
    if (utente.isEmpty()) {
        Rifiuta(QStringLiteral("Il nome utente non può essere vuoto"), Text1(0));
        return;
    }
    const QString password = Text1(1)->text().trimmed();
    if (password.isEmpty()) {
        Rifiuta(QStringLiteral("La password non può essere vuota"), Text1(1));
        return;
    }
    Module1::ImpostaRisultato1(utente);
    Module1::ImpostaRisultato2(password);
    Module1::ImpostaRisultato3(Ricorda());
    Chiudi();
}

bool ChiediPassword(clinora::Risposte *r, const QString &cf, const QString &nome, QWidget *parent)
{
    frmPassword form(r, parent);
    form.Text1(0)->setText(cf);
    form.Text1(2)->setText(nome);
    return Module1::EseguiDialogo(r, QStringLiteral("password"), form, *form.cmdAnnulla(),
                                  [&form](const QVariantHash &valori) {
                                      form.Text1(1)->setText(valori.value(QStringLiteral("testo")).toString());
                                      form.Check1()->setChecked(valori.value(QStringLiteral("ricorda")).toBool());
                                      form.cmdOK()->click();
                                  });
}
