#include "clsXML.h"
#include "modUlmet.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace modUlmet;

namespace {

const IntestazioneUlmet Intestazione{u"RSSMRA60A01H501U"_s, u"k3y&<x>"_s, u"VRDLGI55B02F205Z"_s};

TEST(RichiestaUlmet, EnvelopeHasTheExactShapeAndEscapesEveryValue)
{
    EXPECT_EQ(RichiestaCercaPaziente(Intestazione, u"D'Amico & Figli"_s),
              u"<ulmet><header><versione>1.0</versione><cfrichiedente>RSSMRA60A01H501U</cfrichiedente>"
              "<pwrichiedente>k3y&amp;&lt;x&gt;</pwrichiedente><cfdestinazione>VRDLGI55B02F205Z</cfdestinazione>"
              "<metodo>cercapaziente</metodo><parametri><codicefiscale></codicefiscale><tessera></tessera>"
              "<cognome>D'Amico &amp; Figli</cognome><nome></nome></parametri></header></ulmet>"_s);
    EXPECT_EQ(RichiestaCaricaPaziente({}, u"42"_s),
              u"<ulmet><header><versione>1.0</versione><cfrichiedente></cfrichiedente><pwrichiedente></pwrichiedente>"
              "<cfdestinazione></cfdestinazione><metodo>caricapaziente</metodo><parametri><idcartella>42</idcartella>"
              "</parametri></header></ulmet>"_s);
    // The chart document goes in unchanged, after the header.
    const QString dati = u"<dati cartella=\"clinora\"><allergie/></dati>"_s;
    EXPECT_TRUE(RichiestaSalvaPaziente(Intestazione, u"7"_s, dati)
                    .endsWith(u"<parametri><idcartella>7</idcartella></parametri></header>"_s + dati + u"</ulmet>"));
}

TEST(RichiestaUlmet, ValuesSurviveTheRoundTripThroughAParser)
{
    const QString valori[] = {u"<cognome>"_s, u"a]]>b"_s, u"riga 1\r\nriga 2"_s, u"Nicolò ☃ 😀"_s, u"&amp;"_s};
    for (const QString &valore : valori) {
        clsXML xml;
        ASSERT_TRUE(xml.LoadXML(RichiestaCercaPaziente(Intestazione, valore))) << valore.toStdString();
        EXPECT_EQ(xml.GetNode(xml.RootNode(), u"header/parametri/cognome"_s), valore);
        EXPECT_EQ(xml.GetNode(xml.RootNode(), u"header/pwrichiedente"_s), Intestazione.pwRichiedente);
    }
    // Characters no XML document can carry are left out rather than break the request.
    EXPECT_EQ(TestoXML(u"a\u0001b\u001Fc"_s), u"abc"_s);
}

TEST(RichiestaUlmet, AddressUsesTheDefaultPortWhenEmpty)
{
    EXPECT_EQ(IndirizzoUlmet({u"ulmet.local"_s, {}, 60}), u"http://ulmet.local:12345"_s);
    EXPECT_EQ(IndirizzoUlmet({u"10.0.0.2"_s, u"8080"_s, 60}), u"http://10.0.0.2:8080"_s);
}

TEST(DateUlmet, TextDatesAndFiscalCodes)
{
    const std::pair<QString, QString> testi[] = {
        {u"20240229"_s, u"29/02/2024"_s},
        {u"20230229"_s, {}},
        {u"20240231"_s, {}},
        {u"2024022"_s, {}},
        {u"202402291"_s, {}},
        {u"2024-2-1"_s, {}},
        {u"19991231"_s, u"31/12/1999"_s},
        {{}, {}},
    };
    for (const auto &[testo, atteso] : testi) {
        EXPECT_EQ(DataDaTestoXML(testo), atteso) << testo.toStdString();
    }
    const std::pair<QString, QString> codici[] = {
        {u"RSSMRA80A01H501U"_s, u"01/01/1980"_s}, // man
        {u"RSSMRA29C45H501U"_s, u"05/03/2029"_s}, // woman: day + 40; 29 is in the 2000s
        {u"rssmra30t70h501u"_s, u"30/12/1930"_s}, // small letters; 30 is in the 1900s
        {u"RSSMRA00B29H501U"_s, u"29/02/2000"_s},
        {u"RSSMRA01B29H501U"_s, {}}, // no 29 February in 2001
        {u"RSSMRA80B71H501U"_s, {}}, // 31 February
        {u"RSSMRA80A40H501U"_s, {}}, // day 0
        {u"RSSMRA80F01H501U"_s, {}}, // F is no month
        {u"RSSMRA80A01H501"_s, {}},  // 15 characters
        {u"RSSMRA8XA01H501U"_s, {}},
    };
    for (const auto &[cf, atteso] : codici) {
        EXPECT_EQ(DataNascitaDaCF(cf), atteso) << cf.toStdString();
    }
}

TEST(RispostaUlmet, OutcomeErrorTextAndRecords)
{
    clsXML ok;
    ASSERT_TRUE(ok.LoadXML(u"<x><header><esito>ok</esito></header><dati><record><idcartella>3</idcartella>"
                           "<cognome>Rossi</cognome><sesso>M</sesso></record><record/></dati></x>"_s));
    EXPECT_TRUE(EsitoOK(ok));
    EXPECT_FALSE(EsitoKO(ok));
    const QList<RecordUlmet> record = RecordRicerca(ok);
    ASSERT_EQ(record.size(), 2);
    EXPECT_EQ(record[0].idCartella, u"3");
    EXPECT_EQ(record[0].cognome, u"Rossi");
    EXPECT_EQ(record[0].sesso, u"M");
    EXPECT_TRUE(record[0].nome.isEmpty());
    EXPECT_TRUE(record[1].idCartella.isEmpty());

    clsXML ko;
    ASSERT_TRUE(ko.LoadXML(u"<ulmet><header><esito>Ko</esito><errorecodice>E20</errorecodice>"
                           "<erroredescrizione>Medico sconosciuto</erroredescrizione></header></ulmet>"_s));
    EXPECT_TRUE(EsitoKO(ko));
    EXPECT_EQ(TestoErroreUlmet(ko), u"Ulmet ha sollevato il seguente errore:\n\nE20 Medico sconosciuto"_s);
    clsXML senzaCodice;
    ASSERT_TRUE(senzaCodice.LoadXML(u"<ulmet><header><esito>KO</esito></header></ulmet>"_s));
    EXPECT_TRUE(TestoErroreUlmet(senzaCodice).isEmpty());
}

// A real HTTP endpoint on the loopback: answers every request with `risposta`, or, when silent,
// accepts the connection and never answers.
class EndpointProva
{
public:
    EndpointProva(QByteArray risposta, bool muto) : m_risposta(std::move(risposta)), m_muto(muto)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { leggi(socket); });
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }

    QString porta() const { return QString::number(m_server.serverPort()); }
    QByteArray richiesta() const { return m_ricevuto; }

