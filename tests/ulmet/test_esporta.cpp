#include "ArchivioHost.h"
#include "StampaQt.h"
#include "clsXML.h"
#include "modArchivioHost.h"
#include "modUlmetEsporta.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

using Valori = QList<std::pair<QString, QVariant>>;

QStringList NomiFigli(clsXML::Nodo nodo)
{
    QStringList nomi;
    for (const clsXML::Nodo figlio : nodo.children()) {
        nomi << QString::fromUtf8(figlio.name());
    }
    return nomi;
}

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

    // A row; ToSend stays 0 (changed here) unless given.
    qlonglong inserisci(const QString &tabella, const Valori &valori)
    {
        QStringList colonne;
        QVariantList dati;
        for (const auto &[colonna, valore] : valori) {
            colonne << u'"' + colonna + u'"';
            dati << valore;
        }
        const QString sql = u"INSERT INTO "_s + tabella + u" ("_s + colonne.join(u", "_s) + u") VALUES ("_s +
                            QStringList(colonne.size(), u"?"_s).join(u", "_s) + u")"_s;
        EXPECT_TRUE(m_db.database().esegui(sql, dati)) << m_db.database().ultimoErrore().testo().toStdString();
        const std::unique_ptr<clinora::Record> rs =
            m_db.OpenRecordset(u"SELECT max(ID) AS ID FROM "_s + tabella, clinora::ClsDB::SoloAvanti);
        return rs ? rs->Campo(u"ID"_s).toLongLong() : -1;
    }

    // Exports into m_doc; the function's result.
    bool esporta()
    {
        QString xml;
        const bool esito = modUlmet::CreaDatiCartella(m_db, xml);
        EXPECT_TRUE(m_doc.LoadXML(xml)) << m_doc.LastError().toStdString();
        return esito;
    }

    clsXML::ListaNodi righe(const QString &percorso) { return m_doc.SelectNodeList(m_doc.RootNode(), percorso); }
    QString testo(clsXML::Nodo n, const QString &query) { return m_doc.GetNode(n, query); }

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

    inserisci(u"tblVaccinazioni"_s, {{u"Data"_s, u"2024-01-01 00:00:00"_s}, {u"ToSend"_s, -1}});
    inserisci(u"tblProblemi"_s, {{u"Etichetta"_s, u"Inviato"_s}, {u"ToSend"_s, -1}});
    EXPECT_FALSE(esporta());

    inserisci(u"tblVaccinazioni"_s, {{u"Data"_s, u"2024-02-03 00:00:00"_s},
                                     {u"DataRichiamo"_s, u"2025-02-03 00:00:00"_s},
                                     {u"Vaccino"_s, u"Antitetanica"_s},
                                     {u"Note"_s, u"Richiamo"_s}});
    EXPECT_TRUE(esporta());
    EXPECT_EQ(NomiFigli(m_doc.RootNode()),
              QStringList({u"allergie"_s, u"problemi"_s, u"diarioclinico"_s, u"prestazioni"_s, u"misure"_s,
                           u"ricoveri"_s, u"vaccinazioni"_s}));
    const clsXML::ListaNodi vaccini = righe(u"vaccinazioni/vaccinazione"_s);
    ASSERT_EQ(vaccini.size(), 1u);
    EXPECT_EQ(NomiFigli(vaccini[0]), QStringList({u"datavaccinazione"_s, u"datarichiamo"_s, u"vaccino"_s, u"prodotto"_s,
                                                  u"motivo"_s, u"note"_s}));
    EXPECT_EQ(testo(vaccini[0], u"datavaccinazione"_s) + testo(vaccini[0], u"datarichiamo"_s), u"2024020320250203"_s);
    EXPECT_EQ(testo(vaccini[0], u"motivo"_s), u"Richiamo"_s);
    EXPECT_TRUE(righe(u"problemi/problema"_s).empty());
}

