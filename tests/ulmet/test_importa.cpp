#include "ArchivioHost.h"
#include "CartellaTest.h"
#include "Database.h"
#include "clsXML.h"
#include "modClinora.h"
#include "modUlmetImporta.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace modClinora;
using namespace modUlmetImporta;
using namespace ulmet::test;

namespace {

const QDateTime Adesso(QDate(2024, 5, 10), QTime(10, 0));
constexpr qint32 Regione = 8;

// A host archive with a few catalogue rows, and an empty chart database made from the template.
class ImportaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString cartella = m_dir.filePath(u"Cartella.mdb"_s);
        const QString host = m_dir.filePath(u"Clinora.mdb"_s);
        for (const QString &file : {cartella, host}) {
            ASSERT_TRUE(CopiaArchivio(QStringLiteral(LANVERA_CLINORA_TEMPLATE), file));
        }
        ASSERT_TRUE(m_db.apri(cartella)) << m_db.ultimoErrore().testo().toStdString();
        ASSERT_TRUE(m_host.apri(host)) << m_host.UltimoErrore().toStdString();
        ASSERT_NO_FATAL_FAILURE(Esegui(
            m_host.DB(),
            {u"INSERT INTO Principi (ID, CodiceATC, Principio) VALUES (1, 'J01CA04', 'Amoxicillina')"_s,
             u"INSERT INTO Farmaci (ID, AIC, Farmaco, IDPrincipio, Classe, Nota, Prezzo) "
             "VALUES (10, '012345678', 'Augmentin 1g', 1, 'A', '55', 9.5)"_s,
             u"INSERT INTO ICD9CM (Codice, Descrizione) VALUES ('401.9', 'Ipertensione essenziale')"_s,
             u"INSERT INTO arcEsami (ID, Codice, Esame, MW, Tariffa) VALUES (100, '90.27.1', 'Glicemia', 'GLU', 2.5)"_s,
             u"INSERT INTO arcSottoesami (ID, Sottoesame, MW, Unita, ValoreMinimo, ValoreMassimo) "
             "VALUES (200, 'Glucosio', 'GLUC', 'mg/dl', 70, 110)"_s,
             u"INSERT INTO arcLinkEsamiSottoesami (IDEsame, IDSottoesame, Principale, Ordine) VALUES (100, 200, -1, 1)"_s,
             u"INSERT INTO arcVisite (ID, Codice, Visita, IDPrestazione) "
             "VALUES (300, '89.7', 'Visita cardiologica', 11), (301, '89.7', 'Visita oculistica', 11)"_s,
             // Exemptions: the articles' codes made from the exemption's; only 048 of region 8 has letters.
             u"INSERT INTO arcLinkEsenzioni (ID, IDRegione, IDEsenzione, CodEsenzione, Keyword, Etichetta) VALUES "
             "(50, 8, 249, 'B01', 'k', 'OK'), (51, 8, 1, '031', 'k', 'OK'), (60, 8, 367, '013.X', 'k', 'OK'), "
             "(61, 8, 2, '013', 'k', 'OK'), (70, 8, 3, '048', 'k', 'OK'), (71, 9, 3, '048', 'k', 'OK'), "
             "(72, 8, 4, '049', ' ', 'OK'), (73, 8, 5, '050', 'k', 'NO'), (90, 8, 6, '0A02.001', 'k', 'OK'), "
             "(91, 8, 7, 'RF01.002.1', 'k', 'OK')"_s,
             u"UPDATE arcLinkEsenzioni SET CodArtEsa = 'E' || CodEsenzione, CodArtFar = 'F' || CodEsenzione, "
             "LetteraEsami_N = ''"_s,
             u"UPDATE arcLinkEsenzioni SET LetteraEsami_N = 'NR', LetteraEsami = 'a', Lettera_N = 'n', Lettera = 'AR' "
             "WHERE ID = 70"_s}));
        m_c.orologio = [this] { return m_adesso; };
    }

    QStringList righe(const QString &sql) { return Righe(m_db.connessione(), sql); }

    static QString documento(const QString &corpo) { return u"<paziente>"_s + corpo + u"</paziente>"_s; }

    // The sections of a document for the patient, who is made first when there is none.
    bool importa(const QString &corpo)
    {
        clsXML xml;
        EXPECT_TRUE(xml.LoadXML(documento(corpo))) << xml.LastError().toStdString();
        if (m_paziente == 0) {
            m_paziente = ImportaCartella(m_c, xml);
            return m_paziente != 0 && m_c.Errori == 0;
        }
        return ImportaSezioni(m_c, m_paziente, xml);
    }

    QTemporaryDir m_dir;
    lanvera::dao::Database m_db;
    ArchivioHost m_host;
    ContestoClinora m_c{m_db, m_host, Regione};
    QDateTime m_adesso = Adesso;
    qint32 m_paziente = 0;
};

