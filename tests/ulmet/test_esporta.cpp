#include "ArchivioHost.h"
#include "CartellaTest.h"
#include "clsXML.h"
#include "modArchivioHost.h"
#include "modUlmetEsporta.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <utility>

using namespace Qt::StringLiterals;
using ulmet::test::Record;

namespace {

QStringList NomiFigli(clsXML::Nodo nodo)
{
    QStringList nomi;
    for (const clsXML::Nodo figlio : nodo.children()) {
        nomi << QString::fromUtf8(figlio.name());
    }
    return nomi;
}

// An empty chart database; rows written without ToSend are changed here, to be sent.
class EsportaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString percorso = m_cartella.filePath(u"Cartella.mdb"_s);
        QString errore;
        ASSERT_TRUE(lanvera::host::CreaArchivioVuoto(percorso, &errore)) << errore.toStdString();
        ASSERT_TRUE(m_db.apri(percorso)) << m_db.UltimoErrore().toStdString();
    }

    void esegui(const QStringList &istruzioni) { ulmet::test::Esegui(m_db.DB(), istruzioni); }

    // Exports into m_doc; the function's result.
    bool esporta()
    {
        QString xml;
        const bool esito = modUlmet::CreaDatiCartella(m_db, xml);
        EXPECT_TRUE(m_doc.LoadXML(xml)) << m_doc.LastError().toStdString();
        return esito;
    }

    clsXML::ListaNodi righe(const QString &percorso) { return m_doc.SelectNodeList(m_doc.RootNode(), percorso); }

    QTemporaryDir m_cartella;
    ArchivioHost m_db;
    clsXML m_doc;
};

const QVariant Nullo{};

} // namespace

TEST_F(EsportaTest, OnlyChangedRowsGoOutAndEverySectionIsThere)
{
    QString xml = u"prima"_s;
    EXPECT_FALSE(modUlmet::CreaDatiCartella(m_db, xml));
    EXPECT_TRUE(xml.startsWith(u"<?xml version=\"1.0\"?>\r\n<dati cartella=\"clinora\">"_s));

    esegui({u"INSERT INTO tblVaccinazioni (Data, ToSend) VALUES ('2024-01-01 00:00:00', -1)"_s,
            u"INSERT INTO tblProblemi (Etichetta, ToSend) VALUES ('Inviato', -1)"_s});
    EXPECT_FALSE(esporta());

    esegui({u"INSERT INTO tblVaccinazioni (Data, DataRichiamo, Vaccino, Note) "
            "VALUES ('2024-02-03 00:00:00', '2025-02-03 00:00:00', 'Antitetanica', 'Richiamo')"_s});
    EXPECT_TRUE(esporta());
    EXPECT_EQ(NomiFigli(m_doc.RootNode()),
              QStringList({u"allergie"_s, u"problemi"_s, u"diarioclinico"_s, u"prestazioni"_s, u"misure"_s,
                           u"ricoveri"_s, u"vaccinazioni"_s}));
    EXPECT_EQ(Record(m_doc, u"vaccinazioni/vaccinazione"_s, {u"datavaccinazione"_s, u"datarichiamo"_s, u"motivo"_s}),
              QStringList{u"20240203|20250203|Richiamo"_s});
    EXPECT_EQ(
        NomiFigli(m_doc.SelectNode(m_doc.RootNode(), u"vaccinazioni/vaccinazione"_s)),
        QStringList({u"datavaccinazione"_s, u"datarichiamo"_s, u"vaccino"_s, u"prodotto"_s, u"motivo"_s, u"note"_s}));
    EXPECT_TRUE(righe(u"problemi/problema"_s).empty());
}

TEST_F(EsportaTest, AllergiesNeedAnIngredientOrANote)
{
    esegui({u"INSERT INTO Principi (ID, CodiceATC, Principio) VALUES (1, 'J01CA04', 'Amoxicillina')"_s,
            u"INSERT INTO Farmaci (ID, AIC) VALUES (1, '012345678')"_s,
            u"INSERT INTO tblAllergie (IDPrincipio, Nota) VALUES (0, '')"_s,
            u"INSERT INTO tblAllergie (Nota) VALUES ('Solo nota & altro')"_s,
            u"INSERT INTO tblAllergie (IDPrincipio, IDFarmaco, Intolleranza) VALUES (1, 1, -1)"_s,
            u"INSERT INTO tblAllergie (IDPrincipio, IDFarmaco) VALUES (1, 999)"_s});
    ASSERT_TRUE(esporta());

    EXPECT_EQ(NomiFigli(m_doc.SelectNode(m_doc.RootNode(), u"allergie/allergia"_s)),
              QStringList({u"codiceatc"_s, u"codiceaic"_s, u"descrizionemolecola"_s, u"tipo"_s, u"note"_s}));
    EXPECT_EQ(Record(m_doc, u"allergie/allergia"_s),
              QStringList({u"|||A|Solo nota & altro"_s, u"J01CA04|012345678|Amoxicillina|I|"_s,
                           u"J01CA04||Amoxicillina|A|"_s}));
}

