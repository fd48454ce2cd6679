#include "ArchivioTest.h"
#include "modArchivioHost.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using namespace lanvera::host;
using lanvera::host::test::Archivio;
using lanvera::host::test::TabelleUnione;

namespace {

QString leggi(const QString &percorso)
{
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void scrivi(const QString &percorso, const QByteArray &contenuto)
{
    QFile file(percorso);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contenuto);
}

} // namespace

TEST(HostIstruzioniSqlTest, SplitsOnlyOutsideQuotesAndComments)
{
    const QString script = u"-- a comment; with a semicolon\n"
                           "CREATE TABLE \"a;b\" (x TEXT DEFAULT 'x;y');\n"
                           "/* block; comment */ INSERT INTO [c;d] VALUES ('it''s;');\n"
                           "\n  SELECT 1  \n-- trailing comment"_s;
    const QStringList istruzioni = IstruzioniSql(script);
    ASSERT_EQ(istruzioni.size(), 3) << istruzioni.join(u" / "_s).toStdString();
    EXPECT_EQ(istruzioni[0], u"CREATE TABLE \"a;b\" (x TEXT DEFAULT 'x;y')"_s);
    EXPECT_EQ(istruzioni[1], u"INSERT INTO [c;d] VALUES ('it''s;')"_s);
    EXPECT_EQ(istruzioni[2], u"SELECT 1"_s);
    EXPECT_TRUE(IstruzioniSql(u"-- nothing but a comment;\n  ;  ; "_s).isEmpty());
}

class HostArchivioVuotoTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_cartella = std::make_unique<QTemporaryDir>();
        s_percorso = s_cartella->filePath(u"ClinoraTemp.mdb"_s);
        QString errore;
        ASSERT_TRUE(CreaArchivioVuoto(s_percorso, &errore)) << errore.toStdString();
    }
    static void TearDownTestSuite() { s_cartella.reset(); }

    static std::unique_ptr<QTemporaryDir> s_cartella;
    static QString s_percorso;
};

std::unique_ptr<QTemporaryDir> HostArchivioVuotoTest::s_cartella;
QString HostArchivioVuotoTest::s_percorso;

TEST_F(HostArchivioVuotoTest, EveryMergedTableCarriesTheRowBookkeeping)
{
    Archivio archivio(s_percorso);
    QStringList tabelle = TabelleUnione();
    tabelle << u"tblAnagrafica2"_s;
    for (const QString &tabella : std::as_const(tabelle)) {
        SCOPED_TRACE(tabella.toStdString());
        ASSERT_TRUE(archivio.esisteTabella(tabella));
        QMap<QString, lanvera::host::test::Colonna> perNome;
        for (const auto &colonna : archivio.colonne(tabella)) {
            perNome.insert(colonna.nome, colonna);
        }
        ASSERT_TRUE(perNome.contains(u"ID"_s));
        EXPECT_TRUE(perNome[u"ID"_s].chiave);
        EXPECT_EQ(perNome[u"ID"_s].tipo, u"INTEGER"_s);
        for (const QString &nome : {u"GUID"_s, u"IDPaziente"_s, u"ModificatoDa"_s}) {
            EXPECT_TRUE(perNome.contains(nome)) << nome.toStdString();
        }
        for (const QString &nome : {u"LastUpdate"_s, u"LastInsert"_s}) {
            EXPECT_EQ(perNome.value(nome).tipo, u"DATETIME"_s) << nome.toStdString();
        }
        for (const QString &nome : {u"ToSend"_s, u"ToRepl"_s}) {
            EXPECT_EQ(perNome.value(nome).tipo, u"INTEGER"_s) << nome.toStdString();
            EXPECT_TRUE(perNome.value(nome).nonNullo) << nome.toStdString();
            EXPECT_EQ(perNome.value(nome).predefinito, u"0"_s) << nome.toStdString();
        }
        // A counter never hands out a number twice, not even after the last row is deleted.
        const QString sql =
            archivio
                .valore(u"SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"_s, {tabella})
                .toString();
        EXPECT_TRUE(sql.contains(u"AUTOINCREMENT"_s, Qt::CaseInsensitive));
    }
}