TEST_F(EsportaTest, AllergiesNeedAnIngredientOrANote)
{
    const qlonglong principio =
        inserisci(u"Principi"_s, {{u"CodiceATC"_s, u"J01CA04"_s}, {u"Principio"_s, u"Amoxicillina"_s}});
    const qlonglong farmaco = inserisci(u"Farmaci"_s, {{u"AIC"_s, u"012345678"_s}});
    inserisci(u"tblAllergie"_s, {{u"IDPrincipio"_s, 0}, {u"Nota"_s, u""_s}});
    inserisci(u"tblAllergie"_s, {{u"Nota"_s, u"Solo nota & altro"_s}});
    inserisci(u"tblAllergie"_s, {{u"IDPrincipio"_s, principio}, {u"IDFarmaco"_s, farmaco}, {u"Intolleranza"_s, -1}});
    inserisci(u"tblAllergie"_s, {{u"IDPrincipio"_s, principio}, {u"IDFarmaco"_s, 999}});
    ASSERT_TRUE(esporta());

    const clsXML::ListaNodi allergie = righe(u"allergie/allergia"_s);
    ASSERT_EQ(allergie.size(), 3u);
    EXPECT_EQ(NomiFigli(allergie[0]),
              QStringList({u"codiceatc"_s, u"codiceaic"_s, u"descrizionemolecola"_s, u"tipo"_s, u"note"_s}));
    const QStringList attese[] = {
        {u""_s, u""_s, u""_s, u"A"_s, u"Solo nota & altro"_s},
        {u"J01CA04"_s, u"012345678"_s, u"Amoxicillina"_s, u"I"_s, u""_s},
        {u"J01CA04"_s, u""_s, u"Amoxicillina"_s, u"A"_s, u""_s},
    };
    for (size_t i = 0; i < allergie.size(); ++i) {
        QStringList valori;
        for (const clsXML::Nodo campo : allergie[i].children()) {
            valori << clsXML::TestoNodo(campo);
        }
        EXPECT_EQ(valori, attese[i]) << i;
    }
}

TEST_F(EsportaTest, AdmissionsLeaveTheDiaryAndPrescriptionRowsGoNowhere)
{
    struct Caso
    {
        QString data;
        QVariant tipo;
        int ricetta;
        QString testo;
    };
    const Caso casi[] = {
        {u"2024-05-01 10:00:00"_s, 16, 0, u"Day hospital Niguarda"_s},
        {u"2024-03-01 00:00:00"_s, 2, 0, u"Certificato"_s},
        {u"2024-04-01 00:00:00"_s, 9, 0, u"Ospedale Sacco"_s},
        {u"2024-02-01 00:00:00"_s, Nullo, 0, u"Senza tipo"_s},
        {u"2024-01-01 00:00:00"_s, 1, 0, u"Tipo uno"_s},
        {u"2024-06-01 00:00:00"_s, 23, -1, u"Ricetta di ricovero"_s},
        {u"2024-06-02 00:00:00"_s, 10, -1, u"Ricetta"_s},
        {QString(), 10, 0, u"Senza data"_s},
    };
    for (const Caso &c : casi) {
        inserisci(u"tblDiario"_s, {{u"Data"_s, c.data.isEmpty() ? Nullo : QVariant(c.data)},
                                   {u"IDPrestazione"_s, c.tipo},
                                   {u"Ricetta"_s, c.ricetta},
                                   {u"Diario"_s, c.testo},
                                   {u"CodiceICD9"_s, u"401"_s}});
    }
    ASSERT_TRUE(esporta());

    QStringList diario;
    for (const clsXML::Nodo n : righe(u"diarioclinico/diario"_s)) {
        diario << testo(n, u"data"_s) + u'|' + testo(n, u"tipo"_s) + u'|' + testo(n, u"descrizione"_s);
    }
    EXPECT_EQ(diario, QStringList({u"20240101|Altro|Tipo uno"_s, u"20240201|Altro|Senza tipo"_s,
                                   u"20240301|Certificato Medico|Certificato"_s}));
    QStringList ricoveri;
    for (const clsXML::Nodo n : righe(u"ricoveri/ricovero"_s)) {
        ricoveri << testo(n, u"dataingresso"_s) + u'|' + testo(n, u"strutturaricovero"_s);
        EXPECT_EQ(NomiFigli(n), QStringList({u"dataingresso"_s, u"strutturaricovero"_s, u"datadimissione"_s,
                                             u"diagnosidimissione"_s}));
    }
    EXPECT_EQ(ricoveri, QStringList({u"20240401|Ospedale Sacco"_s, u"20240501|Day hospital Niguarda"_s}));
}

