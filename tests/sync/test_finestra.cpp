#include "EsecuzioneSync.h"
#include "Prompt.h"
#include "SyncFixture.h"
#include "clsSincronizza.h"
#include "frmInviaRicevi.h"
#include "modArchivio.h"
#include "modCartelle.h"
#include "modLog.h"
#include "modTray.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QSet>
#include <QSystemTrayIcon>
#include <QToolBar>

using namespace lanvera;
using lanvera::dao::Database;

namespace {

// Answers the window's questions as a test tells it, and remembers them.
class PromptCopione : public Prompt
{
public:
    Risposta chiedi(const Messaggio &messaggio) override
    {
        domande << messaggio;
        return risposte.isEmpty() ? messaggio.predefinita : risposte.takeFirst();
    }
    QString fileDaSalvare(const QString &titolo, const QString &filtro) override
    {
        titoliFile << titolo + QLatin1Char('|') + filtro;
        return file;
    }
    bool stampante(QPrinter &) override { return false; }

    QList<Risposta> risposte;
    QList<Messaggio> domande;
    QStringList titoliFile;
    QString file;
};

class FinestraTest : public lanvera::test::SyncFixture
{
protected:
    void SetUp() override
    {
        SyncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        QString chiave = QStringLiteral("Quor");
        PreparaCartelle(chiave);
        ASSERT_TRUE(CreaDatabaseSync(percorso(QStringLiteral("Quor.mdb"))));
        ASSERT_TRUE(m_lista.apri(percorso(QStringLiteral("Quor.mdb"))));
        m_esecuzione.impostaListaArchivi(&m_lista);
        m_form.impostaAttesaFinale(0);
        // As on a desktop with a notification area; the window is opened by a click.
        m_form.impostaTrayDisponibile(true);
        registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
        // The window's engine keeps the real clock.
        impostaOraServer({});
    }

    void archivi(int quanti)
    {
        for (int i = 0; i < quanti; ++i) {
            const QString nome = QStringLiteral("A%1").arg(i);
            QDir().mkpath(percorso(nome));
            ASSERT_TRUE(m_lista.esegui(QStringLiteral("INSERT INTO tblFile (File, Descrizione) VALUES (?, ?)"),
                                       {generaArchivio(nome + QStringLiteral("/Archivio.mdb"), 3), nome}));
        }
    }

    // Calls `azione` once, on the first log line that ends with `fine`.
    void alRigo(const QString &fine, std::function<void()> azione)
    {
        auto fatto = std::make_shared<bool>(false);
        QObject::connect(&m_esecuzione, &EsecuzioneSync::Log, &m_form, [=](const QString &riga) {
            if (!*fatto && riga.endsWith(fine)) {
                *fatto = true;
                azione();
            }
        });
    }

