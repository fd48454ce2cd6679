#include "ElencoRecord.h"
#include "Module1.h"
#include "PromptPlugin.h"
#include "RisposteTest.h"
#include "StampaQt.h"
#include "frmCreaPassword.h"
#include "frmPassword.h"
#include "frmRimuovi.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QToolBar>

#include <functional>
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

QString domanda(const QString &testo)
{
    return Titolo + u"? "_s + testo + u" [Si/No*]"_s;
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

namespace {

class Rimuovi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *righe[][4] = {{"K1", "RSSMRA70A01H501U", "Rossi", "Mario"},
                                  {"K2", "BNCLCU65B41F205X", "Bianchi", "Lucia"},
                                  {"K3", "VRDGPP80C03L219Z", "Verdi", "Giuseppe"}};
        for (const auto &r : righe) {
            clsPaziente p;
            p.KeyPaziente = QString::fromLatin1(r[0]);
            p.CF = QString::fromLatin1(r[1]);
            p.Cognome = QString::fromLatin1(r[2]);
            p.Nome = QString::fromLatin1(r[3]);
            m_lista << p;
        }
    }

    // The rows of `quante` for which `vero` holds.
    static QList<int> righe(qsizetype quante, const std::function<bool(int)> &vero)
    {
        QList<int> trovate;
        for (int i = 0; i < quante; ++i) {
            if (vero(i)) {
                trovate << i;
            }
        }
        return trovate;
    }
    static QList<int> spuntati(const frmRimuovi &form)
    {
        return righe(form.Elenco()->Records(), [&form](int i) { return form.Elenco()->Spuntato(i); });
    }
    QList<int> marcati() const
    {
        return righe(m_lista.size(), [this](int i) { return m_lista.at(i).Elimina; });
    }

    static inline const QString Attenzione =
        u"ATTENZIONE: La rimozione comporta che la cartella del paziente non sia più condivisa e \r\ni dati presenti "
        u"sul server completamente eliminati.\r\n\r\nRimuovere completamente dal server i pazienti selezionati?"_s;
    static inline const QString Riconferma =
        u"RICONFERMA: Procedo all'eliminazione sul server dei pazienti selezionati?"_s;

    QList<clsPaziente> m_lista;
    RisposteTest m_host;
};

} // namespace

TEST_F(Rimuovi, RowsFollowTheListNoRowDisablesTheButtonsSelectAllAsks)
{
    QList<clsPaziente> vuota;
    for (QList<clsPaziente> *lista : {&m_lista, &vuota}) {
        frmRimuovi form(&m_host, *lista);
        form.show();
        const ElencoRecord &e = *form.Elenco();
        const bool righe = !lista->isEmpty();
        EXPECT_EQ(e.Records(), lista->size());
        EXPECT_EQ(e.TestoVuoto()->isVisible(), !righe);
        for (auto id : {frmRimuovi::SelezionaTutto, frmRimuovi::DeselezionaTutto, frmRimuovi::Rimuovi}) {
            EXPECT_EQ(form.Azione(id)->isEnabled(), righe);
        }
        if (!righe) {
            continue;
        }
        EXPECT_EQ(e.Tag(1).toString(), u"K2"_s);
        EXPECT_EQ((QStringList{e.Cella(1, 0), e.Cella(1, 1), e.Cella(1, 2), e.Cella(1, 3)}),
                  (QStringList{QString(), u"Bianchi"_s, u"Lucia"_s, u"BNCLCU65B41F205X"_s}));
        EXPECT_TRUE(spuntati(form).isEmpty());

        // Select all asks first, deselect all does not.
        form.Elenco()->Spunta(1, true);
        m_host.risposte = {Risposta::No, Risposta::Si};
        form.EseguiComando(frmRimuovi::SelezionaTutto);
        EXPECT_EQ(spuntati(form), QList<int>{1});
        form.EseguiComando(frmRimuovi::SelezionaTutto);
        EXPECT_EQ(spuntati(form), (QList<int>{0, 1, 2}));
        EXPECT_EQ(m_host.messaggi, QStringList(2, domanda(u"Selezionare tutti i pazienti?"_s)));
        form.EseguiComando(frmRimuovi::DeselezionaTutto);
        EXPECT_TRUE(spuntati(form).isEmpty());
        EXPECT_EQ(m_host.messaggi.size(), 2);
    }
}

TEST_F(Rimuovi, RemovalNeedsTicksAndTwoConfirmations)
{
    const struct
    {
        QList<int> spunte;
        QList<Risposta> risposte;
        QStringList messaggi;
        QList<int> marcati;
    } casi[] = {
        {{}, {}, {avviso(u"Nessun paziente selezionato"_s)}, {}},
        {{0, 2}, {Risposta::No}, {domanda(Attenzione)}, {}},
        {{0, 2}, {Risposta::Si, Risposta::No}, {domanda(Attenzione), domanda(Riconferma)}, {}},
        {{0, 2}, {Risposta::Si, Risposta::Si}, {domanda(Attenzione), domanda(Riconferma)}, {0, 2}},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.risposte.size());
        for (clsPaziente &p : m_lista) {
            p.Elimina = false;
        }
        risultatiPrecedenti();
        RisposteTest host;
        host.risposte = c.risposte;
        frmRimuovi form(&host, m_lista);
        form.show();
        for (int riga : c.spunte) {
            form.Elenco()->Spunta(riga, true);
        }
        form.Azione(frmRimuovi::Rimuovi)->trigger();

        const bool rimossi = !c.marcati.isEmpty();
        EXPECT_EQ(host.messaggi, c.messaggi);
        EXPECT_EQ(marcati(), c.marcati);
        EXPECT_EQ(form.isVisible(), !rimossi);
        EXPECT_EQ(Module1::DialogoAnnullato(), !rimossi);
    }
}

TEST_F(Rimuovi, ScriptTicksByFiscalCodeChiudiCancels)
{
    m_host.copione.insert(u"rimuovi"_s, {{u"cf"_s, QStringList{u"vrdgpp80c03l219z"_s, u"NONCE00000000000"_s}}});
    m_host.risposte = {Risposta::Si, Risposta::Si};
    EXPECT_TRUE(ScegliDaRimuovere(&m_host, m_lista, nullptr));
    EXPECT_EQ(marcati(), QList<int>{2});
    EXPECT_EQ(m_host.messaggi.size(), 2);

    // No code of the list: the window's own message, and the attempt ends cancelled.
    RisposteTest host;
    host.copione.insert(u"rimuovi"_s, {{u"cf"_s, QStringList{u"NONCE00000000000"_s}}});
    EXPECT_FALSE(ScegliDaRimuovere(&host, m_lista, nullptr));
    EXPECT_EQ(host.messaggi, QStringList{avviso(u"Nessun paziente selezionato"_s)});

    // "annulla" presses Chiudi: nothing marked, whatever was ticked.
    m_lista[2].Elimina = false;
    RisposteTest chiudi;
    chiudi.copione.insert(u"rimuovi"_s, {{u"cf"_s, QStringList{u"VRDGPP80C03L219Z"_s}}, {u"annulla"_s, true}});
    chiudi.risposte = {Risposta::Si, Risposta::Si};
    EXPECT_FALSE(ScegliDaRimuovere(&chiudi, m_lista, nullptr));
    EXPECT_TRUE(Module1::DialogoAnnullato());
    EXPECT_TRUE(marcati().isEmpty());
    EXPECT_TRUE(chiudi.messaggi.isEmpty());
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