const QString Anagrafica = u"<anagrafica><cognome> Rossi </cognome><nome>Anna</nome><sesso>F</sesso>"
                           "<datanascita>19700215</datanascita><grupposang>A</grupposang><fattorerh>+</fattorerh>"
                           "<comunedomicilio>Pavia</comunedomicilio><inizioassistenza>20200101</inizioassistenza>"
                           "</anagrafica>"_s;

} // namespace

TEST(ClassificaTest, DiaryTextsFileUnderTheFirstMatchingList)
{
    const std::pair<const char *, int> casi[] = {
        {"Ecografia addome", 6},     {"Strisce reattive", 8}, {"eco e STRISCE", 8},  {"ECG a riposo", 6},
        {"Visita di controllo", 11}, {"Day-hospital", 9},     {"Dolore lombare", 1}, {"", 1},
    };
    for (const auto &[testo, tipo] : casi) {
        EXPECT_EQ(ClassificaPrestazione(QString::fromLatin1(testo)), tipo) << testo;
    }
    EXPECT_NEAR(CalcolaBMI(70.5, 175), 23.02, 0.01);
    EXPECT_EQ(CalcolaBMI(70, 0), 0);
    EXPECT_EQ(DataUlmet(u"20240229"_s), QDate(2024, 2, 29));
    EXPECT_FALSE(DataUlmet(u"2024022"_s).isValid());
    EXPECT_FALSE(DataUlmet(u"20240230"_s).isValid());
    EXPECT_EQ(NumeroUlmet(u" 70,5 kg"_s), 70.5);
    EXPECT_EQ(NumeroUlmet(u"n.d."_s), 0);
}

TEST_F(ImportaTest, ExemptionCodesFindTheirRegionalRow)
{
    const std::tuple<const char *, const char *, qint32> casi[] = {
        {"013", "", 60},     {"031", "", 50},           {"0031", "", 50}, // the numbers these codes are known by
        {"048", "", 70},     {" 048 ", "", 70},         {"049", "", 0},   // another region's, no keyword
        {"050", "", 0},      {"0A02.001", "", 90},      {"0A02/001", "", 90}, {"0A02-001", "", 90},
        {"0A02", "001", 90}, {"RF01", "0021", 91},      {"RF01", "002", 91},  {"%", "", 0},
        {"01_", "", 0},      {"048' OR '1'='1", "", 0},
    };
    for (const auto &[codice, sotto, id] : casi) {
        EXPECT_EQ(IDEsenzioneDaCodice(m_c, QString::fromLatin1(codice), QString::fromLatin1(sotto)), id)
            << codice << " " << sotto;
    }
    EXPECT_EQ(m_c.Errori, 0) << m_c.MessaggioErrore.toStdString();
}

