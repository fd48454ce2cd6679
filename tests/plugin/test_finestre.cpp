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

#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;
using lanvera::test::RisposteTest;
using Risposta = clinora::Risposte::Risposta;

namespace {

const QString Titolo = u"Clinora Lanvera "_s;
const QString Cf = u"RSSMRA70A01H501U"_s;
const QString Nessuno = u"Nessun paziente selezionato"_s;
const QStringList Precedenti{u"r1"_s, u"r2"_s, u"r3"_s};

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
    Module1::ImpostaRisultato1(Precedenti[0]);
    Module1::ImpostaRisultato2(Precedenti[1]);
    Module1::ImpostaRisultato3(Precedenti[2]);
}

QStringList risultati()
{
    return {Module1::Risultato1(), Module1::Risultato2(), Module1::Risultato3()};
}

// The indices below `quante` for which `vero` holds.
template<typename Predicato>
QList<int> righe(qsizetype quante, Predicato vero)
{
    QList<int> trovate;
    for (int i = 0; i < quante; ++i) {
        if (vero(i)) {
            trovate << i;
        }
    }
    return trovate;
}

} // namespace

// Both dialogs take what is typed in Text1(0) and Text1(1): the user name and the password, or the
// new password and its repetition. A message keeps the dialog open as it was. Scripted, the host
// answers the dialog with the same values ("testo" is the password, or the new one and "ripetuto"
// its repetition; the user name is the fiscal code given by the caller).
TEST(DialoghiPassword, ChecksRunInOrderAndOnlyOkGivesResults)
{
    const struct
    {
        bool nuova; // frmCreaPassword, else frmPassword
        QString campo0;
        QString campo1;
        bool ricorda;
        QString messaggio;
        QStringList attesi; // empty: not confirmed
        bool annulla = false;
        bool copione = false;
    } casi[] = {
        {false, u"   "_s, QString(), false, u"Il nome utente non può essere vuoto"_s, {}},
        {false, Cf, u"  "_s, false, u"La password non può essere vuota"_s, {}},
        {false, u" "_s + Cf + u" "_s, u" x "_s, true, QString(), {Cf, u"x"_s, u"1"_s}},
        {false, Cf, u"segreto"_s, false, QString(), {Cf, u"segreto"_s, u"0"_s}},
        {false, Cf, u"segreto"_s, false, QString(), {}, true},
        {true, u"  "_s, u"abcdefgh"_s, false, u"La password non può essere vuota"_s, {}},
        {true, u"abc"_s, u"abd"_s, false, u"Le due password non coincidono"_s, {}},
        {true, u"Abcdefgh"_s, u"abcdefgh"_s, false, u"Le due password non coincidono"_s, {}},
        {true, u"  abcdefg  "_s, u"  abcdefg  "_s, false, u"Le password deve avere almeno 8 caratteri"_s, {}},
        {true, u" abcdefgh"_s, u"abcdefgh  "_s, true, QString(), {u"abcdefgh"_s, u"1"_s, u"r3"_s}},
        {true, u"12345678"_s, u"12345678"_s, false, QString(), {u"12345678"_s, u"0"_s, u"r3"_s}},
        {true, u"12345678"_s, u"12345678"_s, false, QString(), {}, true},
        {false, Cf, u" segreto "_s, true, QString(), {Cf, u"segreto"_s, u"1"_s}, false, true},
        {false, Cf, u"segreto"_s, false, QString(), {}, true, true},
        {true, u"corta"_s, u"corta"_s, true, u"Le password deve avere almeno 8 caratteri"_s, {}, false, true},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(QString(c.campo0 + u'|' + c.campo1 + (c.copione ? u" script"_s : QString())).toStdString());
        risultatiPrecedenti();
        RisposteTest host;
        const bool confermato = !c.attesi.isEmpty();
        if (c.copione) {
            const QString dialogo = c.nuova ? u"nuova-password"_s : u"password"_s;
            QVariantHash valori{{u"testo"_s, c.nuova ? c.campo0 : c.campo1}};
            if (c.ricorda) {
                valori.insert(u"ricorda"_s, true);
            }
            if (c.nuova) {
                valori.insert(u"ripetuto"_s, c.campo1);
            }
            if (c.annulla) {
                valori.insert(u"annulla"_s, true);
            }
            host.copione.insert(dialogo, valori);
            const QString nome = u"Rossi Mario"_s;
            EXPECT_EQ(c.nuova ? ChiediNuovaPassword(&host, Cf, nome, nullptr)
                              : ChiediPassword(&host, Cf, nome, nullptr),
                      confermato);
            EXPECT_EQ(host.dialoghi, QStringList{dialogo});
        } else {
            std::unique_ptr<DialogoPassword> form;
            if (c.nuova) {
                form = std::make_unique<frmCreaPassword>(&host);
            } else {
                form = std::make_unique<frmPassword>(&host);
            }
            EXPECT_TRUE(Module1::DialogoAnnullato());
            form->show();
            form->Text1(0)->setText(c.campo0);
            form->Text1(1)->setText(c.campo1);
            form->Check1()->setChecked(c.ricorda);
            (c.annulla ? form->cmdAnnulla() : form->cmdOK())->click();
            EXPECT_EQ(form->isVisible(), !confermato && !c.annulla);
            EXPECT_EQ((QStringList{form->Text1(0)->text(), form->Text1(1)->text()}), (QStringList{c.campo0, c.campo1}));
        }
        EXPECT_EQ(host.messaggi, c.messaggio.isEmpty() ? QStringList() : QStringList{avviso(c.messaggio)});
        EXPECT_EQ(Module1::DialogoAnnullato(), !confermato);
        EXPECT_EQ(risultati(), confermato ? c.attesi : Precedenti);
    }
}