TEST_F(EsportaTest, AdmissionsLeaveTheDiaryAndPrescriptionRowsGoNowhere)
{
    esegui(
        {u"INSERT INTO tblDiario (Data, IDPrestazione, Ricetta, Diario, CodiceICD9) VALUES "
         "('2024-05-01 10:00:00', 16, 0, 'Day hospital Niguarda', '401'), "
         "('2024-03-01 00:00:00', 2, 0, 'Certificato', '401'), ('2024-04-01 00:00:00', 9, 0, 'Ospedale Sacco', '401'), "
         "('2024-02-01 00:00:00', NULL, 0, 'Senza tipo', '401'), ('2024-01-01 00:00:00', 1, 0, 'Tipo uno', '401'), "
         "('2024-06-01 00:00:00', 23, -1, 'Ricetta di ricovero', '401'), "
         "('2024-06-02 00:00:00', 10, -1, 'Ricetta', '401'), (NULL, 10, 0, 'Senza data', '401')"_s});
    ASSERT_TRUE(esporta());

    EXPECT_EQ(Record(m_doc, u"diarioclinico/diario"_s, {u"data"_s, u"tipo"_s, u"descrizione"_s}),
              QStringList({u"20240101|Altro|Tipo uno"_s, u"20240201|Altro|Senza tipo"_s,
                           u"20240301|Certificato Medico|Certificato"_s}));
    EXPECT_EQ(Record(m_doc, u"ricoveri/ricovero"_s, {u"dataingresso"_s, u"strutturaricovero"_s}),
              QStringList({u"20240401|Ospedale Sacco"_s, u"20240501|Day hospital Niguarda"_s}));
    for (const clsXML::Nodo n : righe(u"ricoveri/ricovero"_s)) {
        EXPECT_EQ(NomiFigli(n), QStringList({u"dataingresso"_s, u"strutturaricovero"_s, u"datadimissione"_s,
                                             u"diagnosidimissione"_s}));
    }
}

TEST_F(EsportaTest, PrescriptionKindsAndTheirCodes)
{
    // A diary entry already sent, linked to two problems: the first one's code is the diagnosis.
    esegui(
        {u"INSERT INTO Farmaci (ID, AIC) VALUES (1, '033333014')"_s,
         u"INSERT INTO arcEsami (ID, Codice) VALUES (1, '90.27.1')"_s,
         u"INSERT INTO arcVisite (ID, Codice) VALUES (1, '89.7')"_s,
         u"INSERT INTO tblDiario (ID, Data, ToSend) VALUES (1, '2023-01-01 00:00:00', -1)"_s,
         u"INSERT INTO tblProblemi (ID, CodiceICD9, ToSend) VALUES (1, '250', -1), (2, '401', -1)"_s,
         u"INSERT INTO tblProblemiDiario (IDProblema, IDDiario, ToSend) VALUES (1, 1, -1), (2, 1, -1)"_s,
         u"INSERT INTO tblPrescrizioni (Data, IDFarmaco, Diagnosi, IDDiario) "
         "VALUES ('2024-07-01 00:00:00', 1, 'Diabete', 1)"_s,
         u"INSERT INTO tblPrescrizioni (Data, IDFarmaco, IDEsame) VALUES ('2024-07-02 00:00:00', 999, 1)"_s,
         u"INSERT INTO tblPrescrizioni (Data, IDEsame, Diagnosi, IDDiario) VALUES ('2024-07-03 00:00:00', 1, '  ', 1)"_s,
         u"INSERT INTO tblPrescrizioni (Data, IDVisita, Descrizione) "
         "VALUES ('2024-07-04 00:00:00', 1, 'Prima VISITA cardiologica')"_s,
         u"INSERT INTO tblPrescrizioni (Data, Descrizione, Diagnosi) "
         "VALUES ('2024-07-05 00:00:00', 'Ecografia', 'Senza diario')"_s,
         u"INSERT INTO tblPrescrizioni (Descrizione) VALUES ('Senza data')"_s});
    ASSERT_TRUE(esporta());

    EXPECT_EQ(
        Record(m_doc, u"prestazioni/prestazione"_s,
               {u"tipo"_s, u"codiceprestazione"_s, u"codiceprestazione/@tipo"_s, u"codiceicd9"_s, u"continuativo"_s}),
        QStringList({u"F|033333014|minsan|250|N"_s, u"F||minsan||N"_s, u"L|90.27.1|minsan||N"_s, u"V|89.7|minsan||N"_s,
                     u"S||||N"_s}));
    // Every row has the same eighteen fields, but for the code element where there is no code kind.
    QList<std::pair<bool, qsizetype>> forme;
    for (const clsXML::Nodo n : righe(u"prestazioni/prestazione"_s)) {
        forme << std::pair(m_doc.ExistNode(n, u"codiceprestazione"_s), NomiFigli(n).size());
    }
    EXPECT_EQ(forme, (QList<std::pair<bool, qsizetype>>{{true, 18}, {true, 18}, {true, 18}, {true, 18}, {false, 17}}));
    EXPECT_EQ(m_doc.GetNode(m_doc.RootNode(), u"prestazioni/prestazione[1]/descrizionediagnosi"_s), u"Diabete"_s);
    EXPECT_EQ(m_doc.GetNode(m_doc.RootNode(), u"prestazioni/prestazione[5]/descrizionediagnosi"_s), QString());
}