TEST_F(ImportaTest, PatientAndExemptions)
{
    ASSERT_TRUE(importa(Anagrafica + u"<esenzioni>"
                                     "<esenzione><codiceesenzione>048</codiceesenzione>"
                                     "<datascadenza>20240511</datascadenza></esenzione>"
                                     "<esenzione><codiceesenzione>013</codiceesenzione>"
                                     "<datascadenza>20240510</datascadenza></esenzione>"
                                     "<esenzione><codiceesenzione>031</codiceesenzione></esenzione>"
                                     "<esenzione><codiceesenzione>999</codiceesenzione></esenzione>"
                                     "</esenzioni>"_s));
    EXPECT_EQ(righe(u"SELECT ID, Cognome, Nome, DataNascita, \"Città\", Emogruppo, ToSend FROM tblAnagrafica"_s),
              QStringList{u"%1|Rossi|Anna|1970-02-15 00:00:00|Pavia|A+|0"_s.arg(m_paziente)});
    EXPECT_EQ(righe(u"SELECT IDPaziente, DataInizio, DataFine, Motivo FROM tblRapporti"_s),
              QStringList{u"%1|2020-01-01 00:00:00|<null>|<null>"_s.arg(m_paziente)});
    // The one expiring today is gone, the unknown code too.
    EXPECT_EQ(righe(u"SELECT IDPaziente, IDEsenzione, CodiceEsenzione, EsaCodice, FarCodice, Scadenza, "
                    "EsaN, EsaR, EsaAAsl, EsaRAsl, FarN, FarR, FarAasl, FarRasl FROM tblEsenzioni ORDER BY ID"_s),
              (QStringList{u"%1|70|048|E048|F048|2024-05-11 00:00:00|-1|-1|-1|0|-1|0|-1|-1"_s.arg(m_paziente),
                           u"%1|50|B01|EB01|FB01|<null>|0|0|0|0|0|0|0|0"_s.arg(m_paziente)}));

    clsXML senza;
    ASSERT_TRUE(senza.LoadXML(documento(u"<esenzioni/>"_s)));
    EXPECT_EQ(ImportaCartella(m_c, senza), 0);
    EXPECT_EQ(righe(u"SELECT COUNT(*) FROM tblAnagrafica"_s), QStringList{u"1"_s});
}

TEST_F(ImportaTest, DiaryEntriesOfADayJoinAndProblemsLinkThem)
{
    const QString corpo =
        u"<problemi>"
        "<problema><datainizio>20240301</datainizio><datafine>20240201</datafine><codiceicd9>724.2</codiceicd9>"
        "<descrizione>Lombalgia</descrizione></problema>"
        "<problema><datainizio>20230101</datainizio><datafine>20230601</datafine><codiceicd9>401.9</codiceicd9>"
        "</problema>"
        "<problema><descrizione> </descrizione></problema></problemi>"
        "<diarioclinico>"
        "<diario><data>20240301</data><descrizione>Dolore lombare</descrizione></diario>"
        "<diario><data>20240301</data><descrizione>Riposo</descrizione><codiceicd9>724.2</codiceicd9></diario>"
        "<diario><data>20240301</data><descrizione>dolore LOMBARE </descrizione></diario>"
        "<diario><data>20240302</data><descrizione>Ecografia: nella norma</descrizione></diario>"
        "<diario><data>2024030</data><descrizione>senza data</descrizione></diario>"
        "</diarioclinico>"_s;
    ASSERT_TRUE(importa(Anagrafica + corpo));
    EXPECT_EQ(righe(u"SELECT DataApertura, DataChiusura, CodiceICD9, Etichetta, Stato FROM tblProblemi ORDER BY ID"_s),
              (QStringList{u"2024-03-01 00:00:00|<null>|724.2|Lombalgia|0"_s,
                           u"2023-01-01 00:00:00|2023-06-01 00:00:00|401.9|Ipertensione essenziale|0"_s}));
    const QStringList diario{u"2024-03-01 00:00:00|Dolore lombare\r\nRiposo|1|0|724.2"_s,
                             u"2024-03-02 00:00:00|Ecografia: nella norma|6|0|<null>"_s};
    const QString sqlDiario = u"SELECT Data, Diario, IDPrestazione, Ricetta, CodiceICD9 FROM tblDiario ORDER BY ID"_s;
    const QString sqlLegami = u"SELECT p.Etichetta, d.Data FROM tblProblemiDiario l JOIN tblProblemi p "
                              "ON p.ID = l.IDProblema JOIN tblDiario d ON d.ID = l.IDDiario"_s;
    EXPECT_EQ(righe(sqlDiario), diario);
    EXPECT_EQ(righe(sqlLegami), QStringList{u"Lombalgia|2024-03-01 00:00:00"_s});
    const QStringList timbro = righe(u"SELECT GUID, LastInsert FROM tblDiario ORDER BY ID"_s);

    // The same diary again, later, for the patient now in the archive: nothing new.
    m_adesso = Adesso.addDays(1);
    ASSERT_TRUE(importa(corpo.mid(corpo.indexOf(u"<diarioclinico>"_s))));
    EXPECT_EQ(righe(sqlDiario), diario);
    EXPECT_EQ(righe(sqlLegami).size(), 1);
    EXPECT_EQ(righe(u"SELECT GUID, LastInsert FROM tblDiario ORDER BY ID"_s), timbro);
    EXPECT_EQ(righe(u"SELECT DISTINCT LastUpdate FROM tblDiario"_s), QStringList{u"2024-05-11 10:00:00"_s});
}