namespace {

class Rimuovi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QStringList &r : {QStringList{u"K1"_s, Cf, u"Rossi"_s, u"Mario"_s},
                                     QStringList{u"K2"_s, u"BNCLCU65B41F205X"_s, u"Bianchi"_s, u"Lucia"_s},
                                     QStringList{u"K3"_s, u"VRDGPP80C03L219Z"_s, u"Verdi"_s, u"Giuseppe"_s}}) {
            clsPaziente &p = m_lista.emplace_back();
            p.KeyPaziente = r[0];
            p.CF = r[1];
            p.Cognome = r[2];
            p.Nome = r[3];
        }
    }

    static QList<int> spuntati(const frmRimuovi &form)
    {
        return righe(form.Elenco()->Records(), [&form](int i) { return form.Elenco()->Spuntato(i); });
    }
    QList<int> marcati() const
    {
        return righe(m_lista.size(), [this](int i) { return m_lista.at(i).Elimina; });
    }

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
        form.EseguiComando(frmRimuovi::DeselezionaTutto);
        EXPECT_TRUE(spuntati(form).isEmpty());
        EXPECT_EQ(m_host.messaggi, QStringList(2, domanda(u"Selezionare tutti i pazienti?"_s)));
    }
}

// By hand the rows are ticked in the window and Rimuovi pressed; by script the host names fiscal
// codes (any case; unknown ones are ignored) and may press Chiudi ("annulla").
TEST_F(Rimuovi, RemovalNeedsTicksAndTwoConfirmations)
{
    const QString attenzione = domanda(
        u"ATTENZIONE: La rimozione comporta che la cartella del paziente non sia più condivisa e \r\ni dati presenti "
        u"sul server completamente eliminati.\r\n\r\nRimuovere completamente dal server i pazienti selezionati?"_s);
    const QString riconferma = domanda(u"RICONFERMA: Procedo all'eliminazione sul server dei pazienti selezionati?"_s);
    const QStringList due{m_lista[0].CF, m_lista[2].CF};
    const QString ignoto = u"NONCE00000000000"_s;
    const struct
    {
        bool copione;
        QStringList cf;
        QList<Risposta> risposte;
        QStringList messaggi;
        QList<int> marcati; // empty: cancelled
        bool annulla = false;
    } casi[] = {
        {false, {}, {}, {avviso(Nessuno)}, {}},
        {false, due, {Risposta::No}, {attenzione}, {}},
        {false, due, {Risposta::Si, Risposta::No}, {attenzione, riconferma}, {}},
        {false, due, {Risposta::Si, Risposta::Si}, {attenzione, riconferma}, {0, 2}},
        {true, {u"vrdgpp80c03l219z"_s, ignoto}, {Risposta::Si, Risposta::Si}, {attenzione, riconferma}, {2}},
        {true, {ignoto}, {}, {avviso(Nessuno)}, {}},
        {true, {m_lista[2].CF}, {Risposta::Si, Risposta::Si}, {}, {}, true},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(&c - casi);
        for (clsPaziente &p : m_lista) {
            p.Elimina = false;
        }
        risultatiPrecedenti();
        RisposteTest host;
        host.risposte = c.risposte;
        const bool rimossi = !c.marcati.isEmpty();
        if (c.copione) {
            host.copione.insert(u"rimuovi"_s, {{u"cf"_s, c.cf}});
            if (c.annulla) {
                host.copione[u"rimuovi"_s].insert(u"annulla"_s, true);
            }
            EXPECT_EQ(ScegliDaRimuovere(&host, m_lista, nullptr), rimossi);
        } else {
            frmRimuovi form(&host, m_lista);
            form.show();
            for (int riga = 0; riga < m_lista.size(); ++riga) {
                form.Elenco()->Spunta(riga, c.cf.contains(m_lista[riga].CF));
            }
            form.Azione(frmRimuovi::Rimuovi)->trigger();
            EXPECT_EQ(form.isVisible(), !rimossi);
        }
        EXPECT_EQ(host.messaggi, c.messaggi);
        EXPECT_EQ(marcati(), c.marcati);
        EXPECT_EQ(Module1::DialogoAnnullato(), !rimossi);
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