TEST_F(HostArchivioVuotoTest, ChartTablesAreIndexedOnGuidAndPatient)
{
    Archivio archivio(s_percorso);
    QStringList tabelle = TabelleUnione();
    tabelle << u"tblAnagrafica2"_s;
    for (const QString &tabella : std::as_const(tabelle)) {
        SCOPED_TRACE(tabella.toStdString());
        const QList<QStringList> indici = archivio.indici(tabella);
        EXPECT_TRUE(indici.contains(QStringList{u"GUID"_s}));
        EXPECT_TRUE(indici.contains(QStringList{u"IDPaziente"_s}));
    }
    EXPECT_TRUE(archivio.indici(u"tblAnagrafica"_s).contains(QStringList{u"GUID"_s}));
    EXPECT_TRUE(archivio.indici(u"QUOR_tblUpdate"_s).contains(QStringList{u"IDPaziente"_s}));
}

TEST_F(HostArchivioVuotoTest, NamesTablesAndColumnsAsTheHostSpellsThem)
{
    // Tables and columns that the programs read or write by name, letter case included.
    const QMap<QString, QStringList> attese = {
        {u"tblAnagrafica"_s,
         {u"ID"_s,
          u"GUID"_s,
          u"Cognome"_s,
          u"Nome"_s,
          u"Tessera"_s,
          u"CodiceFiscale"_s,
          u"Sesso"_s,
          u"Indirizzo"_s,
          u"Città"_s,
          u"CAP"_s,
          u"Provincia"_s,
          u"DataNascita"_s,
          u"LuogoNascita"_s,
          u"Telefono"_s,
          u"USL"_s,
          u"Medico"_s,
          u"Proprio"_s,
          u"UIDCMedico"_s,
          u"IndirizzoResidenza"_s,
          u"CittàResidenza"_s,
          u"ProvinciaResidenza"_s,
          u"CAPResidenza"_s,
          u"USLResidenza"_s,
          u"Emogruppo"_s,
          u"TipoPaziente"_s,
          u"Note"_s,
          u"LastUpdate"_s,
          u"LastInsert"_s,
          u"ToSend"_s,
          u"ToRepl"_s,
          u"ModificatoDa"_s}},
        {u"tblAnagrafica2"_s, {u"IDPaziente"_s, u"TagStato"_s, u"DateUpdate"_s}},
        {u"tblRapporti"_s, {u"IDPaziente"_s, u"DataInizio"_s, u"DataFine"_s, u"Motivo"_s}},
        {u"tblMedico"_s, {u"IDRete"_s, u"CodiceFiscale"_s}},
        {u"arcItems"_s, {u"ID"_s, u"Key"_s, u"Item"_s, u"Cancellato"_s}},
        {u"SOLE_tblConfig"_s, {u"Key"_s, u"Valore"_s}},
        {u"SOLE_tblAllineati"_s, {u"IDPaziente"_s, u"Allineato"_s}},
        {u"QUOR_tblUpdate"_s, {u"ID"_s, u"IDPaziente"_s, u"IDUpdate"_s}},
        {u"QUOR_Versione"_s, {u"ID"_s}},
        {u"tblDiario"_s,
         {u"Data"_s, u"Diario"_s, u"IDPrestazione"_s, u"Ricetta"_s, u"CodiceICD9"_s, u"URL"_s, u"GUIDGruppo"_s}},
        {u"tblProblemi"_s, {u"DataApertura"_s, u"DataChiusura"_s, u"CodiceICD9"_s, u"Etichetta"_s, u"Stato"_s}},
        {u"tblProblemiDiario"_s, {u"IDProblema"_s, u"IDDiario"_s}},
        {u"tblAllergie"_s, {u"IDFarmaco"_s, u"IDPrincipio"_s, u"ATCFarmaco"_s, u"Intolleranza"_s, u"Nota"_s}},
        {u"tblPrescrizioni"_s,
         {u"IDDiario"_s, u"IDRicetta"_s, u"Data"_s, u"IDFarmaco"_s, u"IDEsame"_s, u"IDVisita"_s, u"IDDiagnosi"_s,
          u"Descrizione"_s, u"Quantità"_s, u"Classe"_s, u"Nota"_s, u"NotaCUF"_s, u"PosQuantità"_s, u"PosDescrizione"_s,
          u"Prezzo"_s, u"Importo"_s, u"CodiceEsenzione"_s, u"Diagnosi"_s}},
        {u"tblRicettaFarmaci"_s, {u"IDRicetta"_s}},
        {u"tblRicettaEsami"_s, {u"IDRicetta"_s}},
        {u"tblRicettaVisite"_s, {u"IDRicetta"_s}},
        {u"tblCertificatiINAIL"_s, {u"IDCertificatoPadre"_s}},
        {u"tblCertificatiINPS"_s, {u"IDCertificato"_s}},
        {u"DIABETE_tblStoricoItems"_s, {u"IDStorico"_s}},
        {u"tblMemoCertificati"_s, {u"IDDiario"_s, u"Certificato"_s, u"Testo"_s}},
        {u"tblEsami"_s, {u"Data"_s, u"Valore"_s, u"Alterato"_s, u"IDDiario"_s}},
        {u"tblEsenzioni"_s,
         {u"IDEsenzione"_s, u"EsaCodice"_s, u"FarCodice"_s, u"Scadenza"_s, u"EsaN"_s, u"EsaR"_s, u"EsaAAsl"_s,
          u"EsaRAsl"_s, u"FarN"_s, u"FarR"_s, u"FarAasl"_s, u"FarRasl"_s}},
        {u"tblStatoFarmaci"_s,
         {u"IDFarmaco"_s, u"Qt"_s, u"Classe"_s, u"Nota"_s, u"QtPos"_s, u"Posologia"_s, u"IDEsenzione"_s,
          u"CodiceEsenzione"_s, u"FarR"_s, u"FarN"_s, u"FarRasl"_s, u"FarAasl"_s, u"Diagnosi"_s}},
        {u"tblMonitorIpertensione"_s, {u"Data"_s, u"Minima"_s, u"Massima"_s, u"Frequenza"_s, u"Aritmico"_s, u"Note"_s}},
        {u"tblMonitorBMI"_s, {u"Data"_s, u"Peso"_s, u"Altezza"_s, u"BMI"_s, u"crfVita"_s, u"Note"_s}},
        {u"tblVaccinazioni"_s, {u"Data"_s, u"DataRichiamo"_s, u"Vaccino"_s, u"Note"_s}},
        {u"Farmaci"_s, {u"ID"_s, u"AIC"_s, u"Farmaco"_s, u"Classe"_s, u"Nota"_s, u"Prezzo"_s}},
        {u"Principi"_s, {u"ID"_s, u"CodiceATC"_s, u"Principio"_s}},
        {u"arcEsami"_s, {u"ID"_s, u"Codice"_s, u"Esame"_s, u"MW"_s}},
        {u"arcVisite"_s, {u"ID"_s, u"Codice"_s, u"Visita"_s, u"IDPrestazione"_s}},
        {u"arcSottoesami"_s, {u"ID"_s, u"MW"_s}},
        {u"arcLinkEsamiSottoesami"_s, {u"IDEsame"_s, u"IDSottoesame"_s, u"Principale"_s, u"Ordine"_s}},
        {u"arcLinkEsenzioni"_s,
         {u"ID"_s, u"IDRegione"_s, u"IDEsenzione"_s, u"CodEsenzione"_s, u"Keyword"_s, u"Etichetta"_s, u"CodArtEsa"_s,
          u"CodArtFar"_s, u"LetteraEsami"_s, u"LetteraEsami_N"_s, u"Lettera"_s, u"Lettera_N"_s}},
        {u"ICD9CM"_s, {u"Codice"_s, u"Descrizione"_s}},
    };
    Archivio archivio(s_percorso);
    const QStringList tabelle = archivio.tabelle();
    for (auto voce = attese.cbegin(); voce != attese.cend(); ++voce) {
        SCOPED_TRACE(voce.key().toStdString());
        ASSERT_TRUE(tabelle.contains(voce.key())) << "missing or spelt differently";
        const QStringList colonne = archivio.nomiColonne(voce.key());
        for (const QString &colonna : voce.value()) {
            EXPECT_TRUE(colonne.contains(colonna)) << colonna.toStdString();
        }
    }
}

