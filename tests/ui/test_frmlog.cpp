#include "PromptCopione.h"
#include "PromptMessageBox.h"
#include "StampaQt.h"
#include "frmLog.h"
#include "modLog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using lanvera::test::PromptCopione;
using Risposta = lanvera::Prompt::Risposta;

namespace {

const QString Lanvera = u"Lanvera"_s;

QByteArray contenuto(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString errore(int numero, const char *durante)
{
    return u"Lanvera ! Si è verificato l'errore "_s + QString::number(numero) + u' ' +
           QString::fromLocal8Bit(std::strerror(numero)) + QString::fromUtf8(durante);
}

class LogTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // `voci` entries written as the programs write them; the bytes of the file.
    QByteArray scriviLog(int voci)
    {
        const QDateTime inizio(QDate(2026, 3, 4), QTime(10, 0));
        for (int i = 0; i < voci; ++i) {
            const QString messaggio = u"Voce %1: perché è così\nseconda riga"_s.arg(i);
            lanvera::AccodaVoceLog(
                m_file, lanvera::FormattaVoceLog(messaggio, i % 7 == 0, lanvera::TagSync, inizio.addSecs(i)));
        }
        return contenuto(m_file);
    }

    static QList<QAction *> azioni(const frmLog &form) { return form.findChild<QToolBar *>(u"Standard"_s)->actions(); }
    static QPlainTextEdit *testo(const frmLog &form) { return form.findChild<QPlainTextEdit *>(u"Text1"_s); }
    static void premi(const frmLog &form, int id)
    {
        for (QAction *a : azioni(form)) {
            if (a->data().toInt() == id) {
                a->trigger();
            }
        }
    }

    QTemporaryDir m_dir;
    QString m_file = m_dir.filePath(u"Lanvera.log"_s);
    PromptCopione m_prompt;
};

TEST_F(LogTest, CallersGetTheFormOnlyWhenThereIsALog)
{
    // Closes with Chiudi whatever form comes up modally.
    QStringList aperti;
    QTimer chiusura;
    QObject::connect(&chiusura, &QTimer::timeout, [&aperti] {
        if (auto *form = qobject_cast<frmLog *>(QApplication::activeModalWidget())) {
            aperti << form->windowTitle();
            form->findChild<QPushButton *>(u"cmdChiudi"_s)->click();
        }
    });
    chiusura.start(0);

    frmLog::Visualizza(m_file, Lanvera, m_prompt);
    EXPECT_TRUE(aperti.isEmpty());
    EXPECT_EQ(m_prompt.domande, QStringList{u"Lanvera i Nessun log da visualizzare"_s});

    scriviLog(1);
    frmLog::Visualizza(m_file, Lanvera, m_prompt);
    EXPECT_EQ(aperti, QStringList{u"Log Lanvera"_s});
    EXPECT_EQ(m_prompt.domande.size(), 1);
}

TEST_F(LogTest, LongLogOpensAtItsEnd)
{
    const QByteArray scritto = scriviLog(3000);
    frmLog form(m_file, Lanvera, m_prompt);
    form.show();

    QStringList voci;
    for (QAction *a : azioni(form)) {
        voci << a->text() + u':' + a->toolTip() + u':' + QString::number(a->data().toInt());
    }
    EXPECT_EQ(voci, (QStringList{u"&Salva:Salva il file in formato Excel:1"_s, u"&Stampa:Stampa:3"_s,
                                 u"&Azzera:Azzera il log:2"_s}));
    const QPlainTextEdit *t = testo(form);
    EXPECT_TRUE(m_prompt.domande.isEmpty());
    EXPECT_EQ(t->toPlainText(), QString::fromUtf8(scritto).replace(u"\r\n"_s, u"\n"_s));
    EXPECT_TRUE(t->textCursor().atEnd());
    EXPECT_GT(t->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(t->verticalScrollBar()->value(), t->verticalScrollBar()->maximum());
}

TEST_F(LogTest, LogThatCannotBeReadIsReported)
{
    frmLog form(m_dir.path(), Lanvera, m_prompt);
    EXPECT_EQ(m_prompt.domande, QStringList{errore(EISDIR, " durante l'apertura del file log")});
    EXPECT_TRUE(testo(form)->toPlainText().isEmpty());
}

TEST_F(LogTest, SaveWritesTheLogAsShown)
{
    const QByteArray scritto = scriviLog(20);
    const struct
    {
        const char *nome; // chosen in the dialog, beside the log; empty when cancelled
        int numero;       // errno of a failed write
    } casi[] = {{"salvato.txt", 0}, {"", 0}, {"manca/salvato.txt", ENOENT}};
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        PromptCopione prompt;
        prompt.file = *c.nome ? m_dir.filePath(QString::fromUtf8(c.nome)) : QString();
        premi(frmLog(m_file, Lanvera, prompt), frmLog::Salva);
        EXPECT_EQ(prompt.dialoghi, QStringList{u"Salva Elenco|File di testo|*.txt"_s});
        const bool salvato = *c.nome && !c.numero;
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), salvato ? 2 : 1);
        EXPECT_EQ(salvato, contenuto(prompt.file) == scritto);
        EXPECT_EQ(prompt.domande,
                  c.numero ? QStringList{errore(c.numero, " durante il salvataggio del file")} : QStringList());
        QFile::remove(prompt.file);
    }
}

