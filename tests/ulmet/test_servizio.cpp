#include "ArchivioHost.h"
#include "CartellaTest.h"
#include "Database.h"
#include "clsXML.h"
#include "modClinora.h"
#include "modUlmet.h"
#include "modUlmetEsporta.h"
#include "modUlmetImporta.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

using namespace Qt::StringLiterals;
using namespace modUlmet;
using namespace ulmet::test;

namespace {

const QString CFMedico = u"VRDLGI55B02F205Z"_s;
const QString CFCollega = u"RSSMRA60A01H501U"_s;
const QString PasswordCollega = u"cifrata=="_s;
const IntestazioneUlmet Collega{CFCollega, PasswordCollega, CFMedico};

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

// The stand-in service, run as the real program on a real archive with a few patients.
class ServizioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_cartella.isValid());
        m_archivio = CopiaModello(u"medico.mdb"_s);
        {
            lanvera::dao::Database db;
            ASSERT_TRUE(db.apri(m_archivio));
            ASSERT_NO_FATAL_FAILURE(Esegui(
                db.connessione(),
                {u"INSERT INTO tblAnagrafica (Cognome, Nome, CodiceFiscale, Indirizzo, [Città], Provincia, Sesso, "
                 "DataNascita) VALUES ('D''Amico', 'Anna', 'DMCNNA80A41D704X', 'Via Emilia 3', 'Forlì', 'FC', 'F', "
                 "'1980-01-01 00:00:00'), ('Rossi', 'Mario', 'RSSMRA70C10H501A', NULL, 'Roma', 'RM', 'M', NULL), "
                 "('Rossetti', 'Luca', NULL, NULL, NULL, NULL, 'M', NULL), "
                 "('Bianchi', 'Ugo', NULL, NULL, NULL, NULL, 'M', NULL)"_s,
                 u"INSERT INTO Farmaci (AIC, Farmaco, Classe) VALUES ('012345678', 'Tachipirina', 'C')"_s,
                 u"INSERT INTO tblAllergie (IDPaziente, Nota, Intolleranza, ATCFarmaco) "
                 "VALUES (1, 'Polline <forte>', -1, 'R06')"_s,
                 u"INSERT INTO tblProblemi (IDPaziente, DataApertura, CodiceICD9, Etichetta) "
                 "VALUES (1, '2020-05-04 00:00:00', '401.9', 'Ipertensione')"_s,
                 u"INSERT INTO tblDiario (IDPaziente, Data, Diario, IDPrestazione, Ricetta) VALUES "
                 "(1, '2021-03-02 00:00:00', 'Controllo pressione', 1, 0), "
                 "(1, '2021-04-01 00:00:00', 'Ospedale di Forlì', 9, 0), "
                 "(1, '2021-05-01 00:00:00', 'Tachipirina', 7, -1)"_s,
                 u"INSERT INTO tblPrescrizioni (IDPaziente, IDDiario, Data, IDFarmaco, Descrizione, [Quantità], "
                 "[PosQuantità], PosDescrizione) VALUES (1, 3, '2021-05-01 00:00:00', 1, 'Tachipirina', 2, '1 cp', "
                 "'al bisogno')"_s,
                 u"INSERT INTO tblMonitorIpertensione (IDPaziente, Data, Minima, Massima, Frequenza, Aritmico) "
                 "VALUES (1, '2021-03-02 00:00:00', 85, 140, 72, -1)"_s,
                 u"INSERT INTO tblMonitorBMI (IDPaziente, Data, Peso, Altezza) VALUES "
                 "(1, '2021-03-02 00:00:00', 62.5, 168)"_s,
                 u"INSERT INTO tblVaccinazioni (IDPaziente, Data, DataRichiamo, Vaccino) VALUES "
                 "(1, '2020-10-10 00:00:00', '2021-10-10 00:00:00', 'Antinfluenzale')"_s,
                 // Another patient's row must not travel with her chart.
                 u"INSERT INTO tblVaccinazioni (IDPaziente, Data, Vaccino) VALUES (2, '2020-10-10 00:00:00', "
                 "'Altro')"_s}));
        }

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

    // The answer parsed; the test fails when it is not XML.
    std::unique_ptr<clsXML> Risposta(const QString &richiesta)
    {
        auto xml = std::make_unique<clsXML>();
        const QString testo = InviaRichiestaUlmet(richiesta, m_impostazioni);
        EXPECT_TRUE(xml->LoadXML(testo)) << testo.toStdString();
        return xml;
    }

    QStringList Cerca(const QString &cognome)
    {
        const auto xml = Risposta(RichiestaCercaPaziente(Collega, cognome));
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
        EXPECT_TRUE(CopiaArchivio(QStringLiteral(LANVERA_CLINORA_TEMPLATE), file));
        return file;
    }

    // The patient's chart as the service sends it: the single entry "Dati.xml" of the zip in the
    // answer's "dati"; empty when the zip holds anything else.
    QByteArray Scarica(const QString &idCartella)
    {
        const auto risposta = Risposta(RichiestaCaricaPaziente(Collega, idCartella));
        EXPECT_TRUE(EsitoOK(*risposta));
        const QByteArray zip = QByteArray::fromBase64(risposta->GetNode(risposta->RootNode(), u"dati"_s).toLatin1());
        zip_error_t errore;
        zip_error_init(&errore);
        zip_source_t *sorgente = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &errore);
        zip_t *archivio = sorgente ? zip_open_from_source(sorgente, ZIP_RDONLY, &errore) : nullptr;
        if (archivio == nullptr) {
            zip_source_free(sorgente);
            return {};
        }
        auto chiudi = qScopeGuard([archivio] { zip_discard(archivio); });
        zip_stat_t info;
        zip_file_t *voce = nullptr;
        if (zip_get_num_entries(archivio, 0) != 1 || zip_stat(archivio, "Dati.xml", 0, &info) != 0 ||
            (voce = zip_fopen(archivio, "Dati.xml", 0)) == nullptr) {
            return {};
        }
        QByteArray dati(qsizetype(info.size), '\0');
        const bool letti = zip_fread(voce, dati.data(), info.size) == zip_int64_t(info.size);
        zip_fclose(voce);
        return letti ? dati : QByteArray();
    }

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

    const RecordUlmet r = RecordRicerca(*Risposta(RichiestaCercaPaziente(Collega, u"D"_s))).value(0);
    EXPECT_EQ(QStringList({r.codiceFiscale, r.nome, r.indirizzo, r.comune, r.provincia, r.sesso}),
              QStringList({u"DMCNNA80A41D704X"_s, u"Anna"_s, u"Via Emilia 3"_s, u"Forlì"_s, u"FC"_s, u"F"_s}));
}