TEST_F(ImportaTest, AllergiesMeasurementsStaysAndVaccinations)
{
    ASSERT_TRUE(importa(
        Anagrafica +
        u"<allergie>"
        "<allergia><tipo>I</tipo><codiceaic>012345678</codiceaic><descrizionemolecola>amoxicillina</"
        "descrizionemolecola>"
        "</allergia>"
        "<allergia><tipo>A</tipo><note>Orticaria</note><descrizionemolecola>Betulla</descrizionemolecola></allergia>"
        "<allergia><tipo>i</tipo><descrizionemolecola>Amoxicillina</descrizionemolecola></allergia>"
        "<allergia><codiceatc>J01CA04</codiceatc><descrizionemolecola>Ignota</descrizionemolecola></allergia>"
        "</allergie><misure>"
        "<misura><data>20240105</data><pmin>80</pmin><pmax>130</pmax><freqcardiaca>72</freqcardiaca>"
        "<ritmocardiaco>Aritmica</ritmocardiaco></misura>"
        "<misura><data>20240106</data><pesokg>70,5</pesokg><altezzacm>175</altezzacm><cvitacm>90</cvitacm></misura>"
        "<misura><data>20240106</data><pmin>85</pmin><pmax>140</pmax><ritmocardiaco>Ritmica</ritmocardiaco></misura>"
        "<misura><data>20240107</data><pmin>0</pmin></misura>"
        "</misure><ricoveri><ricovero><strutturaricovero>Ospedale Maggiore</strutturaricovero>"
        "<diagnosiingresso>Polmonite</diagnosiingresso><dataingresso>20240115</dataingresso>"
        "<datadimissione>20240120</datadimissione><diagnosidimissione>Guarito</diagnosidimissione></ricovero>"
        "<ricovero><dataingresso>20240201</dataingresso></ricovero></ricoveri>"
        "<vaccinazioni><vaccinazione><datavaccinazione>20231010</datavaccinazione><datarichiamo>2024</datarichiamo>"
        "<vaccino>Antinfluenzale</vaccino><note>Braccio sinistro</note></vaccinazione>"
        "<vaccinazione><datavaccinazione>20231011</datavaccinazione></vaccinazione></vaccinazioni>"_s));
    EXPECT_EQ(righe(u"SELECT IDFarmaco, IDPrincipio, ATCFarmaco, Intolleranza, Nota FROM tblAllergie ORDER BY ID"_s),
              (QStringList{u"10|1|<null>|-1|<null>"_s, u"<null>|<null>|<null>|0|Orticaria\r\nBetulla"_s,
                           u"<null>|<null>|J01CA04|0|Ignota"_s}));
    EXPECT_EQ(righe(u"SELECT IDPaziente, Data, Minima, Massima, Frequenza, Aritmico FROM tblMonitorIpertensione"_s),
              (QStringList{u"%1|2024-01-05 00:00:00|80|130|72|-1"_s.arg(m_paziente),
                           u"%1|2024-01-06 00:00:00|85|140|<null>|0"_s.arg(m_paziente)}));
    EXPECT_EQ(righe(u"SELECT IDPaziente, Data, Peso, Altezza, ROUND(BMI, 2), crfVita FROM tblMonitorBMI"_s),
              QStringList{u"%1|2024-01-06 00:00:00|70.5|175|23.02|90"_s.arg(m_paziente)});
    EXPECT_EQ(
        righe(u"SELECT Data, Diario, IDPrestazione, Ricetta FROM tblDiario"_s),
        QStringList{u"2024-01-15 00:00:00|Ospedale Maggiore\r\nPolmonite\r\nDimissione: 20/01/2024 Guarito|9|0"_s});
    EXPECT_EQ(righe(u"SELECT Data, DataRichiamo, Vaccino, Note FROM tblVaccinazioni"_s),
              QStringList{u"2023-10-10 00:00:00|<null>|Antinfluenzale|Braccio sinistro"_s});
}