TEST_F(HostArchivioVuotoTest, HoldsTheHostTablesThatACopyLeavesOut)
{
    Archivio archivio(s_percorso);
    const QStringList tabelle = archivio.tabelle();
    const QString elenco = u"arcItems,tblImpostazioni,tblMacro,tblMedico,tblNote,tblSetupUtente,tblSottomacro,"
                           "tblUtenti,tblValoriImpostazioni,SOLE_tblConfig,SOLE_tblIDPrestazione,tblRicetteStampate,"
                           "tblPrescrizioniRicetta"_s;
    for (const QString &tabella : elenco.split(u',')) {
        EXPECT_TRUE(tabelle.contains(tabella)) << tabella.toStdString();
    }
    // The SOLE marker is what tells an archive of that extension: an empty archive has none.
    EXPECT_FALSE(archivio.esisteTabella(u"SOLE_Versione"_s));
    for (const QString &tabella : tabelle) {
        EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\""_s.arg(tabella)), 0) << tabella.toStdString();
    }
}

TEST_F(HostArchivioVuotoTest, DateColumnsAreDeclaredAsDates)
{
    const QStringList date = {u"Data"_s,       u"DataNascita"_s,  u"DataInizio"_s,   u"DataFine"_s,
                              u"DateUpdate"_s, u"DataApertura"_s, u"DataChiusura"_s, u"DataRichiamo"_s,
                              u"Scadenza"_s,   u"LastUpdate"_s,   u"LastInsert"_s};
    Archivio archivio(s_percorso);
    int trovate = 0;
    for (const QString &tabella : archivio.tabelle()) {
        for (const auto &colonna : archivio.colonne(tabella)) {
            if (date.contains(colonna.nome)) {
                ++trovate;
                EXPECT_EQ(colonna.tipo, u"DATETIME"_s) << QString(tabella + u'.' + colonna.nome).toStdString();
            }
        }
    }
    EXPECT_GT(trovate, 100);
}

