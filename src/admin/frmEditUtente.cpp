#include "frmEditUtente.h"

#include "Intestazione.h"
#include "Prompt.h"
#include "modCartelle.h"
#include "modOrdano.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

frmEditUtente::frmEditUtente(lanvera::dao::Database &lista, lanvera::Prompt &prompt, qint32 idArchivio, QWidget *parent)
    : QDialog(parent), m_lista(lista), m_prompt(prompt), m_idArchivio(idArchivio)
{
    setWindowTitle(QStringLiteral("Archivio da sincronizzare"));
    resize(560, 260);
    auto *colonna = new QVBoxLayout(this);
    AggiungiIntestazione(*colonna, QStringLiteral("Archivio"),
                         QStringLiteral("Compilare i campi con i dati dell'archivio da sincronizzare"));

    m_tab = new QTabWidget(this);
    auto *utente = new QWidget(m_tab);
    auto *campi = new QFormLayout(utente);
    const QString etichette[] = {QStringLiteral("&Descrizione:"), QStringLiteral("Archivio Clinora")};
    for (int i = 0; i < 2; ++i) {
        m_Text1[i] = new QLineEdit(utente);
        m_Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        m_Text1[i]->installEventFilter(this);
        auto *etichetta = new QLabel(etichette[i], utente);
        etichetta->setBuddy(m_Text1[i]);
        campi->addRow(etichetta, m_Text1[i]);
    }
    m_tab->addTab(utente, QStringLiteral("Utente"));
    colonna->addWidget(m_tab);

    auto *pulsanti = new QHBoxLayout;
    const QString testi[] = {QStringLiteral("&Salva"), QStringLiteral("Chiudi"), QStringLiteral("&Sfoglia")};
    for (int i = 0; i < 3; ++i) {
        m_cmdPulsante[i] = new QPushButton(testi[i], this);
        m_cmdPulsante[i]->setObjectName(QStringLiteral("cmdPulsante%1").arg(i));
        m_cmdPulsante[i]->setAutoDefault(false);
    }
    pulsanti->addWidget(m_cmdPulsante[2]);
    pulsanti->addStretch();
    pulsanti->addWidget(m_cmdPulsante[0]);
    pulsanti->addWidget(m_cmdPulsante[1]);
    colonna->addLayout(pulsanti);

    connect(m_cmdPulsante[0], &QPushButton::clicked, this, &frmEditUtente::Salva);
    connect(m_cmdPulsante[1], &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdPulsante[2], &QPushButton::clicked, this, &frmEditUtente::Sfoglia);

    if (m_idArchivio != 0) {
        modOrdano::Archivio archivio;
        bool trovato = false;
        QString errore;
        if (!modOrdano::LeggiArchivio(m_lista, m_idArchivio, archivio, trovato, &errore)) {
            Messaggio(QStringLiteral("Lettura archivio: Errore ") + errore);
        }
        m_Text1[0]->setText(archivio.descrizione);
        m_Text1[1]->setText(archivio.file);
    }
    m_tab->setCurrentIndex(0);
}

QLineEdit *frmEditUtente::Campo(int indice) const
{
    return indice >= 0 && indice < 2 ? m_Text1[indice] : nullptr;
}

QPushButton *frmEditUtente::Pulsante(int indice) const
{
    return indice >= 0 && indice < 3 ? m_cmdPulsante[indice] : nullptr;
}

bool frmEditUtente::eventFilter(QObject *oggetto, QEvent *evento)
{
    if (evento->type() == QEvent::FocusIn) {
        for (QLineEdit *campo : m_Text1) {
            // After the click that gave the focus has placed the cursor.
            if (oggetto == campo) {
                QTimer::singleShot(0, campo, &QLineEdit::selectAll);
            }
        }
    }
    return QDialog::eventFilter(oggetto, evento);
}

void frmEditUtente::Sfoglia()
{
    const QString scelto =
        m_prompt.fileDaAprire(QStringLiteral("Percorso"),
                              // The host's archives are not always named as it names its own: any file may be picked.
                              QStringLiteral("Archivio Clinora (clinora.mdb)|Clinora.mdb;Pazienti.xml|Tutti i file|*"),
                              lanvera::CartellaProgramma());
    if (!scelto.isEmpty()) {
        m_Text1[1]->setText(scelto);
    }
}

void frmEditUtente::Salva()
{
    const QString descrizione = m_Text1[0]->text();
    const QString file = m_Text1[1]->text();
    const QString controllo = modOrdano::ControllaArchivio(descrizione, file);
    if (!controllo.isEmpty()) {
        Messaggio(controllo);
        return;
    }
    qint32 salvato = 0;
    QString errore;
    if (!modOrdano::SalvaArchivio(m_lista, m_idArchivio, descrizione, file, salvato, &errore)) {
        Messaggio(QStringLiteral("Salvataggio archivio: Errore ") + errore);
        return;
    }
    m_annullato = false;
    m_idArchivio = salvato;
    m_testo = descrizione;
    m_file = file;
    accept();
}

void frmEditUtente::Messaggio(const QString &testo)
{
    m_prompt.chiedi({modOrdano::Prodotto(), testo, lanvera::Prompt::Icona::Esclamazione});
}
