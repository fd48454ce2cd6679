#include "ArchivioHost.h"
#include "Database.h"
#include "Recordset.h"
#include "clsXML.h"
#include "modClinora.h"
#include "modUlmet.h"
#include "modUlmetEsporta.h"
#include "modUlmetImporta.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

using namespace Qt::StringLiterals;
using namespace modUlmet;

namespace {

const QString CFMedico = u"VRDLGI55B02F205Z"_s;
const QString CFCollega = u"RSSMRA60A01H501U"_s;
const QString PasswordCollega = u"cifrata=="_s;

// The stand-in service, run as the real program on a real archive with a few patients.
class ServizioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_cartella.isValid());
        m_archivio = CopiaModello(u"medico.mdb"_s);
        PreparaArchivio();

        m_servizio.start(QStringLiteral(LANVERA_ULMET_SERVICE),
                         {u"--port"_s, u"0"_s, u"--medico"_s, CFMedico + u'=' + m_archivio, u"--password"_s,
                          CFCollega + u'=' + PasswordCollega, u"--ricevuti"_s, m_cartella.filePath(u"ricevuti"_s),
                          u"--log"_s, m_cartella.filePath(u"ulmet.log"_s)});
        ASSERT_TRUE(m_servizio.waitForStarted());
        QByteArray uscita;
        while (!uscita.contains('\n') && m_servizio.waitForReadyRead(5000)) {
            uscita += m_servizio.readAllStandardOutput();
        }
        const QRegularExpressionMatch m =
            QRegularExpression(u"in ascolto sulla porta (\\d+)"_s).match(QString::fromUtf8(uscita));
        ASSERT_TRUE(m.hasMatch()) << uscita.toStdString() << m_servizio.readAllStandardError().toStdString();
        m_impostazioni = {u"127.0.0.1"_s, m.captured(1), 10};
    }

    void TearDown() override
    {
        m_servizio.kill();
        m_servizio.waitForFinished();
    }

    void PreparaArchivio()
    {
        lanvera::dao::Database db;
        ASSERT_TRUE(db.apri(m_archivio));
        const auto esegui = [&](const QString &sql, const QVariantList &valori = {}) {
            ASSERT_TRUE(db.esegui(sql, valori)) << sql.toStdString() << db.ultimoErrore().testo().toStdString();
        };
        const QString anagrafica = u"INSERT INTO tblAnagrafica (Cognome, Nome, CodiceFiscale, Indirizzo, [Città], "
                                   "Provincia, Sesso, DataNascita) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s;
        esegui(anagrafica, {u"D'Amico"_s, u"Anna"_s, u"DMCNNA80A41D704X"_s, u"Via Emilia 3"_s, u"Forlì"_s, u"FC"_s,
                            u"F"_s, u"1980-01-01 00:00:00"_s}); // 1
        esegui(anagrafica, {u"Rossi"_s, u"Mario"_s, u"RSSMRA70C10H501A"_s, {}, u"Roma"_s, u"RM"_s, u"M"_s, {}});
        esegui(anagrafica, {u"Rossetti"_s, u"Luca"_s, {}, {}, {}, {}, u"M"_s, {}});
        esegui(anagrafica, {u"Bianchi"_s, u"Ugo"_s, {}, {}, {}, {}, u"M"_s, {}});

        esegui(u"INSERT INTO Farmaci (AIC, Farmaco, Classe) VALUES ('012345678', 'Tachipirina', 'C')"_s);
        esegui(u"INSERT INTO tblAllergie (IDPaziente, Nota, Intolleranza, ATCFarmaco) "
               "VALUES (1, 'Polline <forte>', -1, 'R06')"_s);
        esegui(u"INSERT INTO tblProblemi (IDPaziente, DataApertura, CodiceICD9, Etichetta) "
               "VALUES (1, '2020-05-04 00:00:00', '401.9', 'Ipertensione')"_s);
        esegui(u"INSERT INTO tblDiario (IDPaziente, Data, Diario, IDPrestazione, Ricetta) VALUES "
               "(1, '2021-03-02 00:00:00', 'Controllo pressione', 1, 0), "
               "(1, '2021-04-01 00:00:00', 'Ospedale di Forlì', 9, 0), "
               "(1, '2021-05-01 00:00:00', 'Tachipirina', 7, -1)"_s);
        esegui(u"INSERT INTO tblPrescrizioni (IDPaziente, IDDiario, Data, IDFarmaco, Descrizione, [Quantità], "
               "[PosQuantità], PosDescrizione) VALUES (1, 3, '2021-05-01 00:00:00', 1, 'Tachipirina', 2, '1 cp', "
               "'al bisogno')"_s);
        esegui(u"INSERT INTO tblMonitorIpertensione (IDPaziente, Data, Minima, Massima, Frequenza, Aritmico) "
               "VALUES (1, '2021-03-02 00:00:00', 85, 140, 72, -1)"_s);
        esegui(u"INSERT INTO tblMonitorBMI (IDPaziente, Data, Peso, Altezza) VALUES "
               "(1, '2021-03-02 00:00:00', 62.5, 168)"_s);
        esegui(u"INSERT INTO tblVaccinazioni (IDPaziente, Data, DataRichiamo, Vaccino) VALUES "
               "(1, '2020-10-10 00:00:00', '2021-10-10 00:00:00', 'Antinfluenzale')"_s);
        // Another patient's row must not travel with her chart.
        esegui(u"INSERT INTO tblVaccinazioni (IDPaziente, Data, Vaccino) VALUES (2, '2020-10-10 00:00:00', 'Altro')"_s);
    }

    QString Invia(const QString &richiesta) { return InviaRichiestaUlmet(richiesta, m_impostazioni); }

    // The answer parsed; the test fails when it is not XML.
    std::unique_ptr<clsXML> Risposta(const QString &richiesta)
    {
        auto xml = std::make_unique<clsXML>();
        const QString testo = Invia(richiesta);
        EXPECT_TRUE(xml->LoadXML(testo)) << testo.toStdString();
        return xml;
    }

    QStringList Cerca(const QString &cognome)
    {
        const auto xml = Risposta(RichiestaCercaPaziente({CFCollega, PasswordCollega, CFMedico}, cognome));
        EXPECT_TRUE(EsitoOK(*xml));
        QStringList trovati;
        for (const RecordUlmet &r : RecordRicerca(*xml)) {
            trovati << r.idCartella + u' ' + r.cognome;
        }
        return trovati;
    }

    // An empty archive of the host's format in the test's folder.
    QString CopiaModello(const QString &nome)
    {
        const QString file = m_cartella.filePath(nome);
        EXPECT_TRUE(QFile::copy(QStringLiteral(LANVERA_CLINORA_TEMPLATE), file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        return file;
    }

    // The patient's chart as the service sends it, read out of its zip.
    void Scarica(const QString &idCartella, clsXML &doc);

    // The document imported into a fresh chart database, the owner's archive serving the
    // catalogues; the new patient's number (0 when the import failed).
    qint32 Importa(const clsXML &doc, const QString &file)
    {
        lanvera::dao::Database db;
        EXPECT_TRUE(db.apri(file));
        ArchivioHost catalogo;
        EXPECT_TRUE(catalogo.apri(m_archivio));
        modClinora::ContestoClinora contesto(db, catalogo);
        const qint32 id = modUlmetImporta::ImportaCartella(contesto, doc);
        EXPECT_NE(id, 0) << contesto.MessaggioErrore.toStdString();
        return id;
    }

    QTemporaryDir m_cartella;
    QString m_archivio;
    QProcess m_servizio;
    ImpostazioniUlmet m_impostazioni;
};

TEST_F(ServizioTest, SearchesSurnamesByPrefix)
{
    const std::pair<QString, QStringList> casi[] = {
        {u"ross"_s, {u"3 Rossetti"_s, u"2 Rossi"_s}},
        {u"R*i"_s, {u"3 Rossetti"_s, u"2 Rossi"_s}},
        {u"*ico"_s, {u"1 D'Amico"_s}},
        {u"d'a"_s, {u"1 D'Amico"_s}},
        {u"%"_s, {}},
        {u"') OR 1=1 --"_s, {}},
        {u"Verdi"_s, {}},
    };
    for (const auto &[testo, attesi] : casi) {
        EXPECT_EQ(Cerca(testo), attesi) << testo.toStdString();
    }
    EXPECT_EQ(Cerca({}).size(), 4);

    const auto xml = Risposta(RichiestaCercaPaziente({CFCollega, PasswordCollega, CFMedico}, u"D"_s));
    const RecordUlmet r = RecordRicerca(*xml).value(0);
    EXPECT_EQ(r.codiceFiscale, u"DMCNNA80A41D704X");
    EXPECT_EQ(r.nome, u"Anna");
    EXPECT_EQ(r.indirizzo, u"Via Emilia 3");
    EXPECT_EQ(r.comune, u"Forlì");
    EXPECT_EQ(r.provincia, u"FC");
    EXPECT_EQ(r.sesso, u"F");
}

// The zip archive in a download answer's "dati", its single entry read back.
QByteArray VoceDati(const QString &base64)
{
    const QByteArray zip = QByteArray::fromBase64(base64.toLatin1());
    zip_error_t errore;
    zip_error_init(&errore);
    zip_source_t *sorgente = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &errore);
    zip_t *archivio = sorgente ? zip_open_from_source(sorgente, ZIP_RDONLY, &errore) : nullptr;
    if (archivio == nullptr) {
        zip_source_free(sorgente);
        return {};
    }
    auto chiudi = qScopeGuard([archivio] { zip_discard(archivio); });
    if (zip_get_num_entries(archivio, 0) != 1) {
        return {};
    }
    zip_stat_t info;
    zip_file_t *voce = zip_fopen(archivio, "Dati.xml", 0);
    if (voce == nullptr || zip_stat(archivio, "Dati.xml", 0, &info) != 0) {
        return {};
    }
    QByteArray dati(qsizetype(info.size), '\0');
    const zip_int64_t letti = zip_fread(voce, dati.data(), info.size);
    zip_fclose(voce);
    return letti == zip_int64_t(info.size) ? dati : QByteArray();
}

