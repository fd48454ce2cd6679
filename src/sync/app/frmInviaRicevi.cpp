#include "frmInviaRicevi.h"

#include "BarraStandard.h"
#include "EsecuzioneSync.h"
#include "FileTesto.h"
#include "Prompt.h"
#include "modTray.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QToolBar>

namespace {

const QString Prodotto = QStringLiteral("Lanvera");

} // namespace

frmInviaRicevi::frmInviaRicevi(EsecuzioneSync &esecuzione, lanvera::Prompt &prompt, bool &autoExit, QWidget *parent)
    : QMainWindow(parent), m_esecuzione(esecuzione), m_prompt(prompt), m_autoExit(autoExit),
      m_txtLog(new QPlainTextEdit(this)), m_timer2(new QTimer(this)), m_tray(new modTray(this)),
      m_fotogrammi(modTray::Fotogrammi()), m_trayDisponibile(QSystemTrayIcon::isSystemTrayAvailable())
{
    setWindowTitle(QStringLiteral("Sincronizzazione Lanvera"));
    m_txtLog->setReadOnly(true);
    m_txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont carattere = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    carattere.setPointSize(8);
    m_txtLog->setFont(carattere);
    setCentralWidget(m_txtLog);
    resize(760, 420);
    CostruisciBarra();
    ImpostaComandi(false);

    m_timer2->setInterval(200);
    connect(m_timer2, &QTimer::timeout, this, &frmInviaRicevi::AvanzaFotogramma);
    connect(m_tray, &modTray::cliccato, this, &frmInviaRicevi::ClicTray);
    connect(&m_esecuzione, &EsecuzioneSync::Log, this, &frmInviaRicevi::Sync_Log);
}

frmInviaRicevi::~frmInviaRicevi() = default;

void frmInviaRicevi::CostruisciBarra()
{
    QToolBar *barra = CreaBarraStandard(this, {{Salva, "Salva", "Salva il file in formato Excel"},
                                               {Stampa, "Stampa", "Stampa"},
                                               {Stop, "Stop", "Interrompe la sincronizzazione", true}});
    barra->setMovable(false);
    addToolBar(barra);
    connect(barra, &QToolBar::actionTriggered, this, [this](QAction *a) {
        switch (a->data().toInt()) {
        case Salva:
            SalvaLog();
            break;
        case Stampa:
            StampaLog();
            break;
        case Stop:
            Interrompi();
            break;
        default:
            break;
        }
    });
}

QAction *frmInviaRicevi::azione(Comando id) const
{
    const QList<QAction *> azioni = findChildren<QAction *>();
    for (QAction *a : azioni) {
        if (a->data().toInt() == id && !a->isSeparator()) {
            return a;
        }
    }
    return nullptr;
}

void frmInviaRicevi::ImpostaComandi(bool inCorso)
{
    azione(Salva)->setEnabled(!inCorso);
    azione(Stampa)->setEnabled(!inCorso);
    azione(Stop)->setEnabled(inCorso);
}

bool frmInviaRicevi::SincronizzaTray()
{
    ImpostaComandi(true);
    m_fotogramma = 0;
    m_scadenzaFumetto = QDateTime::currentDateTime().addSecs(4);
    m_inCorso = true;
    m_tray->TrayAggiungi(m_fotogrammi.value(0), QStringLiteral("Sincronizzazione Lanvera Clinora"),
                         QStringLiteral("Avvio della sincronizzazione"), QStringLiteral("Lanvera di Clinora"));
    if (!m_trayDisponibile) {
        // No icon to see or click: the window takes its place, or a run started by hand would be
        // invisible. Shown now, it stays after the run as when the user opens it.
        showNormal();
        raise();
        activateWindow();
    }

    m_timer2->start();
    const bool esito = m_esecuzione.SincronizzaTutti();
    m_timer2->stop();

    m_tray->TrayModifica(modTray::Campo::Fumetto, esito ? QStringLiteral("Sincronizzazione terminata con successo")
                                                        : QStringLiteral("Sincronizzazione terminata con errori"));
    m_inCorso = false;
    if (isVisible()) {
        m_autoExit = false;
    }
    ImpostaComandi(false);
    AttendiSecondi(m_attesaFinale);
    return esito;
}

void frmInviaRicevi::AttendiSecondi(int secondi)
{
    const QDateTime fine = QDateTime::currentDateTime().addSecs(secondi);
    while (fine > QDateTime::currentDateTime()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

void frmInviaRicevi::AvanzaFotogramma()
{
    m_fotogramma = m_fotogramma >= 16 ? 0 : m_fotogramma + 1;
    m_tray->TrayModifica(modTray::Campo::Icona, m_fotogrammi.value(m_fotogramma));
    if (m_scadenzaFumetto.isValid() && QDateTime::currentDateTime() > m_scadenzaFumetto) {
        m_tray->TrayModifica(modTray::Campo::Fumetto, QString());
        m_scadenzaFumetto = QDateTime();
    }
}

void frmInviaRicevi::Sync_Log(const QString &msg)
{
    m_txtLog->appendPlainText(msg);
    m_txtLog->verticalScrollBar()->setValue(m_txtLog->verticalScrollBar()->maximum());
    QApplication::processEvents();
}

void frmInviaRicevi::Interrompi()
{
    if (m_prompt.conferma(Prodotto, QStringLiteral("Interrompere l'operazione in corso?")) !=
        lanvera::Prompt::Risposta::Si) {
        return;
    }
    QApplication::processEvents();
    m_esecuzione.Annulla();
}

void frmInviaRicevi::SalvaLog()
{
    const QString nome =
        m_prompt.fileDaSalvare(QStringLiteral("Salva Elenco"), QStringLiteral("File di testo (*.txt)"));
    if (nome.isEmpty()) {
        return;
    }
    lanvera::ErroreFile errore;
    if (!lanvera::ScriviTesto(nome, m_txtLog->toPlainText(), errore)) {
        m_prompt.chiedi({Prodotto, errore.descrizione, lanvera::Prompt::Icona::Esclamazione});
    }
}

void frmInviaRicevi::StampaLog()
{
    QPrinter stampante;
    m_txtLog->print(&stampante);
}

void frmInviaRicevi::ClicTray()
{
    if (!m_inCorso) {
        m_autoExit = false;
    }
    m_tray->TrayModifica(modTray::Campo::Fumetto, QString());
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    raise();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setFocus();
}

void frmInviaRicevi::closeEvent(QCloseEvent *event)
{
    if (m_inCorso) {
        event->ignore();
        hide();
        return;
    }
    m_tray->TrayRimuovi();
    event->accept();
    if (!m_autoExit) {
        QApplication::quit();
    }
}
