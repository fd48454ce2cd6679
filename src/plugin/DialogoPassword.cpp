#include "DialogoPassword.h"

#include "Module1.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

DialogoPassword::DialogoPassword(clinora::Risposte *risposte, const QString &titolo, const QString &testo,
                                 QWidget *parent)
    : QDialog(parent), m_prompt(risposte, this),
      m_Check1(new QCheckBox(QStringLiteral("&Ricorda la password per accesso automatico"), this)),
      m_cmdOK(new QPushButton(QStringLiteral("OK"), this)),
      m_cmdAnnulla(new QPushButton(QStringLiteral("Annulla"), this))
{
    setWindowTitle(QStringLiteral("Lanvera"));
    Module1::ImpostaDialogoAnnullato(true);

    auto *intestazione = new QFrame(this);
    intestazione->setAutoFillBackground(true);
    intestazione->setBackgroundRole(QPalette::Base);
    intestazione->setFrameShape(QFrame::StyledPanel);
    auto *lblTitolo = new QLabel(titolo, intestazione);
    QFont grassetto = lblTitolo->font();
    grassetto.setBold(true);
    lblTitolo->setFont(grassetto);
    auto *lblTesto = new QLabel(testo, intestazione);
    lblTesto->setWordWrap(true);
    auto *righeIntestazione = new QVBoxLayout(intestazione);
    righeIntestazione->addWidget(lblTitolo);
    righeIntestazione->addWidget(lblTesto);

    m_Check1->setObjectName(QStringLiteral("Check1"));
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdAnnulla->setObjectName(QStringLiteral("cmdAnnulla"));
    auto *pulsanti = new QDialogButtonBox(this);
    pulsanti->addButton(m_cmdOK, QDialogButtonBox::AcceptRole);
    pulsanti->addButton(m_cmdAnnulla, QDialogButtonBox::RejectRole);
    // The buttons answer here, not through the box's accepted and rejected.
    connect(m_cmdOK, &QPushButton::clicked, this, &DialogoPassword::Conferma);
    connect(m_cmdAnnulla, &QPushButton::clicked, this, &DialogoPassword::reject);

    m_corpo = new QVBoxLayout;
    auto *colonna = new QVBoxLayout(this);
    colonna->addWidget(intestazione);
    colonna->addLayout(m_corpo);
    colonna->addWidget(m_Check1);
    colonna->addStretch();
    colonna->addWidget(pulsanti);
}

QLineEdit *DialogoPassword::AggiungiCampo(const QString &etichetta, bool password, bool solaLettura)
{
    if (!m_campi) {
        m_campi = new QFormLayout;
        m_corpo->addLayout(m_campi);
    }
    auto *campo = new QLineEdit(this);
    campo->setObjectName(QStringLiteral("Text1_%1").arg(m_Text1.size()));
    campo->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
    campo->setReadOnly(solaLettura);
    if (solaLettura) {
        campo->setFocusPolicy(Qt::NoFocus);
    }
    m_campi->addRow(etichetta, campo);
    m_Text1 << campo;
    return campo;
}

void DialogoPassword::Rifiuta(const QString &messaggio, QLineEdit *campo)
{
    m_prompt.avviso(messaggio);
    campo->setFocus();
}

QString DialogoPassword::Ricorda() const
{
    return m_Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

void DialogoPassword::Chiudi()
{
    Module1::ImpostaDialogoAnnullato(false);
    accept();
}
