#pragma once

#include <QDate>
#include <QString>
#include <QVariantHash>

#include <functional>

class QAbstractButton;
class QDialog;
namespace clinora {
class Risposte;
} // namespace clinora

// The plug-in's general routines.
namespace Module1 {

// The stored form of a doctor's password: clsAES::EncryptStr of it, or the empty text for an
// empty password (no password set).
QString CifraPassword(const QString &testo);

// Whole years from a date of birth ("dd/mm/yyyy") to `oggi`; 0 for a text that is not a date and
// for a date not in the past.
int EtaDaData(const QString &data, const QDate &oggi);

// The outcome of the plug-in's last dialog. Every dialog sets the cancelled flag when it loads and
// clears it, with the result texts it gives, only when it is confirmed; a cancelled dialog leaves
// the result texts as they were.
bool DialogoAnnullato();
void ImpostaDialogoAnnullato(bool annullato);
QString Risultato1();
QString Risultato2();
QString Risultato3();
void ImpostaRisultato1(const QString &testo);
void ImpostaRisultato2(const QString &testo);
void ImpostaRisultato3(const QString &testo);

// Runs a loaded dialog of the plug-in. When the host answers dialog `nome` from its script,
// `compila` fills the dialog from the values and presses its confirming button, or `annulla` is
// pressed for "annulla": the dialog's own checks and messages run as for a person, and a check
// that keeps it open ends the attempt as cancelled. Otherwise the user gets the dialog, modally.
// True when the dialog was confirmed.
bool EseguiDialogo(clinora::Risposte *risposte, const QString &nome, QDialog &dialogo, QAbstractButton &annulla,
                   const std::function<void(const QVariantHash &)> &compila);

} // namespace Module1
