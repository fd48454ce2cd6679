#include "frmCreaPassword.h"

#include "Module1.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

frmCreaPassword::frmCreaPassword(clinora::Risposte *risposte, QWidget *parent)
    : DialogoPassword(risposte, QStringLiteral("Impostazione Password"),
                      QStringLiteral("Specificare una nuova Password per l'accesso al server remoto"), parent)
{
    AggiungiCampo(QStringLiteral("&Nuova Password"), true, false)->setFocus();
    AggiungiCampo(QStringLiteral("&Ridigita Password"), true, false);
    AggiungiCampo(QStringLiteral("Codice Fiscale"), false, true);
    AggiungiCampo(QStringLiteral("Cognome e Nome"), false, true);
}

void frmCreaPassword::Conferma()
{
    const QString nuova = Text1(0)->text().trimmed();
    if (nuova.isEmpty()) {
        Rifiuta(QStringLiteral("La password non può essere vuota"), Text1(0));
        return;
    }
    if (Text1(1)->text().trimmed() != nuova) {
        Rifiuta(QStringLiteral("Le due password non coincidono"), Text1(1));
        return;
    }
    if (nuova.size() < LunghezzaMinima) {
        Rifiuta(QStringLiteral("Le password deve avere almeno 8 caratteri"), Text1(0));
        return;
    }
    Module1::ImpostaRisultato1(nuova);
    Module1::ImpostaRisultato2(Ricorda());
    Chiudi();
}

bool ChiediNuovaPassword(clinora::Risposte *r, const QString &cf, const QString &nome, QWidget *parent)
{
    frmCreaPassword form(r, parent);
    form.Text1(2)->setText(cf);
    form.Text1(3)->setText(nome);
    return Module1::EseguiDialogo(r, QStringLiteral("nuova-password"), form, *form.cmdAnnulla(),
                                  [&form](const QVariantHash &valori) {
                                      form.Text1(0)->setText(valori.value(QStringLiteral("testo")).toString());
                                      form.Text1(1)->setText(valori.value(QStringLiteral("ripetuto")).toString());
                                      form.Check1()->setChecked(valori.value(QStringLiteral("ricorda")).toBool());
                                      form.cmdOK()->click();
                                  });
}
