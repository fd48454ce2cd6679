#include "ConnessioneServer.h"
#include "ElencoRecord.h"
#include "Module1.h"
#include "RisposteTest.h"
#include "ServerTest.h"
#include "StampaQt.h"
#include "frmListaMedici.h"

#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

const QString CfRossi = u"RSSMRA70A01H501U"_s;
const QString CfBianchi = u"BNCLCU65B41F205X"_s;
const QString CfVerdi = u"VRDGPP80C03L219Z"_s;
const QString CfNeri = u"NRIPLA75D04F839K"_s;

// The doctors of group 1 on the private server: Rossi is the one at the keyboard, Neri is
// suspended, Gialli belongs to group 2.
class ListaMedici : public lanvera::test::ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        lanvera::ImpostazioniServer s;
        s.host = lanvera::test::TestServer::host();
        s.porta = QString::number(lanvera::test::TestServer::port());
        ASSERT_TRUE(m_server.connetti(s, false)) << m_server.ultimoErrore().toStdString();

        medico(CfRossi, u"Rossi"_s, u"Mario"_s, 1, 0, u""_s);
        medico(CfBianchi, u"Bianchi"_s, u"Lucia"_s, 1, 0, u"  tok-b \t"_s);
        medico(CfVerdi, u"Verdi"_s, u""_s, 1, 0, QVariant());
        medico(CfNeri, u"Neri"_s, u"Paola"_s, 1, 1, u"tok-n"_s);
        medico(u"GLLANN60E45A662P"_s, u"Gialli"_s, u"Anna"_s, 2, 0, u"tok-g"_s);
    }

    static void medico(const QString &cf, const QString &cognome, const QString &nome, int gruppo, int sospeso,
                       const QVariant &ulmet)
    {
        lanvera::test::AdminConnection admin;
        QSqlQuery q(admin.database());
        q.prepare(
            u"INSERT INTO quor.tblmedici (CF, Cognome, Nome, IDGruppo, Sospeso, Ulmet) VALUES (?, ?, ?, ?, ?, ?)"_s);
        for (const QVariant &v :
             {QVariant(cf), QVariant(cognome), QVariant(nome), QVariant(gruppo), QVariant(sospeso), ulmet}) {
            q.addBindValue(v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }

    static QStringList righe(const frmListaMedici &form)
    {
        QStringList righe;
        const ElencoRecord &e = *form.Elenco();
        for (int i = 0; i < e.Records(); ++i) {
            righe << e.Cella(i, 0) + u'|' + e.Cella(i, 1) + u'|' + e.Cella(i, 2) + u'|' + e.Tag(i).toString();
        }
        return righe;
    }

    lanvera::ConnessioneServer m_server;
};

} // namespace

TEST_F(ListaMedici, ActiveDoctorsOfTheGroupTheOwnOnlyWithTheHostsIni)
{
    const QString bianchi = u"Bianchi Lucia|BNCLCU65B41F205X|tok-b|BNCLCU65B41F205X"_s;
    const QString rossi = u"Rossi Mario|RSSMRA70A01H501U||RSSMRA70A01H501U"_s;
    const QString verdi = u"Verdi|VRDGPP80C03L219Z||VRDGPP80C03L219Z"_s;

    // Without `quor` the statement fails: an empty list and no word about it.
    frmListaMedici senzaRete;
    senzaRete.Carica(m_server, 1, CfRossi.toLower(), false);
    EXPECT_TRUE(righe(senzaRete).isEmpty());

    ASSERT_TRUE(m_server.usaDatabaseRete());
    for (const bool iniHost : {false, true}) {
        SCOPED_TRACE(iniHost);
        frmListaMedici form;
        form.Carica(m_server, 1, CfRossi.toLower(), iniHost);
        EXPECT_EQ(righe(form), iniHost ? (QStringList{bianchi, rossi, verdi}) : (QStringList{bianchi, verdi}));
    }
}

TEST_F(ListaMedici, ChoiceNeedsASelectedDoctor)
{
    ASSERT_TRUE(m_server.usaDatabaseRete());
    Module1::ImpostaRisultato1(u"r1"_s);
    frmListaMedici form;
    form.Carica(m_server, 1, CfRossi, false);
    form.show();
    EXPECT_TRUE(Module1::DialogoAnnullato());
    EXPECT_FALSE(form.Command1(0)->isEnabled());
    form.Command1(0)->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Module1::Risultato1(), u"r1"_s);

    form.Elenco()->Seleziona(0);
    EXPECT_TRUE(form.Command1(0)->isEnabled());
    form.Command1(0)->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(Module1::DialogoAnnullato());
    EXPECT_EQ(Module1::Risultato1(), CfBianchi);
    EXPECT_EQ(Module1::Risultato2(), u"tok-b"_s);
}

TEST_F(ListaMedici, ScriptChoosesByFiscalCode)
{
    ASSERT_TRUE(m_server.usaDatabaseRete());
    const struct
    {
        QVariantHash valori;
        bool scelto;
    } casi[] = {
        {{{u"cf"_s, CfBianchi.toLower()}}, true},
        {{{u"cf"_s, CfNeri}}, false},
        {{{u"cf"_s, CfBianchi}, {u"annulla"_s, true}}, false},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.valori.value(u"cf"_s).toString().toStdString());
        Module1::ImpostaRisultato1(u"r1"_s);
        lanvera::test::RisposteTest host;
        host.copione.insert(u"medico"_s, c.valori);
        EXPECT_EQ(ScegliMedico(&host, m_server, 1, CfRossi, false, nullptr), c.scelto);
        EXPECT_EQ(Module1::DialogoAnnullato(), !c.scelto);
        EXPECT_EQ(Module1::Risultato1(), c.scelto ? CfBianchi : u"r1"_s);
        EXPECT_TRUE(host.messaggi.isEmpty());
    }
}