TEST_F(EsportaTest, PrescriptionKindsAndTheirCodes)
{
    const qlonglong farmaco = inserisci(u"Farmaci"_s, {{u"AIC"_s, u"033333014"_s}});
    const qlonglong esame = inserisci(u"arcEsami"_s, {{u"Codice"_s, u"90.27.1"_s}});
    const qlonglong visita = inserisci(u"arcVisite"_s, {{u"Codice"_s, u"89.7"_s}});
    const qlonglong diario = inserisci(u"tblDiario"_s, {{u"Data"_s, u"2023-01-01 00:00:00"_s}, {u"ToSend"_s, -1}});
    const qlonglong primo = inserisci(u"tblProblemi"_s, {{u"CodiceICD9"_s, u"250"_s}, {u"ToSend"_s, -1}});
    const qlonglong secondo = inserisci(u"tblProblemi"_s, {{u"CodiceICD9"_s, u"401"_s}, {u"ToSend"_s, -1}});
    inserisci(u"tblProblemiDiario"_s, {{u"IDProblema"_s, primo}, {u"IDDiario"_s, diario}, {u"ToSend"_s, -1}});
    inserisci(u"tblProblemiDiario"_s, {{u"IDProblema"_s, secondo}, {u"IDDiario"_s, diario}, {u"ToSend"_s, -1}});

    struct Caso
    {
        Valori riga;
        QString tipo;
        std::optional<QString> codice; // none: no codiceprestazione element
        QString icd9;
    };
    const Caso casi[] = {
        {{{u"IDFarmaco"_s, farmaco}, {u"Diagnosi"_s, u"Diabete"_s}, {u"IDDiario"_s, diario}},
         u"F"_s,
         u"033333014"_s,
         u"250"_s},
        {{{u"IDFarmaco"_s, 999}, {u"IDEsame"_s, esame}}, u"F"_s, u""_s, u""_s},
        {{{u"IDEsame"_s, esame}, {u"Diagnosi"_s, u"  "_s}, {u"IDDiario"_s, diario}}, u"L"_s, u"90.27.1"_s, u""_s},
        {{{u"IDVisita"_s, visita}, {u"Descrizione"_s, u"Prima VISITA cardiologica"_s}}, u"V"_s, u"89.7"_s, u""_s},
        {{{u"Descrizione"_s, u"Ecografia"_s}, {u"Diagnosi"_s, u"Senza diario"_s}}, u"S"_s, std::nullopt, u""_s},
    };
    int giorno = 1;
    for (const Caso &c : casi) {
        Valori riga = c.riga;
        riga << std::pair(u"Data"_s, QVariant(u"2024-07-%1 00:00:00"_s.arg(giorno++, 2, 10, QLatin1Char('0'))));
        inserisci(u"tblPrescrizioni"_s, riga);
    }
    inserisci(u"tblPrescrizioni"_s, {{u"Descrizione"_s, u"Senza data"_s}});
    ASSERT_TRUE(esporta());

    const clsXML::ListaNodi prestazioni = righe(u"prestazioni/prestazione"_s);
    ASSERT_EQ(prestazioni.size(), std::size(casi));
    for (size_t i = 0; i < prestazioni.size(); ++i) {
        SCOPED_TRACE(i);
        const clsXML::Nodo n = prestazioni[i];
        EXPECT_EQ(testo(n, u"tipo"_s), casi[i].tipo);
        EXPECT_EQ(m_doc.ExistNode(n, u"codiceprestazione"_s), casi[i].codice.has_value());
        if (casi[i].codice) {
            EXPECT_EQ(testo(n, u"codiceprestazione"_s), *casi[i].codice);
            EXPECT_EQ(m_doc.GetAttributeNode(n, u"codiceprestazione"_s, u"tipo"_s), u"minsan"_s);
        }
        EXPECT_EQ(testo(n, u"codiceicd9"_s), casi[i].icd9);
        EXPECT_EQ(testo(n, u"continuativo"_s), u"N"_s);
        EXPECT_EQ(NomiFigli(n).size(), casi[i].codice ? 18 : 17);
    }
    EXPECT_EQ(testo(prestazioni[0], u"descrizionediagnosi"_s), u"Diabete"_s);
    EXPECT_EQ(testo(prestazioni[4], u"descrizionediagnosi"_s), QString());
}

