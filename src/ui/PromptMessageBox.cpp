#include "PromptMessageBox.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QStringList>

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
    return QFileDialog::getSaveFileName(m_genitore, titolo, QString(), FiltroQt(filtro));
}

QString PromptMessageBox::fileDaAprire(const QString &titolo, const QString &filtro, const QString &cartella)
{
    return QFileDialog::getOpenFileName(m_genitore, titolo, cartella, FiltroQt(filtro));
}

bool PromptMessageBox::stampante(QPrinter &stampante)
{
    QPrintDialog dialogo(&stampante, m_genitore);
    return dialogo.exec() == QDialog::Accepted;
}

QString PromptMessageBox::FiltroQt(const QString &filtro)
{
    if (!filtro.contains(QLatin1Char('|'))) {
        return filtro;
    }
    const QStringList pezzi = filtro.split(QLatin1Char('|'));
    QStringList voci;
    for (qsizetype i = 0; i + 1 < pezzi.size(); i += 2) {
        QString modelli = pezzi.at(i + 1);
        modelli.replace(QLatin1Char(';'), QLatin1Char(' '));
        voci << pezzi.at(i) + QStringLiteral(" (") + modelli + QLatin1Char(')');
    }
    return voci.join(QStringLiteral(";;"));
}
