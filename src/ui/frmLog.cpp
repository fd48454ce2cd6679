#include "frmLog.h"

#include "BarraStandard.h"
#include "FileTesto.h"
#include "Prompt.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

frmLog::frmLog(const QString &file, const QString &prodotto, lanvera::Prompt &prompt, QWidget *parent)
    : QDialog(parent), m_file(file), m_prodotto(prodotto), m_prompt(prompt), m_Text1(new QPlainTextEdit(this)),
      m_cmdChiudi(new QPushButton(QStringLiteral("Chiudi"), this))
{
    setWindowTitle(QStringLiteral("Log Lanvera"));
    resize(760, 480);

    m_Text1->setObjectName(QStringLiteral("Text1"));
    m_Text1->setReadOnly(true);
    m_Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont carattere(QStringLiteral("Courier New"));
    carattere.setStyleHint(QFont::TypeWriter);
    m_Text1->setFont(carattere);

    m_cmdChiudi->setObjectName(QStringLiteral("cmdChiudi"));
    m_cmdChiudi->setAutoDefault(false);
    connect(m_cmdChiudi, &QPushButton::clicked, this, &frmLog::close);

    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(m_cmdChiudi);
    auto *colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(0, 0, 6, 6);
    colonna->setMenuBar(CostruisciBarra());
    colonna->addWidget(m_Text1);
    colonna->addLayout(pulsanti);

    CaricaLog();
}

frmLog::~frmLog() = default;

void frmLog::Visualizza(const QString &file, const QString &prodotto, lanvera::Prompt &prompt, QWidget *parent)
{
    if (!QFile::exists(file)) {
        prompt.chiedi({prodotto, QStringLiteral("Nessun log da visualizzare")});
        return;
    }
    frmLog form(file, prodotto, prompt, parent);
    form.exec();
}

QToolBar *frmLog::CostruisciBarra()
{
    QToolBar *barra = CreaBarraStandard(this, {{Salva, "&Salva", "Salva il file in formato Excel"},
                                               {Stampa, "&Stampa", "Stampa"},
                                               {Azzera, "&Azzera", "Azzera il log"}});
    connect(barra, &QToolBar::actionTriggered, this, &frmLog::AzioneScelta);
    return barra;
}

void frmLog::AzioneScelta(QAction *azione)
{
    EseguiComando(azione->data().toInt());
}

void frmLog::EseguiComando(int id)
{
    switch (id) {
    case Salva:
        SalvaLog();
        break;
    case Azzera:
        AzzeraLog();
        break;
    case Stampa:
        StampaLog();
        break;
    default:
        break;
    }
}

void frmLog::CaricaLog()
{
    QString testo;
    lanvera::ErroreFile errore;
    if (!lanvera::LeggiTesto(m_file, testo, errore)) {
        MostraErrore(errore, QStringLiteral(" durante l'apertura del file log"));
        return;
    }
    m_Text1->setPlainText(testo);
    // Text1 is at its smallest until the form is laid out: growing keeps the end in view.
    m_Text1->moveCursor(QTextCursor::End);
}

void frmLog::SalvaLog()
{
    const QString nome = m_prompt.fileDaSalvare(QStringLiteral("Salva Elenco"), QStringLiteral("File di testo|*.txt"));
    if (nome.isEmpty()) {
        return;
    }
    lanvera::ErroreFile errore;
    if (!lanvera::ScriviTesto(nome, m_Text1->toPlainText(), errore)) {
        MostraErrore(errore, QStringLiteral(" durante il salvataggio del file"));
    }
}

void frmLog::StampaLog()
{
    QPrinter stampante;
    if (m_prompt.stampante(stampante)) {
        m_Text1->print(&stampante);
    }
}

void frmLog::AzzeraLog()
{
    if (m_prompt.conferma(m_prodotto, QStringLiteral("Pulire permanentemente il contenuto del Log?")) !=
        lanvera::Prompt::Risposta::Si) {
        return;
    }
    lanvera::ErroreFile errore;
    if (!lanvera::EliminaFile(m_file, errore)) {
        MostraErrore(errore, QStringLiteral(" durante la pulitura del file log"));
        return;
    }
    m_Text1->clear();
}

void frmLog::MostraErrore(const lanvera::ErroreFile &errore, const QString &durante)
{
    m_prompt.chiedi({m_prodotto,
                     QStringLiteral("Si è verificato l'errore ") + QString::number(errore.numero) + QLatin1Char(' ') +
                         errore.descrizione + durante,
                     lanvera::Prompt::Icona::Esclamazione});
}