TEST_F(EsportaTest, MeasurementsPressureFirstThenWeight)
{
    inserisci(u"tblMonitorBMI"_s,
              {{u"Data"_s, u"2024-01-01 00:00:00"_s}, {u"Peso"_s, 72.5}, {u"Altezza"_s, 175}, {u"crfVita"_s, 90}});
    inserisci(u"tblMonitorIpertensione"_s, {{u"Data"_s, u"2024-03-01 00:00:00"_s},
                                            {u"Minima"_s, 85},
                                            {u"Massima"_s, 135},
                                            {u"Frequenza"_s, 70},
                                            {u"Aritmico"_s, -1}});
    inserisci(u"tblMonitorIpertensione"_s, {{u"Data"_s, u"2024-02-01 00:00:00"_s}, {u"Minima"_s, 80}});
    inserisci(u"tblMonitorIpertensione"_s, {{u"Minima"_s, 1}});
    ASSERT_TRUE(esporta());

    QStringList misure;
    for (const clsXML::Nodo n : righe(u"misure/misura"_s)) {
        QStringList valori;
        for (const clsXML::Nodo campo : n.children()) {
            valori << clsXML::TestoNodo(campo);
        }
        misure << valori.join(u'|');
    }
    EXPECT_EQ(misure, QStringList({u"20240201||||80||||Ritmica"_s, u"20240301||||85|135||70|Aritmica"_s,
                                   u"20240101|72.5|175||||90||"_s}));
    EXPECT_EQ(NomiFigli(righe(u"misure/misura"_s).at(0)),
              QStringList({u"data"_s, u"pesokg"_s, u"altezzacm"_s, u"cccm"_s, u"pmin"_s, u"pmax"_s, u"cvitacm"_s,
                           u"freqcardiaca"_s, u"ritmocardiaco"_s}));
}

TEST_F(EsportaTest, AnUnreadableTableFailsTheWholeExport)
{
    inserisci(u"tblProblemi"_s, {{u"Etichetta"_s, u"Ipertensione"_s}});
    for (const QString &rovina :
         {u"ALTER TABLE tblVaccinazioni DROP COLUMN Vaccino"_s, u"DROP TABLE tblVaccinazioni"_s}) {
        SCOPED_TRACE(rovina.toStdString());
        inserisci(u"tblVaccinazioni"_s, {{u"Data"_s, u"2024-01-01 00:00:00"_s}});
        ASSERT_TRUE(m_db.Execute(rovina)) << m_db.UltimoErrore().toStdString();
        QString xml = u"intatto"_s;
        EXPECT_FALSE(modUlmet::CreaDatiCartella(m_db, xml));
        EXPECT_EQ(xml, u"intatto"_s);
    }
}

TEST_F(EsportaTest, LookupsTakeOnlyNumbers)
{
    const qlonglong principio = inserisci(u"Principi"_s, {{u"CodiceATC"_s, u"C09AA02"_s}});
    EXPECT_EQ(modUlmet::CodiceATCPrincipio(m_db, principio), u"C09AA02"_s);
    EXPECT_EQ(modUlmet::CodiceATCPrincipio(m_db, QString::number(principio)), u"C09AA02"_s);
    for (const QVariant &id : {Nullo, QVariant(u"0 OR 1=1"_s), QVariant(u"x"_s), QVariant(principio + 1)}) {
        EXPECT_EQ(modUlmet::CodiceATCPrincipio(m_db, id), QString());
    }
    EXPECT_EQ(modUlmet::CodicePrestazione(m_db, Nullo, Nullo), QString());
    EXPECT_EQ(modUlmet::CodiceICD9Diario(m_db, 12), QString());

    const std::pair<QVariant, QString> tipi[] = {
        {2, u"Certificato Medico"_s},
        {u"16"_s, u"Ricovero Day Hospital"_s},
        {28, u"Cure termali"_s},
        {1, u"Altro"_s},
        {29, u"Altro"_s},
        {Nullo, u"Altro"_s},
    };
    for (const auto &[valore, nome] : tipi) {
        EXPECT_EQ(modUlmet::TipoDocumento(valore), nome);
    }
}
