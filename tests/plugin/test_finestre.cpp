#include "Module1.h"
#include "PromptPlugin.h"
#include "RisposteTest.h"
#include "StampaQt.h"
#include "frmCreaPassword.h"
#include "frmPassword.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>

#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;
using lanvera::test::RisposteTest;
using Risposta = clinora::Risposte::Risposta;

namespace {

const QString Titolo = u"Clinora Lanvera "_s;

QString avviso(const QString &testo)
{
    return Titolo + u"! "_s + testo;
}

// Results left by an earlier dialog: a dialog that is not confirmed must not touch them.
void risultatiPrecedenti()
{
    Module1::ImpostaDialogoAnnullato(false);
    Module1::ImpostaRisultato1(u"r1"_s);
    Module1::ImpostaRisultato2(u"r2"_s);
    Module1::ImpostaRisultato3(u"r3"_s);
}

QStringList risultati()
{
    return {Module1::Risultato1(), Module1::Risultato2(), Module1::Risultato3()};
}

const QStringList Precedenti{u"r1"_s, u"r2"_s, u"r3"_s};

} // namespace

// Both dialogs take what is typed in Text1(0) and Text1(1): the user name and the password, or the
// new password and its repetition. A message keeps the dialog open as it was.
TEST(DialoghiPassword, ChecksRunInOrderAndOnlyOkGivesResults)
{
    enum Dialogo
    {
        Accesso,
        Nuova
    };
    const QString cf = u"RSSMRA70A01H501U"_s;
    const struct
    {
        Dialogo dialogo;
        QString campo0;
        QString campo1;
        bool ricorda;
        QString messaggio;
        QStringList attesi; // empty: not confirmed
        bool annulla = false;
    } casi[] = {
        {Accesso, u"   "_s, QString(), false, u"Il nome utente non può essere vuoto"_s, {}},
        {Accesso, cf, u"  "_s, false, u"La password non può essere vuota"_s, {}},
        {Accesso, u" "_s + cf + u" "_s, u" x "_s, true, QString(), {cf, u"x"_s, u"1"_s}},
        {Accesso, cf, u"segreto"_s, false, QString(), {cf, u"segreto"_s, u"0"_s}},
        {Accesso, cf, u"segreto"_s, false, QString(), {}, true},
        {Nuova, u"  "_s, u"abcdefgh"_s, false, u"La password non può essere vuota"_s, {}},
        {Nuova, u"abc"_s, u"abd"_s, false, u"Le due password non coincidono"_s, {}},
        {Nuova, u"Abcdefgh"_s, u"abcdefgh"_s, false, u"Le due password non coincidono"_s, {}},
        {Nuova, u"  abcdefg  "_s, u"  abcdefg  "_s, false, u"Le password deve avere almeno 8 caratteri"_s, {}},
        {Nuova, u" abcdefgh"_s, u"abcdefgh  "_s, true, QString(), {u"abcdefgh"_s, u"1"_s, u"r3"_s}},
        {Nuova, u"12345678"_s, u"12345678"_s, false, QString(), {u"12345678"_s, u"0"_s, u"r3"_s}},
        {Nuova, u"12345678"_s, u"12345678"_s, false, QString(), {}, true},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(QString(c.campo0 + u'|' + c.campo1).toStdString());
        risultatiPrecedenti();
        RisposteTest host;
        std::unique_ptr<DialogoPassword> form;
        if (c.dialogo == Accesso) {
            form = std::make_unique<frmPassword>(&host);
        } else {
            form = std::make_unique<frmCreaPassword>(&host);
        }
        EXPECT_TRUE(Module1::DialogoAnnullato());
        form->show();
        form->Text1(0)->setText(c.campo0);
        form->Text1(1)->setText(c.campo1);
        form->Check1()->setChecked(c.ricorda);
        (c.annulla ? form->cmdAnnulla() : form->cmdOK())->click();

        const bool confermato = !c.attesi.isEmpty();
        EXPECT_EQ(host.messaggi, c.messaggio.isEmpty() ? QStringList() : QStringList{avviso(c.messaggio)});
        EXPECT_EQ(form->isVisible(), !confermato && !c.annulla);
        EXPECT_EQ(form->Text1(0)->text(), c.campo0);
        EXPECT_EQ(form->Text1(1)->text(), c.campo1);
        EXPECT_EQ(Module1::DialogoAnnullato(), !confermato);
        EXPECT_EQ(risultati(), confermato ? c.attesi : Precedenti);
    }
}