TEST_F(EsportaTest, MeasurementsPressureFirstThenWeight)
{
    esegui({u"INSERT INTO tblMonitorBMI (Data, Peso, Altezza, crfVita) VALUES ('2024-01-01 00:00:00', 72.5, 175, 90)"_s,
            u"INSERT INTO tblMonitorIpertensione (Data, Minima, Massima, Frequenza, Aritmico) "
            "VALUES ('2024-03-01 00:00:00', 85, 135, 70, -1)"_s,
            u"INSERT INTO tblMonitorIpertensione (Data, Minima) VALUES ('2024-02-01 00:00:00', 80)"_s,
            u"INSERT INTO tblMonitorIpertensione (Minima) VALUES (1)"_s});
    ASSERT_TRUE(esporta());

    EXPECT_EQ(Record(m_doc, u"misure/misura"_s),
              QStringList({u"20240201||||80||||Ritmica"_s, u"20240301||||85|135||70|Aritmica"_s,
                           u"20240101|72.5|175||||90||"_s}));
    EXPECT_EQ(NomiFigli(m_doc.SelectNode(m_doc.RootNode(), u"misure/misura"_s)),
              QStringList({u"data"_s, u"pesokg"_s, u"altezzacm"_s, u"cccm"_s, u"pmin"_s, u"pmax"_s, u"cvitacm"_s,
                           u"freqcardiaca"_s, u"ritmocardiaco"_s}));
}

TEST_F(EsportaTest, AnUnreadableTableFailsTheWholeExport)
{
    esegui({u"INSERT INTO tblProblemi (Etichetta) VALUES ('Ipertensione')"_s});
    for (const QString &rovina :
         {u"ALTER TABLE tblVaccinazioni DROP COLUMN Vaccino"_s, u"DROP TABLE tblVaccinazioni"_s}) {
        SCOPED_TRACE(rovina.toStdString());
        esegui({u"INSERT INTO tblVaccinazioni (Data) VALUES ('2024-01-01 00:00:00')"_s});
        ASSERT_TRUE(m_db.Execute(rovina)) << m_db.UltimoErrore().toStdString();
        QString xml = u"intatto"_s;
        EXPECT_FALSE(modUlmet::CreaDatiCartella(m_db, xml));
        EXPECT_EQ(xml, u"intatto"_s);
    }
}

TEST_F(EsportaTest, LookupsTakeOnlyNumbers)
{
    esegui({u"INSERT INTO Principi (ID, CodiceATC) VALUES (1, 'C09AA02')"_s});
    EXPECT_EQ(modUlmet::CodiceATCPrincipio(m_db, 1), u"C09AA02"_s);
    EXPECT_EQ(modUlmet::CodiceATCPrincipio(m_db, u"1"_s), u"C09AA02"_s);
    for (const QVariant &id : {Nullo, QVariant(u"0 OR 1=1"_s), QVariant(u"x"_s), QVariant(2)}) {
        EXPECT_EQ(modUlmet::CodiceATCPrincipio(m_db, id), QString());
    }
    EXPECT_EQ(modUlmet::CodicePrestazione(m_db, Nullo, Nullo), QString());
    EXPECT_EQ(modUlmet::CodiceICD9Diario(m_db, 12), QString());

    const std::pair<QVariant, QString> tipi[] = {{2, u"Certificato Medico"_s},
                                                 {u"16"_s, u"Ricovero Day Hospital"_s},
                                                 {28, u"Cure termali"_s},
                                                 {1, u"Altro"_s},
                                                 {29, u"Altro"_s},
                                                 {Nullo, u"Altro"_s}};
    for (const auto &[valore, nome] : tipi) {
        EXPECT_EQ(modUlmet::TipoDocumento(valore), nome);
    }
}