private:
    void leggi(QTcpSocket *socket)
    {
        m_ricevuto += socket->readAll();
        const qsizetype fine = m_ricevuto.indexOf("\r\n\r\n");
        const qsizetype lunghezza = m_ricevuto.indexOf("Content-Length: ");
        if (m_muto || fine < 0 || lunghezza < 0) {
            return;
        }
        const qsizetype attesa =
            m_ricevuto.mid(lunghezza + 16, m_ricevuto.indexOf('\r', lunghezza) - lunghezza - 16).toLongLong();
        if (m_ricevuto.size() - fine - 4 < attesa) {
            return;
        }
        socket->write("HTTP/1.1 500 Internal Server Error\r\nContent-Length: " + QByteArray::number(m_risposta.size()) +
                      "\r\nConnection: close\r\n\r\n" + m_risposta);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_risposta;
    bool m_muto;
    QByteArray m_ricevuto;
};

TEST(TrasportoUlmet, PostsUtf8AndDecodesTheDeclaredEncoding)
{
    // Declared Latin-1, sent with an error status: the answer counts, the status does not.
    const QByteArray latin1 = QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><ulmet><header><esito>OK"
                                             "</esito></header><dati><record><cognome>Nicolò</cognome></record></dati>"
                                             "</ulmet>")
                                  .toLatin1();
    EndpointProva endpoint(latin1, false);
    const QString richiesta = RichiestaCercaPaziente(Intestazione, u"Forlì"_s);
    const QString risposta = InviaRichiestaUlmet(richiesta, {u"127.0.0.1"_s, endpoint.porta(), 5});

    EXPECT_TRUE(endpoint.richiesta().startsWith("POST / HTTP/1.1\r\n"));
    EXPECT_TRUE(endpoint.richiesta().contains("Content-Type: text/xml; charset=utf-8\r\n"));
    EXPECT_TRUE(endpoint.richiesta().endsWith(QByteArray("\r\n\r\n" + richiesta.toUtf8())));
    clsXML xml;
    ASSERT_TRUE(xml.LoadXML(risposta)) << risposta.toStdString();
    EXPECT_TRUE(EsitoOK(xml));
    EXPECT_EQ(RecordRicerca(xml).value(0).cognome, u"Nicolò");
}

TEST(TrasportoUlmet, FailuresGiveEmptyTextInTime)
{
    // A port nobody listens on: refused at once.
    quint16 libera = 0;
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost);
        libera = s.serverPort();
    }
    QElapsedTimer orologio;
    orologio.start();
    EXPECT_TRUE(InviaRichiestaUlmet(u"<ulmet/>"_s, {u"127.0.0.1"_s, QString::number(libera), 5}).isEmpty());
    EXPECT_LT(orologio.elapsed(), 3000);

    // A service that takes the request and never answers: the time-out ends the wait.
    EndpointProva muto({}, true);
    orologio.restart();
    EXPECT_TRUE(InviaRichiestaUlmet(u"<ulmet/>"_s, {u"127.0.0.1"_s, muto.porta(), 1}).isEmpty());
    EXPECT_GE(orologio.elapsed(), 900);
    EXPECT_LT(orologio.elapsed(), 4000);

    // The cancel callback ends it long before the minute, with window events flowing meanwhile.
    bool eventoArrivato = false;
    QTimer::singleShot(200, [&] { eventoArrivato = true; });
    orologio.restart();
    EXPECT_TRUE(InviaRichiestaUlmet(u"<ulmet/>"_s, {u"127.0.0.1"_s, muto.porta(), 60}, [&] {
                    return orologio.elapsed() > 400;
                }).isEmpty());
    EXPECT_TRUE(eventoArrivato);
    EXPECT_LT(orologio.elapsed(), 2000);

    // No host at all.
    EXPECT_TRUE(InviaRichiestaUlmet(u"<ulmet/>"_s, {{}, {}, 1}).isEmpty());
}

} // namespace