TEST(DialoghiPassword, ScriptedAnswersGoThroughTheDialog)
{
    const QString cf = u"RSSMRA70A01H501U"_s;
    const QString nome = u"Rossi Mario"_s;
    const struct
    {
        QString dialogo;
        QVariantHash valori;
        bool confermato;
        QStringList messaggi;
        QStringList attesi;
    } casi[] = {
        {u"password"_s, {{u"testo"_s, u" segreto "_s}, {u"ricorda"_s, true}}, true, {}, {cf, u"segreto"_s, u"1"_s}},
        {u"password"_s, {{u"testo"_s, u"segreto"_s}, {u"annulla"_s, true}}, false, {}, Precedenti},
        {u"nuova-password"_s,
         {{u"testo"_s, u"corta"_s}, {u"ripetuto"_s, u"corta"_s}, {u"ricorda"_s, true}},
         false,
         {avviso(u"Le password deve avere almeno 8 caratteri"_s)},
         Precedenti},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.dialogo.toStdString() + ' ' + c.valori.value(u"testo"_s).toString().toStdString());
        risultatiPrecedenti();
        RisposteTest host;
        host.copione.insert(c.dialogo, c.valori);
        const bool confermato = c.dialogo == u"password"_s ? ChiediPassword(&host, cf, nome, nullptr)
                                                           : ChiediNuovaPassword(&host, cf, nome, nullptr);
        EXPECT_EQ(confermato, c.confermato);
        EXPECT_EQ(host.dialoghi, QStringList{c.dialogo});
        EXPECT_EQ(host.messaggi, c.messaggi);
        EXPECT_EQ(Module1::DialogoAnnullato(), !c.confermato);
        EXPECT_EQ(risultati(), c.attesi);
    }
}

TEST(PromptPlugin, MessagesGoToTheHostAndDialogsToItsScript)
{
    using lanvera::Prompt;
    PromptPlugin senzaHost(nullptr);
    EXPECT_EQ(senzaHost.conferma(u"T"_s, u"Sicuro?"_s), Prompt::Risposta::No);

    RisposteTest host;
    PromptPlugin prompt(&host);
    host.risposte = {Risposta::Si, Risposta::Annulla, Risposta::Si};
    EXPECT_EQ(prompt.conferma(u"T"_s, u"Sicuro?"_s), Prompt::Risposta::Si);
    EXPECT_EQ(prompt.conferma(u"T"_s, u"Sicuro?"_s), Prompt::Risposta::No);
    EXPECT_EQ(prompt.chiedi({u"T"_s, u"Fatto"_s, Prompt::Icona::Critico}), Prompt::Risposta::Ok);
    EXPECT_EQ(host.messaggi, (QStringList{u"T ? Sicuro? [Si/No*]"_s, u"T ? Sicuro? [Si/No*]"_s, u"T x Fatto"_s}));

    host.copione.insert(u"salva"_s, {{u"file"_s, u"/tmp/elenco.txt"_s}});
    EXPECT_EQ(prompt.fileDaSalvare(u"Salva Elenco"_s, u"File di testo|*.txt"_s), u"/tmp/elenco.txt"_s);

    QPrinter stampante;
    host.copione.insert(u"stampa"_s, {});
    EXPECT_FALSE(prompt.stampante(stampante));
    host.copione.insert(u"stampa"_s, {{u"pdf"_s, u"/tmp/log.pdf"_s}});
    EXPECT_TRUE(prompt.stampante(stampante));
    EXPECT_EQ(stampante.outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(stampante.outputFileName(), u"/tmp/log.pdf"_s);
}