TEST_F(LogTest, ClearAsksAndOnlyYesDeletesTheLog)
{
    const QByteArray scritto = scriviLog(5);
    frmLog form(m_file, Lanvera, m_prompt);
    m_prompt.risposte = {Risposta::No, Risposta::Si};
    premi(form, frmLog::Azzera);
    EXPECT_EQ(m_prompt.domande, QStringList{u"Lanvera ? Pulire permanentemente il contenuto del Log? [Si/No*]"_s});
    EXPECT_EQ(contenuto(m_file), scritto);
    EXPECT_FALSE(testo(form)->toPlainText().isEmpty());

    premi(form, frmLog::Azzera);
    EXPECT_EQ(m_prompt.domande.size(), 2);
    EXPECT_FALSE(QFile::exists(m_file));
    EXPECT_TRUE(testo(form)->toPlainText().isEmpty());
}

TEST_F(LogTest, FailedDeletionKeepsTheText)
{
    scriviLog(5);
    frmLog form(m_file, Lanvera, m_prompt);
    const QString mostrato = testo(form)->toPlainText();
    // Something put a folder that is not empty where the log was: not even the superuser can
    // delete it as a file.
    ASSERT_TRUE(QFile::remove(m_file));
    ASSERT_TRUE(QDir().mkpath(m_file + u"/dentro"_s));
    m_prompt.risposte = {Risposta::Si};
    premi(form, frmLog::Azzera);
    ASSERT_EQ(m_prompt.domande.size(), 2);
    EXPECT_EQ(m_prompt.domande[1], errore(ENOTEMPTY, " durante la pulitura del file log"));
    EXPECT_EQ(testo(form)->toPlainText(), mostrato);
}

TEST_F(LogTest, PrintGoesThroughThePrintDialog)
{
    scriviLog(200);
    for (const bool stampa : {false, true}) {
        PromptCopione prompt;
        prompt.stampa = stampa;
        prompt.pdf = m_dir.filePath(u"stampa.pdf"_s);
        premi(frmLog(m_file, Lanvera, prompt), frmLog::Stampa);
        EXPECT_EQ(prompt.dialoghi, QStringList{u"stampa"_s});
        EXPECT_EQ(contenuto(prompt.pdf).startsWith("%PDF"), stampa) << stampa;
    }
}

TEST(PromptMessageBoxTest, FiltersReachTheDialogInQtForm)
{
    const char *casi[][2] = {
        {"File di testo|*.txt", "File di testo (*.txt)"},
        {"File di testo (*.txt)", "File di testo (*.txt)"},
        {"Testo|*.txt|Log|*.log;*.txt", "Testo (*.txt);;Log (*.log *.txt)"},
    };
    for (const auto &c : casi) {
        EXPECT_EQ(PromptMessageBox::FiltroQt(QString::fromUtf8(c[0])), QString::fromUtf8(c[1])) << c[0];
    }
}

} // namespace