TEST_F(ImportaTest, PrescriptionsResolveTheirCatalogues)
{
    ASSERT_TRUE(importa(
        Anagrafica +
        u"<esenzioni><esenzione><codiceesenzione>048</codiceesenzione></esenzione></esenzioni><prestazioni>"
        "<prestazione><tipo>f</tipo><data>20240210</data><codiceprestazione>012345678</codiceprestazione>"
        "<qta>2</qta><note>Dopo i pasti</note><classe>A</classe><posologia>1 cp ogni 12 ore</posologia>"
        "<continuativo>S</continuativo><codiceesenzione>048</codiceesenzione><codiceicd9>401.9</codiceicd9>"
        "</prestazione>"
        "<prestazione><tipo>V</tipo><data>20240211</data><codiceprestazione tipo=\"SOLE\">89.7</codiceprestazione>"
        "<codiceprestazione>89.7</codiceprestazione><descrizione>Visita oculistica di controllo</descrizione>"
        "<datareferto>20240209</datareferto><risultato>Visus 10/10</risultato></prestazione>"
        "<prestazione><tipo>L</tipo><data>20240212</data><codiceprestazione>mw_GLUC</codiceprestazione>"
        "<datareferto>20240214</datareferto><risultato>126</risultato></prestazione>"
        "<prestazione><tipo>C</tipo><data>20240213</data><descrizione>Certificato di malattia</descrizione>"
        "<note>Prognosi 3 giorni</note></prestazione>"
        "</prestazioni>"_s));
    EXPECT_EQ(righe(u"SELECT Data, Diario, IDPrestazione, Ricetta FROM tblDiario ORDER BY ID"_s),
              (QStringList{
                  u"2024-02-10 00:00:00|2 Augmentin 1g; Nota Dopo i pasti; Classe A; Pos: 1 cp ogni 12 ore|7|-1"_s,
                  u"2024-02-11 00:00:00|Visita oculistica di controllo|11|-1"_s,
                  u"2024-02-11 00:00:00|Visus 10/10|20|0"_s, u"2024-02-12 00:00:00|Glicemia|5|-1"_s,
                  u"2024-02-14 00:00:00|Glucosio: 126|18|0"_s, u"2024-02-13 00:00:00|Certificato di malattia|2|0"_s}));
    EXPECT_EQ(
        righe(u"SELECT d.IDPrestazione, p.IDFarmaco, p.IDEsame, p.IDVisita, p.Descrizione, p.\"Quantità\", "
              "p.Classe, p.Nota, p.\"PosQuantità\", p.PosDescrizione, p.Prezzo, p.Importo "
              "FROM tblPrescrizioni p JOIN tblDiario d ON d.ID = p.IDDiario ORDER BY p.ID"_s),
        (QStringList{
            u"7|10|<null>|<null>|Augmentin 1g|2|A|Dopo i pasti|1|cp ogni 12 ore|9.5|<null>"_s,
            u"11|<null>|<null>|301|Visita oculistica di controllo|<null>|<null>|<null>|<null>|<null>|<null>|<null>"_s,
            u"5|<null>|100|<null>|Glicemia|<null>|<null>|<null>|<null>|<null>|<null>|2.5"_s}));
    EXPECT_EQ(righe(u"SELECT IDFarmaco, Qt, Classe, Nota, QtPos, Posologia, IDEsenzione, CodiceEsenzione, "
                    "FarR, FarN, FarRasl, FarAasl, Diagnosi FROM tblStatoFarmaci"_s),
              QStringList{u"10|2|A|Dopo i pasti|1|cp ogni 12 ore|70|048|0|-1|-1|-1|401.9"_s});
    EXPECT_EQ(righe(u"SELECT e.Data, e.IDEsame, e.IDSottoesame, e.Valore, e.Unita, e.Alterato, d.IDPrestazione "
                    "FROM tblEsami e JOIN tblDiario d ON d.ID = e.IDDiario"_s),
              QStringList{u"2024-02-14 00:00:00|100|200|126|mg/dl|S|18"_s});
    EXPECT_EQ(righe(u"SELECT m.Certificato, m.Testo, d.IDPrestazione FROM tblMemoCertificati m "
                    "JOIN tblDiario d ON d.ID = m.IDDiario"_s),
              QStringList{u"Certificato di malattia|Prognosi 3 giorni|2"_s});

    // Every row the import wrote is in step with its source and has its own identity.
    for (const QString &tabella : {u"tblRapporti"_s, u"tblEsenzioni"_s, u"tblDiario"_s, u"tblPrescrizioni"_s,
                                   u"tblStatoFarmaci"_s, u"tblEsami"_s, u"tblMemoCertificati"_s}) {
        SCOPED_TRACE(tabella.toStdString());
        const QString sql = u"SELECT ToSend, ToRepl, LastUpdate, LastInsert, IDPaziente = %1, COUNT(DISTINCT GUID) = "
                            "COUNT(*), MIN(length(GUID)) FROM \"%2\" GROUP BY 1, 2, 3, 4, 5"_s;
        EXPECT_EQ(righe(sql.arg(m_paziente).arg(tabella)),
                  QStringList{u"-1|-1|2024-05-10 10:00:00|2024-05-10 10:00:00|1|1|38"_s});
    }
}