TEST_F(HostArchivioVuotoTest, NewRowsAreUnsentAndCountersAreNotReused)
{
    QTemporaryDir cartella;
    const QString percorso = cartella.filePath(u"prova.mdb"_s);
    ASSERT_TRUE(QFile::copy(s_percorso, percorso));
    Archivio archivio(percorso);
    QStringList tabelle = lanvera::host::test::TabelleCartella();
    tabelle << u"tblAnagrafica"_s;
    for (const QString &tabella : std::as_const(tabelle)) {
        SCOPED_TRACE(tabella.toStdString());
        // Written like a host that knows nothing of the network columns.
        ASSERT_TRUE(archivio.esegui(u"INSERT INTO \"%1\" (GUID) VALUES ('{A}')"_s.arg(tabella)));
        const QList<QVariantList> righe = archivio.righe(u"SELECT ToSend, ToRepl FROM \"%1\""_s.arg(tabella));
        ASSERT_EQ(righe.size(), 1);
        EXPECT_EQ(righe[0][0].toInt(), 0);
        EXPECT_EQ(righe[0][1].toInt(), 0);
    }
    ASSERT_TRUE(archivio.esegui(u"INSERT INTO tblDiario (GUID) VALUES ('{B}')"_s));
    ASSERT_TRUE(archivio.esegui(u"DELETE FROM tblDiario WHERE ID = 2"_s));
    ASSERT_TRUE(archivio.esegui(u"INSERT INTO tblDiario (GUID) VALUES ('{C}')"_s));
    EXPECT_EQ(archivio.conta(u"SELECT ID FROM tblDiario WHERE GUID = '{C}'"_s), 3);
}