void ServizioTest::Scarica(const QString &idCartella, clsXML &doc)
{
    const auto risposta = Risposta(RichiestaCaricaPaziente({CFCollega, PasswordCollega, CFMedico}, idCartella));
    ASSERT_TRUE(doc.LoadXML(clsXML::Decodifica(VoceDati(risposta->GetNode(risposta->RootNode(), u"dati"_s)))));
}

TEST_F(ServizioTest, DownloadsTheChartAsAZippedDocument)
{
    const auto risposta = Risposta(RichiestaCaricaPaziente({CFCollega, PasswordCollega, CFMedico}, u"1"_s));
    ASSERT_TRUE(EsitoOK(*risposta));
    const QByteArray dati = VoceDati(risposta->GetNode(risposta->RootNode(), u"dati"_s));
    ASSERT_TRUE(dati.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")) << dati.left(80).toStdString();

    clsXML doc;
    ASSERT_TRUE(doc.LoadXML(clsXML::Decodifica(dati)));
    const clsXML::Nodo r = doc.RootNode();
    const auto campo = [&](const char *query) { return doc.GetNode(r, QString::fromLatin1(query)); };
    EXPECT_EQ(campo("anagrafica/cognome"), u"D'Amico");
    EXPECT_EQ(campo("anagrafica/comunedomicilio"), u"Forlì");
    EXPECT_EQ(campo("anagrafica/datanascita"), u"19800101");
    EXPECT_EQ(campo("allergie/allergia/note"), u"Polline <forte>");
    EXPECT_EQ(campo("allergie/allergia/tipo"), u"I");
    EXPECT_EQ(campo("allergie/allergia/codiceatc"), u"R06");
    EXPECT_EQ(campo("problemi/problema/datainizio"), u"20200504");
    EXPECT_EQ(campo("problemi/problema/codiceicd9"), u"401.9");
    // The prescription's own diary entry travels with the prescription, the admission apart.
    EXPECT_EQ(doc.SelectNodeList(r, u"diarioclinico/diario"_s).size(), 1u);
    EXPECT_EQ(campo("diarioclinico/diario/descrizione"), u"Controllo pressione");
    EXPECT_EQ(campo("ricoveri/ricovero/strutturaricovero"), u"Ospedale di Forlì");
    EXPECT_EQ(campo("ricoveri/ricovero/dataingresso"), u"20210401");
    EXPECT_EQ(campo("prestazioni/prestazione/tipo"), u"F");
    EXPECT_EQ(campo("prestazioni/prestazione/codiceprestazione"), u"012345678");
    EXPECT_EQ(doc.GetAttributeNode(r, u"prestazioni/prestazione/codiceprestazione"_s, u"tipo"_s), u"minsan");
    EXPECT_EQ(campo("prestazioni/prestazione/qta"), u"2");
    EXPECT_EQ(campo("prestazioni/prestazione/posologia"), u"1 cp al bisogno");
    const clsXML::ListaNodi misure = doc.SelectNodeList(r, u"misure/misura"_s);
    ASSERT_EQ(misure.size(), 2u);
    EXPECT_EQ(doc.GetNode(misure[0], u"pmax"_s), u"140");
    EXPECT_EQ(doc.GetNode(misure[0], u"ritmocardiaco"_s), u"Aritmica");
    EXPECT_EQ(doc.GetNode(misure[1], u"pesokg"_s), u"62.5");
    EXPECT_EQ(doc.SelectNodeList(r, u"vaccinazioni/vaccinazione"_s).size(), 1u);
    EXPECT_EQ(campo("vaccinazioni/vaccinazione/datarichiamo"), u"20211010");
}

TEST_F(ServizioTest, RefusesWithStableCodes)
{
    const IntestazioneUlmet giusta{CFCollega, PasswordCollega, CFMedico};
    const std::pair<QString, QString> casi[] = {
        {RichiestaCercaPaziente({CFCollega, PasswordCollega, u"XXXXXX00X00X000X"_s}, u"R"_s), u"E20"_s},
        {RichiestaCercaPaziente({CFCollega, u"sbagliata"_s, CFMedico}, u"R"_s), u"E21"_s},
        {RichiestaCaricaPaziente(giusta, u"999"_s), u"E30"_s},
        {RichiestaCaricaPaziente(giusta, u"1 OR 1=1"_s), u"E30"_s},
        {RichiestaSalvaPaziente(giusta, u"1"_s, {}), u"E31"_s},
        {CreaRichiesta(giusta, u"cancellapaziente"_s, {}), u"E11"_s},
        {u"questo non è XML"_s, u"E10"_s},
        {u"<ulmet><altro/></ulmet>"_s, u"E10"_s},
    };
    for (const auto &[richiesta, codice] : casi) {
        const auto xml = Risposta(richiesta);
        EXPECT_TRUE(EsitoKO(*xml)) << richiesta.toStdString();
        EXPECT_EQ(xml->GetNode(xml->RootNode(), u"header/errorecodice"_s), codice) << richiesta.toStdString();
        EXPECT_FALSE(xml->GetNode(xml->RootNode(), u"header/erroredescrizione"_s).isEmpty());
    }
    // A doctor without a stored password is not checked.
    EXPECT_EQ(Cerca(u"Bianchi"_s).size(), 1);
    EXPECT_TRUE(EsitoOK(*Risposta(RichiestaCercaPaziente({u"BNCGNN50A01F205X"_s, {}, CFMedico}, u"B"_s))));

    // One log line per request, with its outcome.
    QFile log(m_cartella.filePath(u"ulmet.log"_s));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList righe = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(righe.size(), std::size(casi) + 2);
    EXPECT_TRUE(righe[0].endsWith(CFCollega + u" cercapaziente XXXXXX00X00X000X KO E20"));
    EXPECT_TRUE(righe.last().endsWith(u"BNCGNN50A01F205X cercapaziente "_s + CFMedico + u" OK"));
}

TEST_F(ServizioTest, MergesASentChartIntoThePatientAndKeepsACopy)
{
    const QString dati =
        u"<dati cartella=\"clinora\"><allergie><allergia><codiceatc/><codiceaic/><descrizionemolecola/>"
        "<tipo>A</tipo><note>Nichel &amp; cromo</note></allergia></allergie><problemi/>"
        "<diarioclinico><diario><data>20220301</data><codiceicd9/><descrizione>Tosse è secca</descrizione>"
        "</diario></diarioclinico><prestazioni/><misure><misura><data>20220301</data><pmin>80</pmin>"
        "<pmax>130</pmax><freqcardiaca/><pesokg/><altezzacm/><cvitacm/></misura></misure><ricoveri/>"
        "<vaccinazioni><vaccinazione><datavaccinazione>20221015</datavaccinazione><datarichiamo/>"
        "<vaccino>Antinfluenzale</vaccino><note/></vaccinazione></vaccinazioni></dati>"_s;
    const auto xml = Risposta(RichiestaSalvaPaziente({CFCollega, PasswordCollega, CFMedico}, u"2"_s, dati));
    ASSERT_TRUE(EsitoOK(*xml)) << TestoErroreUlmet(*xml).toStdString();

    lanvera::dao::Database db;
    ASSERT_TRUE(db.apri(m_archivio));
    const auto conta = [&](const QString &sql) {
        lanvera::dao::Recordset rs(db);
        EXPECT_TRUE(rs.apri(sql)) << sql.toStdString();
        return rs.eof() ? QString() : rs.testo(rs.campi().constFirst());
    };
    EXPECT_EQ(conta(u"SELECT Nota FROM tblAllergie WHERE IDPaziente=2"_s), u"Nichel & cromo");
    EXPECT_EQ(conta(u"SELECT Diario FROM tblDiario WHERE IDPaziente=2"_s), u"Tosse è secca");
    EXPECT_EQ(conta(u"SELECT Massima FROM tblMonitorIpertensione WHERE IDPaziente=2"_s), u"130");
    EXPECT_EQ(conta(u"SELECT COUNT(*) FROM tblVaccinazioni WHERE IDPaziente=2"_s), u"2");
    // Nothing reached the other patients.
    EXPECT_EQ(conta(u"SELECT COUNT(*) FROM tblAllergie WHERE IDPaziente<>2"_s), u"1");

    const QStringList ricevuti = QDir(m_cartella.filePath(u"ricevuti"_s)).entryList(QDir::Files);
    ASSERT_EQ(ricevuti.size(), 1);
    EXPECT_TRUE(ricevuti[0].startsWith(CFMedico + u"_2_"));
    clsXML copia;
    ASSERT_TRUE(copia.LoadFileXML(QDir(m_cartella.filePath(u"ricevuti"_s)).filePath(ricevuti[0])));
    EXPECT_EQ(copia.GetNode(copia.RootNode(), u"diarioclinico/diario/descrizione"_s), u"Tosse è secca");
}

TEST_F(ServizioTest, ADownloadedChartIsRebuiltByTheImport)
{
    clsXML doc;
    Scarica(u"1"_s, doc);
    const QString copia = CopiaModello(u"ClinoraQUOR.mdb"_s);
    const qint32 id = Importa(doc, copia);
    ASSERT_NE(id, 0);
    lanvera::dao::Database db;
    ASSERT_TRUE(db.apri(copia));

    const auto valore = [&](const QString &sql) {
        lanvera::dao::Recordset rs(db);
        EXPECT_TRUE(rs.apri(sql, lanvera::dao::Recordset::Tipo::SoloAvanti, {id})) << sql.toStdString();
        return rs.eof() ? QString() : rs.testo(rs.campi().constFirst());
    };
    EXPECT_EQ(valore(u"SELECT Cognome || '|' || [Città] || '|' || DataNascita FROM tblAnagrafica WHERE ID=?"_s),
              u"D'Amico|Forlì|1980-01-01 00:00:00");
    EXPECT_EQ(valore(u"SELECT Nota || '|' || Intolleranza FROM tblAllergie WHERE IDPaziente=?"_s),
              u"Polline <forte>|-1");
    EXPECT_EQ(valore(u"SELECT CodiceICD9 || '|' || Etichetta FROM tblProblemi WHERE IDPaziente=?"_s),
              u"401.9|Ipertensione");
    EXPECT_EQ(valore(u"SELECT IDFarmaco || '|' || [Quantità] FROM tblPrescrizioni WHERE IDPaziente=?"_s), u"1|2");
    EXPECT_EQ(valore(u"SELECT Massima || '|' || Aritmico FROM tblMonitorIpertensione WHERE IDPaziente=?"_s), u"140|-1");
    EXPECT_EQ(valore(u"SELECT Peso FROM tblMonitorBMI WHERE IDPaziente=?"_s), u"62.5");
    EXPECT_EQ(valore(u"SELECT Vaccino || '|' || DataRichiamo FROM tblVaccinazioni WHERE IDPaziente=?"_s),
              u"Antinfluenzale|2021-10-10 00:00:00");
    EXPECT_EQ(valore(u"SELECT COUNT(*) FROM tblDiario WHERE IDPaziente=? AND IDPrestazione=9"_s), u"1");
}

// Every record of a chart document as "section/record: field=text|..." lines, in document order.
QStringList Campi(const clsXML &doc)
{
    QStringList righe;
    for (const auto &sezione : doc.RootNode().children()) {
        for (const auto &record : sezione.children()) {
            QStringList campi;
            for (const auto &campo : record.children()) {
                campi << QString::fromUtf8(campo.name()) + u'=' + clsXML::TestoNodo(campo);
            }
            righe << QString::fromUtf8(sezione.name()) + u'/' + QString::fromUtf8(record.name()) + u": "_s +
                         campi.join(u'|');
        }
    }
    return righe;
}

TEST_F(ServizioTest, AChartSentAndDownloadedAgainKeepsEveryExportedField)
{
    // A colleague's network archive: one changed row in every section, the catalogues of the owner.
    const QString rete = CopiaModello(u"rete.mdb"_s);
    {
        lanvera::dao::Database db;
        ASSERT_TRUE(db.apri(rete));
        for (const QString &sql :
             {u"INSERT INTO Farmaci (ID, AIC, Farmaco, Classe) VALUES (1, '012345678', 'Tachipirina', 'C')"_s,
              u"INSERT INTO tblAnagrafica (ID, Cognome, Nome) VALUES (1, 'Bianchi', 'Ugo')"_s,
              u"INSERT INTO tblAllergie (IDPaziente, Nota, Intolleranza) VALUES (1, 'Nichel & cromo', -1)"_s,
              u"INSERT INTO tblProblemi (IDPaziente, DataApertura, DataChiusura, CodiceICD9, Etichetta) VALUES "
              "(1, '2020-05-04 00:00:00', '2021-01-02 00:00:00', '401.9', 'Ipertensione <lieve>')"_s,
              u"INSERT INTO tblDiario (IDPaziente, Data, Diario, IDPrestazione, Ricetta) VALUES "
              "(1, '2021-03-02 00:00:00', 'Tosse è secca', 1, 0), "
              "(1, '2021-04-01 00:00:00', 'Ospedale di Forlì', 9, 0)"_s,
              u"INSERT INTO tblPrescrizioni (IDPaziente, Data, IDFarmaco, Descrizione, [Quantità], Classe) "
              "VALUES (1, '2021-05-01 00:00:00', 1, 'Tachipirina', 2, 'C')"_s,
              u"INSERT INTO tblMonitorIpertensione (IDPaziente, Data, Minima, Massima, Frequenza, Aritmico) "
              "VALUES (1, '2021-03-03 00:00:00', 85, 140, 72, -1)"_s,
              u"INSERT INTO tblMonitorBMI (IDPaziente, Data, Peso, Altezza, crfVita) "
              "VALUES (1, '2021-03-04 00:00:00', 62.5, 168, 80)"_s,
              u"INSERT INTO tblVaccinazioni (IDPaziente, Data, DataRichiamo, Vaccino, Note) VALUES "
              "(1, '2020-10-10 00:00:00', '2021-10-10 00:00:00', 'Antinfluenzale', 'Campagna 2020')"_s}) {
            ASSERT_TRUE(db.esegui(sql)) << sql.toStdString() << db.ultimoErrore().testo().toStdString();
        }
    }
    ArchivioHost sorgente;
    ASSERT_TRUE(sorgente.apri(rete));
    QString prima;
    ASSERT_TRUE(CreaDatiCartella(sorgente, prima));
    clsXML inviato;
    ASSERT_TRUE(inviato.LoadXML(prima));

    // To the service, into patient 4 whose chart was empty; then downloaded and imported afresh.
    const QString dati = prima.mid(prima.indexOf(u"?>"_s) + 2).trimmed();
    const auto salvato = Risposta(RichiestaSalvaPaziente({CFCollega, PasswordCollega, CFMedico}, u"4"_s, dati));
    ASSERT_TRUE(EsitoOK(*salvato)) << TestoErroreUlmet(*salvato).toStdString();
    clsXML scaricato;
    Scarica(u"4"_s, scaricato);
    const QString copia = CopiaModello(u"ClinoraQUOR.mdb"_s);
    ASSERT_NE(Importa(scaricato, copia), 0);
    {
        lanvera::dao::Database db;
        ASSERT_TRUE(db.apri(copia));
        ASSERT_TRUE(db.esegui(u"INSERT INTO Farmaci (ID, AIC, Farmaco) VALUES (1, '012345678', 'Tachipirina')"_s));
        for (const QString &t : {u"tblAllergie"_s, u"tblProblemi"_s, u"tblDiario"_s, u"tblPrescrizioni"_s,
                                 u"tblMonitorIpertensione"_s, u"tblMonitorBMI"_s, u"tblVaccinazioni"_s}) {
            ASSERT_TRUE(db.esegui(u"UPDATE %1 SET ToSend=0"_s.arg(t)));
        }
    }

    // Exported again, the chart says what was sent, field by field.
    ArchivioHost importato;
    ASSERT_TRUE(importato.apri(copia));
    QString dopo;
    ASSERT_TRUE(CreaDatiCartella(importato, dopo));
    clsXML ritornato;
    ASSERT_TRUE(ritornato.LoadXML(dopo));
    EXPECT_EQ(Campi(ritornato).join(u'\n').toStdString(), Campi(inviato).join(u'\n').toStdString());
}

} // namespace
