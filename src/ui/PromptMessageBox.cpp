#include "PromptMessageBox.h"

#include <QFileDialog>
#include <QMessageBox>

PromptMessageBox::PromptMessageBox(QWidget *parent) : m_genitore(parent) {}

lanvera::Prompt::Risposta PromptMessageBox::chiedi(const Messaggio &messaggio)
{
    QMessageBox box(m_genitore);
    box.setWindowTitle(messaggio.titolo);
    box.setText(messaggio.testo);
    switch (messaggio.icona) {
    case Icona::Informazione:
        box.setIcon(QMessageBox::Information);
        break;
    case Icona::Domanda:
        box.setIcon(QMessageBox::Question);
        break;
    case Icona::Esclamazione:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icona::Critico:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (messaggio.pulsanti == Pulsanti::SiNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(messaggio.predefinita == Risposta::Si ? QMessageBox::Yes : QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Risposta::Si;
    case QMessageBox::No:
        return Risposta::No;
    default:
        return Risposta::Ok;
    }
}

QString PromptMessageBox::fileDaSalvare(const QString &titolo, const QString &filtro)
{
    return QFileDialog::getSaveFileName(m_genitore, titolo, QString(), filtro);
}