    Database m_lista;
    EsecuzioneSync m_esecuzione{m_server};
    PromptCopione m_prompt;
    bool m_autoExit = true;
    frmInviaRicevi m_form{m_esecuzione, m_prompt, m_autoExit};
};

TEST_F(FinestraTest, ToolbarCommandsSwapDuringARun)
{
    EXPECT_EQ(m_form.windowTitle(), QStringLiteral("Sincronizzazione Lanvera"));
    QToolBar *barra = m_form.findChild<QToolBar *>(QStringLiteral("Standard"));
    ASSERT_NE(barra, nullptr);
    QStringList voci;
    for (QAction *a : barra->actions()) {
        voci << (a->isSeparator() ? QStringLiteral("|")
                                  : a->text() + QLatin1Char(':') + a->toolTip() + QLatin1Char(':') +
                                        QString::number(a->data().toInt()));
    }
    EXPECT_EQ(voci,
              (QStringList{QStringLiteral("Salva:Salva il file in formato Excel:1"), QStringLiteral("Stampa:Stampa:3"),
                           QStringLiteral("|"), QStringLiteral("Stop:Interrompe la sincronizzazione:2")}));

    archivi(1);
    QList<bool> durante;
    alRigo(QStringLiteral("Identificazione"), [&] {
        durante = {m_form.azione(frmInviaRicevi::Salva)->isEnabled(),
                   m_form.azione(frmInviaRicevi::Stampa)->isEnabled(), m_form.azione(frmInviaRicevi::Stop)->isEnabled(),
                   m_form.InCorso()};
    });
    EXPECT_TRUE(m_form.SincronizzaTray());
    EXPECT_EQ(durante, (QList<bool>{false, false, true, true}));
    EXPECT_TRUE(m_form.azione(frmInviaRicevi::Salva)->isEnabled());
    EXPECT_TRUE(m_form.azione(frmInviaRicevi::Stampa)->isEnabled());
    EXPECT_FALSE(m_form.azione(frmInviaRicevi::Stop)->isEnabled());
    EXPECT_FALSE(m_form.InCorso());

    EXPECT_EQ(m_form.tray().tooltip(), QStringLiteral("Sincronizzazione Lanvera Clinora"));
    EXPECT_EQ(m_form.tray().titolo(), QStringLiteral("Lanvera di Clinora"));
    EXPECT_EQ(m_form.tray().fumetto(), QStringLiteral("Sincronizzazione terminata con successo"));
    EXPECT_TRUE(m_form.testoLog()->toPlainText().contains(QStringLiteral("Operazione conclusa")));
    EXPECT_TRUE(m_autoExit) << "nobody opened the window";
}

TEST_F(FinestraTest, StopAsksFirstAndOnlyYesCancels)
{
    archivi(2);
    m_prompt.risposte = {Prompt::Risposta::No, Prompt::Risposta::Si};
    alRigo(QStringLiteral("Identificazione"), [&] { m_form.azione(frmInviaRicevi::Stop)->trigger(); });
    alRigo(QStringLiteral("Analisi pazienti in locale"), [&] { m_form.azione(frmInviaRicevi::Stop)->trigger(); });
    EXPECT_FALSE(m_form.SincronizzaTray());
    ASSERT_EQ(m_prompt.domande.size(), 2);
    const Prompt::Messaggio &d = m_prompt.domande.first();
    EXPECT_EQ(d.testo, QStringLiteral("Interrompere l'operazione in corso?"));
    EXPECT_EQ(d.titolo, QStringLiteral("Lanvera"));
    EXPECT_EQ(d.icona, Prompt::Icona::Domanda);
    EXPECT_EQ(d.pulsanti, Prompt::Pulsanti::SiNo);
    EXPECT_EQ(d.predefinita, Prompt::Risposta::No);
    EXPECT_EQ(m_form.tray().fumetto(), QStringLiteral("Sincronizzazione terminata con errori"));
    const QString testo = m_form.testoLog()->toPlainText();
    EXPECT_EQ(testo.count(QStringLiteral("Operazione annullata dall'utente")), 1);
    EXPECT_EQ(testo.count(QStringLiteral("Avvio Sincronizzazione V.")), 1) << "the second archive never starts";
}

TEST_F(FinestraTest, ClosingDuringARunOnlyHides)
{
    archivi(1);
    m_form.show();
    bool visibileDopo = true;
    alRigo(QStringLiteral("Identificazione"), [&] {
        m_form.close();
        visibileDopo = m_form.isVisible();
    });
    EXPECT_TRUE(m_form.SincronizzaTray());
    EXPECT_FALSE(visibileDopo);
    EXPECT_TRUE(m_autoExit) << "opened and hidden again before the end: as if never opened";
}

TEST_F(FinestraTest, WindowOpenedDuringTheRunStaysAfterIt)
{
    archivi(1);
    alRigo(QStringLiteral("Identificazione"), [&] { m_form.ClicTray(); });
    EXPECT_TRUE(m_form.SincronizzaTray());
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_FALSE(m_autoExit);
}

TEST_F(FinestraTest, WithoutATrayTheWindowShowsForTheRunAndStays)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has no tray";
    bool autoExit = true;
    frmInviaRicevi form{m_esecuzione, m_prompt, autoExit};
    form.impostaAttesaFinale(0);
    archivi(1);
    bool visibileDurante = false;
    alRigo(QStringLiteral("Identificazione"), [&] { visibileDurante = form.isVisible() && !form.isMinimized(); });
    EXPECT_TRUE(form.SincronizzaTray());
    EXPECT_TRUE(visibileDurante);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(autoExit) << "it stays until closed, as when opened by a click";
}

TEST_F(FinestraTest, ClickAfterTheEndKeepsTheWindow)
{
    EXPECT_TRUE(m_form.SincronizzaTray());
    EXPECT_TRUE(m_autoExit);
    m_form.ClicTray();
    EXPECT_FALSE(m_autoExit);
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_TRUE(m_form.tray().fumetto().isEmpty());
}

TEST_F(FinestraTest, ListThatCannotBeReadIsOneErrorLineOfTheRunLog)
{
    ASSERT_TRUE(m_lista.esegui(QStringLiteral("DROP TABLE tblFile")));
    QFile::remove(FileLogSync());
    EXPECT_FALSE(m_form.SincronizzaTray());
    const QStringList log = messaggi(FileLogSync(), 0);
    ASSERT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log.first().startsWith(QStringLiteral("ERR ")));
    EXPECT_EQ(log.first().mid(24), QStringLiteral("Errore: 1 no such table: tblFile"));
}

TEST_F(FinestraTest, SaveWritesTheShownLog)
{
    archivi(1);
    EXPECT_TRUE(m_form.SincronizzaTray());
    m_prompt.file = percorso(QStringLiteral("log salvato.txt"));
    m_form.azione(frmInviaRicevi::Salva)->trigger();
    EXPECT_EQ(m_prompt.titoliFile, QStringList{QStringLiteral("Salva Elenco|File di testo (*.txt)")});
    QFile f(m_prompt.file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray scritto = f.readAll();
    EXPECT_EQ(scritto, m_form.testoLog()->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toUtf8());
    EXPECT_TRUE(scritto.contains("Operazione conclusa\r\n"));

    // cancelling the dialog writes nothing
    m_prompt.file.clear();
    QFile::remove(percorso(QStringLiteral("log salvato.txt")));
    m_form.azione(frmInviaRicevi::Salva)->trigger();
    EXPECT_FALSE(QFile::exists(percorso(QStringLiteral("log salvato.txt"))));
}

TEST(TrayTest, SeventeenDistinctFrames)
{
    const QList<QIcon> fotogrammi = modTray::Fotogrammi();
    ASSERT_EQ(fotogrammi.size(), 17);
    QSet<QByteArray> immagini;
    for (const QIcon &icona : fotogrammi) {
        ASSERT_FALSE(icona.isNull());
        const QImage img = icona.pixmap(16, 16).toImage();
        immagini.insert(QByteArray(reinterpret_cast<const char *>(img.constBits()), img.sizeInBytes()));
    }
    EXPECT_EQ(immagini.size(), 17);
}

} // namespace
