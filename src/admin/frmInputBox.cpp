#include "frmInputBox.h"

#include "Intestazione.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmInputBox::frmInputBox(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Messaggio"));
    auto *colonna = new QVBoxLayout(this);
    m_titolo = AggiungiIntestazione(*colonna, QStringLiteral("Richiesta input"),
                                    QStringLiteral("Specificare il testo desiderato e fare clic sul tasto OK"))
                   .first;

    m_domanda = new QLabel(this);
    m_domanda->setObjectName(QStringLiteral("lblDomanda"));
    m_Text1 = new QLineEdit(this);
    m_Text1->setObjectName(QStringLiteral("Text1"));
    m_domanda->setBuddy(m_Text1);
    colonna->addWidget(m_domanda);
    colonna->addWidget(m_Text1);

    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    const QString testi[] = {QStringLiteral("OK"), QStringLiteral("&Annulla")};
    for (int i = 0; i < 2; ++i) {
        m_cmdPulsante[i] = new QPushButton(testi[i], this);
        m_cmdPulsante[i]->setObjectName(QStringLiteral("cmdPulsante%1").arg(i));
        pulsanti->addWidget(m_cmdPulsante[i]);
    }
    m_cmdPulsante[0]->setDefault(true);
    colonna->addLayout(pulsanti);

    connect(m_cmdPulsante[0], &QPushButton::clicked, this, &frmInputBox::Conferma);
    connect(m_cmdPulsante[1], &QPushButton::clicked, this, &QDialog::reject);
}

void frmInputBox::Imposta(const QString &domanda, const QString &titolo, const QString &predefinito)
{
    m_titolo->setText(titolo);
    m_domanda->setText(domanda);
    m_Text1->setText(predefinito);
    m_Text1->selectAll();
}

QPushButton *frmInputBox::Pulsante(int indice) const
{
    return indice >= 0 && indice < 2 ? m_cmdPulsante[indice] : nullptr;
}

void frmInputBox::Conferma()
{
    m_testo = m_Text1->text();
    m_annullato = false;
    accept();
}

QString ChiediTesto(const QString &domanda, const QString &titolo, const QString &predefinito, bool *annullato,
                    QWidget *genitore, const modOrdano::MostraModale &mostra)
{
    frmInputBox form(genitore);
    form.Imposta(domanda, titolo, predefinito);
    (mostra ? mostra : modOrdano::MostraConExec())(form);
    if (annullato) {
        *annullato = form.DialogoAnnullato();
    }
    return form.DialogoAnnullato() ? QString() : form.TestoDialogo();
}