TEST_F(ServizioTest, DownloadsTheChartAsAZippedDocumentThatTheImportRebuilds)
{
    const QByteArray dati = Scarica(u"1"_s);
    ASSERT_TRUE(dati.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")) << dati.left(80).toStdString();
    clsXML doc;
    ASSERT_TRUE(doc.LoadXML(clsXML::Decodifica(dati)));
    // Every section has its one record, the measurements two: the pressure's and the weight's. The
    // prescription's own diary entry travels with the prescription, the admission apart.
    const std::tuple<QString, QStringList, QStringList> sezioni[] = {
        {u"anagrafica"_s, {u"cognome"_s, u"comunedomicilio"_s, u"datanascita"_s}, {u"D'Amico|Forlì|19800101"_s}},
        {u"allergie/allergia"_s, {u"note"_s, u"tipo"_s, u"codiceatc"_s}, {u"Polline <forte>|I|R06"_s}},
        {u"problemi/problema"_s, {u"datainizio"_s, u"codiceicd9"_s}, {u"20200504|401.9"_s}},
        {u"diarioclinico/diario"_s, {u"descrizione"_s}, {u"Controllo pressione"_s}},
        {u"ricoveri/ricovero"_s, {u"strutturaricovero"_s, u"dataingresso"_s}, {u"Ospedale di Forlì|20210401"_s}},
        {u"prestazioni/prestazione"_s,
         {u"tipo"_s, u"codiceprestazione"_s, u"codiceprestazione/@tipo"_s, u"qta"_s, u"posologia"_s},
         {u"F|012345678|minsan|2|1 cp al bisogno"_s}},
        {u"misure/misura"_s, {u"pmax"_s, u"ritmocardiaco"_s, u"pesokg"_s}, {u"140|Aritmica|"_s, u"||62.5"_s}},
        {u"vaccinazioni/vaccinazione"_s, {u"datarichiamo"_s}, {u"20211010"_s}},
    };
    for (const auto &[percorso, campi, attesi] : sezioni) {
        EXPECT_EQ(Record(doc, percorso, campi), attesi) << percorso.toStdString();
    }

    // Imported into a fresh chart database, every section is back in its table.
    const QString copia = CopiaModello(u"ClinoraQUOR.mdb"_s);
    const qint32 id = Importa(doc, copia);
    ASSERT_NE(id, 0);
    lanvera::dao::Database db;
    ASSERT_TRUE(db.apri(copia));
    const std::pair<QString, QString> righe[] = {
        {u"SELECT Cognome, [Città], DataNascita FROM tblAnagrafica WHERE ID=?"_s,
         u"D'Amico|Forlì|1980-01-01 00:00:00"_s},
        {u"SELECT Nota, Intolleranza FROM tblAllergie WHERE IDPaziente=?"_s, u"Polline <forte>|-1"_s},
        {u"SELECT CodiceICD9, Etichetta FROM tblProblemi WHERE IDPaziente=?"_s, u"401.9|Ipertensione"_s},
        {u"SELECT IDFarmaco, [Quantità] FROM tblPrescrizioni WHERE IDPaziente=?"_s, u"1|2"_s},
        {u"SELECT Massima, Aritmico FROM tblMonitorIpertensione WHERE IDPaziente=?"_s, u"140|-1"_s},
        {u"SELECT Peso FROM tblMonitorBMI WHERE IDPaziente=?"_s, u"62.5"_s},
        {u"SELECT Vaccino, DataRichiamo FROM tblVaccinazioni WHERE IDPaziente=?"_s,
         u"Antinfluenzale|2021-10-10 00:00:00"_s},
        {u"SELECT COUNT(*) FROM tblDiario WHERE IDPaziente=? AND IDPrestazione=9"_s, u"1"_s},
    };
    for (const auto &[sql, atteso] : righe) {
        EXPECT_EQ(Righe(db.connessione(), sql, {id}), QStringList{atteso}) << sql.toStdString();
    }
}

TEST_F(ServizioTest, RefusesWithStableCodes)
{
    const std::pair<QString, QString> casi[] = {
        {RichiestaCercaPaziente({CFCollega, PasswordCollega, u"XXXXXX00X00X000X"_s}, u"R"_s), u"E20"_s},
        {RichiestaCercaPaziente({CFCollega, u"sbagliata"_s, CFMedico}, u"R"_s), u"E21"_s},
        {RichiestaCaricaPaziente(Collega, u"999"_s), u"E30"_s},
        {RichiestaCaricaPaziente(Collega, u"1 OR 1=1"_s), u"E30"_s},
        {RichiestaSalvaPaziente(Collega, u"1"_s, {}), u"E31"_s},
        {CreaRichiesta(Collega, u"cancellapaziente"_s, {}), u"E11"_s},
        {u"questo non è XML"_s, u"E10"_s},
        {u"<ulmet><altro/></ulmet>"_s, u"E10"_s},
    };
    for (const auto &[richiesta, codice] : casi) {
        SCOPED_TRACE(richiesta.toStdString());
        const auto xml = Risposta(richiesta);
        EXPECT_TRUE(EsitoKO(*xml));
        EXPECT_EQ(xml->GetNode(xml->RootNode(), u"header/errorecodice"_s), codice);
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
    const auto xml = Risposta(RichiestaSalvaPaziente(Collega, u"2"_s, dati));
    ASSERT_TRUE(EsitoOK(*xml)) << TestoErroreUlmet(*xml).toStdString();

    lanvera::dao::Database db;
    ASSERT_TRUE(db.apri(m_archivio));
    // The last count: nothing reached the other patients.
    EXPECT_EQ(Righe(db.connessione(), u"SELECT (SELECT Nota FROM tblAllergie WHERE IDPaziente=2), "
                                      "(SELECT Diario FROM tblDiario WHERE IDPaziente=2), "
                                      "(SELECT Massima FROM tblMonitorIpertensione WHERE IDPaziente=2), "
                                      "(SELECT COUNT(*) FROM tblVaccinazioni WHERE IDPaziente=2), "
                                      "(SELECT COUNT(*) FROM tblAllergie WHERE IDPaziente<>2)"_s),
              QStringList{u"Nichel & cromo|Tosse è secca|130|2|1"_s});

    const QDir ricevuti(m_cartella.filePath(u"ricevuti"_s));
    const QStringList copie = ricevuti.entryList(QDir::Files);
    ASSERT_EQ(copie.size(), 1);
    EXPECT_TRUE(copie[0].startsWith(CFMedico + u"_2_"));
    clsXML copia;
    ASSERT_TRUE(copia.LoadFileXML(ricevuti.filePath(copie[0])));
    EXPECT_EQ(copia.GetNode(copia.RootNode(), u"diarioclinico/diario/descrizione"_s), u"Tosse è secca");
}

TEST_F(ServizioTest, AChartSentAndDownloadedAgainKeepsEveryExportedField)
{
    // A colleague's network archive: one changed row in every section, the catalogues of the owner.
    const QString rete = CopiaModello(u"rete.mdb"_s);
    {
        lanvera::dao::Database db;
        ASSERT_TRUE(db.apri(rete));
        ASSERT_NO_FATAL_FAILURE(
            Esegui(db.connessione(),
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
                    "(1, '2020-10-10 00:00:00', '2021-10-10 00:00:00', 'Antinfluenzale', 'Campagna 2020')"_s}));
    }
    ArchivioHost sorgente;
    ASSERT_TRUE(sorgente.apri(rete));
    QString prima;
    ASSERT_TRUE(CreaDatiCartella(sorgente, prima));
    clsXML inviato;
    ASSERT_TRUE(inviato.LoadXML(prima));

    // To the service, into patient 4 whose chart was empty; then downloaded and imported afresh.
    const QString dati = prima.mid(prima.indexOf(u"?>"_s) + 2).trimmed();
    const auto salvato = Risposta(RichiestaSalvaPaziente(Collega, u"4"_s, dati));
    ASSERT_TRUE(EsitoOK(*salvato)) << TestoErroreUlmet(*salvato).toStdString();
    clsXML scaricato;
    ASSERT_TRUE(scaricato.LoadXML(clsXML::Decodifica(Scarica(u"4"_s))));
    const QString copia = CopiaModello(u"ClinoraQUOR.mdb"_s);
    ASSERT_NE(Importa(scaricato, copia), 0);
    {
        lanvera::dao::Database db;
        ASSERT_TRUE(db.apri(copia));
        QStringList istruzioni{u"INSERT INTO Farmaci (ID, AIC, Farmaco) VALUES (1, '012345678', 'Tachipirina')"_s};
        for (const QString &t : {u"tblAllergie"_s, u"tblProblemi"_s, u"tblDiario"_s, u"tblPrescrizioni"_s,
                                 u"tblMonitorIpertensione"_s, u"tblMonitorBMI"_s, u"tblVaccinazioni"_s}) {
            istruzioni << u"UPDATE %1 SET ToSend=0"_s.arg(t);
        }
        ASSERT_NO_FATAL_FAILURE(Esegui(db.connessione(), istruzioni));
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