// Codes and names from the network reach the catalogues and the archive as values: an apostrophe
// is an ordinary character, and SQL in a code finds nothing and changes nothing.
TEST_F(ImportaTest, HostileCodesAreOnlyValues)
{
    const QString conta = u"SELECT (SELECT COUNT(*) FROM Farmaci) || '/' || (SELECT COUNT(*) FROM arcLinkEsenzioni) "
                          "|| '/' || (SELECT COUNT(*) FROM arcVisite)"_s;
    const QStringList prima = Righe(m_host.DB(), conta);
    ASSERT_TRUE(importa(
        Anagrafica + u"<esenzioni><esenzione><codiceesenzione>048'; DELETE FROM arcLinkEsenzioni; --</codiceesenzione>"
                     "</esenzione><esenzione><codiceesenzione>x' OR '1'='1</codiceesenzione></esenzione></esenzioni>"
                     "<allergie><allergia><codiceaic>0' OR '1'='1</codiceaic><note>Nota</note>"
                     "<descrizionemolecola>D'Annunzio</descrizionemolecola></allergia></allergie>"
                     "<problemi><problema><codiceicd9>401.9' OR ''='</codiceicd9></problema></problemi>"
                     "<diarioclinico><diario><data>20240301</data><descrizione>L'ecografia dell'addome</descrizione>"
                     "<codiceicd9>401.9' OR ''='</codiceicd9></diario></diarioclinico>"
                     "<prestazioni><prestazione><tipo>V</tipo><data>20240211</data>"
                     "<codiceprestazione>89.7' OR '1'='1</codiceprestazione><descrizione>Visita d'urgenza</descrizione>"
                     "</prestazione><prestazione><tipo>F</tipo><data>20240211</data>"
                     "<codiceprestazione>x'); DROP TABLE Farmaci; --</codiceprestazione><continuativo>S</continuativo>"
                     "</prestazione></prestazioni>"_s))
        << m_c.MessaggioErrore.toStdString();
    EXPECT_EQ(Righe(m_host.DB(), conta), prima);
    EXPECT_EQ(righe(u"SELECT (SELECT COUNT(*) FROM tblEsenzioni), (SELECT COUNT(*) FROM tblPrescrizioni), "
                    "(SELECT COUNT(*) FROM tblStatoFarmaci)"_s),
              QStringList{u"0|0|0"_s});
    EXPECT_EQ(righe(u"SELECT IDFarmaco, IDPrincipio, Nota FROM tblAllergie"_s),
              QStringList{u"<null>|<null>|Nota\r\nD'Annunzio"_s});
    EXPECT_EQ(righe(u"SELECT CodiceICD9, Etichetta FROM tblProblemi"_s), QStringList{u"401.9' OR ''='|<null>"_s});
    EXPECT_EQ(righe(u"SELECT Diario, IDPrestazione, CodiceICD9 FROM tblDiario ORDER BY ID"_s),
              (QStringList{u"L'ecografia dell'addome|6|401.9' OR ''='"_s, u"Visita d'urgenza|11|<null>"_s,
                           u"AIC x'); DROP TABLE Farmaci; --|7|<null>"_s}));
}