TEST_F(HostArchivioVuotoTest, AttivaSoleMarksTheArchive)
{
    QTemporaryDir cartella;
    const QString percorso = cartella.filePath(u"sole.mdb"_s);
    ASSERT_TRUE(QFile::copy(s_percorso, percorso));
    Archivio archivio(percorso);
    QString errore;
    ASSERT_TRUE(AttivaSole(archivio.db(), u"RSSMRA85T10A562S"_s, &errore)) << errore.toStdString();
    EXPECT_TRUE(archivio.esisteTabella(u"SOLE_Versione"_s));
    EXPECT_EQ(archivio.valore(u"SELECT Valore FROM SOLE_tblConfig WHERE \"Key\" = 'CodiceFiscaleMedico'"_s).toString(),
              u"RSSMRA85T10A562S"_s);
}

class HostCreaArchivioTest : public ::testing::Test
{
protected:
    QStringList contenuto() const
    {
        return QDir(m_cartella.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_cartella;
};

TEST_F(HostCreaArchivioTest, RefusesAnExistingFile)
{
    const QString percorso = m_cartella.filePath(u"Archivio.mdb"_s);
    scrivi(percorso, "not an archive");
    QString errore;
    EXPECT_FALSE(CreaArchivioVuoto(percorso, &errore));
    EXPECT_TRUE(errore.contains(percorso)) << errore.toStdString();
    EXPECT_EQ(leggi(percorso), u"not an archive"_s);
    EXPECT_EQ(contenuto(), QStringList{u"Archivio.mdb"_s});
}

TEST_F(HostCreaArchivioTest, MissingFolderLeavesNothingBehind)
{
    const QString percorso = m_cartella.filePath(u"manca/Archivio.mdb"_s);
    QString errore;
    EXPECT_FALSE(CreaArchivioVuoto(percorso, &errore));
    EXPECT_FALSE(errore.isEmpty());
    EXPECT_TRUE(contenuto().isEmpty()) << contenuto().join(u", "_s).toStdString();
}

TEST_F(HostCreaArchivioTest, FailedFillLeavesNothingBehind)
{
    const QString percorso = m_cartella.filePath(u"Archivio.mdb"_s);
    QString errore;
    const bool creato = CreaArchivio(
        percorso,
        [](QSqlDatabase &db, QString *motivo) {
            QSqlQuery query(db);
            // Half the work is done when the step fails.
            EXPECT_TRUE(query.exec(u"INSERT INTO tblDiario (GUID) VALUES ('{X}')"_s));
            *motivo = u"riempimento interrotto"_s;
            return false;
        },
        &errore);
    EXPECT_FALSE(creato);
    EXPECT_EQ(errore, u"riempimento interrotto"_s);
    EXPECT_TRUE(contenuto().isEmpty()) << contenuto().join(u", "_s).toStdString();
}

TEST_F(HostCreaArchivioTest, UnwritableFolderIsReported)
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser writes into any folder";
    }
    const QString sola = m_cartella.filePath(u"sola"_s);
    ASSERT_TRUE(QDir().mkdir(sola));
    ASSERT_TRUE(QFile::setPermissions(sola, QFile::ReadOwner | QFile::ExeOwner));
    QString errore;
    EXPECT_FALSE(CreaArchivioVuoto(sola + u"/Archivio.mdb"_s, &errore));
    EXPECT_TRUE(errore.contains(u"scrivere"_s)) << errore.toStdString();
    QFile::setPermissions(sola, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(QDir(sola).isEmpty());
#else
    GTEST_SKIP() << "folder permissions are a Unix matter here";
#endif
}
