#include "Database.h"
#include "Recordset.h"
#include "Segreti.h"
#include "modArchivio.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lanvera;
using lanvera::dao::Database;
using lanvera::dao::Recordset;

namespace {

class ArchivioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_percorso = m_dir.filePath(QStringLiteral("Archivio.mdb"));
        ASSERT_TRUE(m_db.crea(m_percorso));
        for (const char *sql : {
                 "CREATE TABLE arcItems (ID INTEGER PRIMARY KEY AUTOINCREMENT, Key TEXT, Item TEXT, Cancellato "
                 "INTEGER)",
                 "INSERT INTO arcItems (Key, Item) VALUES ('QUOR.PasswordMedicoSync', 'prima'), "
                 "('QUOR.PasswordMedicoSync', 'seconda'), ('QUOR.Vuoto', NULL)",
                 "CREATE TABLE QUOR_tblUpdate (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDPaziente INTEGER, IDUpdate "
                 "VARCHAR(38))",
                 "CREATE TABLE tblAnagrafica2 (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDPaziente INTEGER, TagStato "
                 "INTEGER, DateUpdate DATETIME)",
                 "CREATE TABLE tblDiario (ID INTEGER PRIMARY KEY, GUID TEXT, IDPaziente INTEGER, Testo TEXT, Extra "
                 "TEXT)",
             }) {
            ASSERT_TRUE(m_db.esegui(QString::fromUtf8(sql))) << m_db.ultimoErrore().testo().toStdString();
        }
    }

    int conta(const QString &sql)
    {
        Recordset rs(m_db);
        EXPECT_TRUE(rs.apri(sql));
        return rs.valore(QStringLiteral("n")).toInt();
    }

    QTemporaryDir m_dir;
    QString m_percorso;
    Database m_db;
};

TEST_F(ArchivioTest, ItemOfAKeyIsTheFirstRowsAndMissingIsEmpty)
{
    QString item;
    ASSERT_TRUE(LeggiItem(m_db, QStringLiteral("QUOR.PasswordMedicoSync"), item));
    EXPECT_EQ(item, QStringLiteral("prima"));
    ASSERT_TRUE(LeggiItem(m_db, QStringLiteral("QUOR.Vuoto"), item));
    EXPECT_TRUE(item.isEmpty());
    ASSERT_TRUE(LeggiItem(m_db, QStringLiteral("QUOR.Manca"), item));
    EXPECT_TRUE(item.isEmpty());
    // a key with an apostrophe is a value, not a piece of the statement
    ASSERT_TRUE(LeggiItem(m_db, QStringLiteral("x' OR '1'='1"), item));
    EXPECT_TRUE(item.isEmpty());
}

TEST_F(ArchivioTest, WithoutTheExtensionNothingReadsItsConfiguration)
{
    EXPECT_FALSE(HaSole(m_db));
    QString valore;
    EXPECT_FALSE(LeggiConfig(m_db, QStringLiteral("CodiceFiscaleMedico"), valore));
    EXPECT_FALSE(m_db.ultimoErrore().descrizione.isEmpty());

    ASSERT_TRUE(m_db.esegui(QStringLiteral("CREATE TABLE SOLE_Versione (Versione TEXT)")));
    ASSERT_TRUE(m_db.esegui(QStringLiteral("CREATE TABLE SOLE_tblConfig (Key TEXT, Valore TEXT)")));
    ASSERT_TRUE(m_db.esegui(QStringLiteral("INSERT INTO SOLE_tblConfig VALUES ('CodiceFiscaleMedico', "
                                           "' rssmra70a01h501u ')")));
    EXPECT_TRUE(HaSole(m_db));
    ASSERT_TRUE(LeggiConfig(m_db, QStringLiteral("CodiceFiscaleMedico"), valore));
    EXPECT_EQ(valore, QStringLiteral(" rssmra70a01h501u "));
}

TEST_F(ArchivioTest, CommonFieldsFollowTheSourceOrderIgnoringCase)
{
    const QString altro = m_dir.filePath(QStringLiteral("Cartella.mdb"));
    Database pacchetto;
    ASSERT_TRUE(pacchetto.crea(altro));
    ASSERT_TRUE(pacchetto.esegui(
        QStringLiteral("CREATE TABLE tbldiario (testo TEXT, Nuova TEXT, guid TEXT, ID INTEGER, idpaziente INTEGER)")));
    EXPECT_EQ(CampiComuni(pacchetto, m_db, QStringLiteral("tblDiario")),
              (QStringList{QStringLiteral("testo"), QStringLiteral("guid"), QStringLiteral("ID"),
                           QStringLiteral("idpaziente")}));
    EXPECT_TRUE(CampiComuni(pacchetto, m_db, QStringLiteral("Manca")).isEmpty());
    EXPECT_TRUE(EsisteTabella(pacchetto, QStringLiteral("TBLDIARIO")));
    EXPECT_FALSE(EsisteCampo(pacchetto, QStringLiteral("tblDiario"), QStringLiteral("Extra")));
}

TEST_F(ArchivioTest, UpdateMarksKeepOneRowPerPatient)
{
    ASSERT_TRUE(ImpostaUpdate(m_db, 12, QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000001}")));
    ASSERT_TRUE(ImpostaUpdate(m_db, 12, QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000002}")));
    ASSERT_TRUE(ImpostaUpdate(m_db, 13, QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000003}")));
    EXPECT_EQ(conta(QStringLiteral("SELECT count(*) AS n FROM QUOR_tblUpdate")), 2);
    {
        Recordset rs(m_db);
        ASSERT_TRUE(rs.apri(QStringLiteral("SELECT IDUpdate FROM QUOR_tblUpdate WHERE IDPaziente=12")));
        EXPECT_EQ(rs.testo(QStringLiteral("IDUpdate")), QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000002}"));
    }

    const QDateTime quando(QDate(2026, 12, 6), QTime(10, 0, 0));
    ASSERT_TRUE(ImpostaDateUpdate(m_db, 12, quando.addDays(-1)));
    ASSERT_TRUE(ImpostaDateUpdate(m_db, 12, quando));
    EXPECT_EQ(conta(QStringLiteral("SELECT count(*) AS n FROM tblAnagrafica2 WHERE IDPaziente=12 AND "
                                   "DateUpdate='2026-12-06 10:00:00'")),
              1);
    EXPECT_EQ(conta(QStringLiteral("SELECT count(*) AS n FROM tblAnagrafica2")), 1);

    ASSERT_TRUE(m_db.esegui(QStringLiteral("DROP TABLE QUOR_tblUpdate")));
    EXPECT_FALSE(ImpostaUpdate(m_db, 12, QStringLiteral("{X}")));
}

TEST(GuidTest, ThirtyEightUpperCaseCharactersAndUnique)
{
    static const QRegularExpression forma(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    QSet<QString> visti;
    for (int i = 0; i < 2000; ++i) {
        const QString guid = CreaGUID();
        ASSERT_TRUE(forma.match(guid).hasMatch()) << guid.toStdString();
        visti.insert(guid);
    }
    EXPECT_EQ(visti.size(), 2000);
}

TEST(QuoteTest, ApostrophesAreDoubledAndNothingElse)
{
    EXPECT_EQ(QuoteSQL(QStringLiteral("D'Angelo")), QStringLiteral("D''Angelo"));
    EXPECT_EQ(QuoteSQL(QStringLiteral("''")), QStringLiteral("''''"));
    EXPECT_EQ(QuoteSQL(QStringLiteral("a\\b\"c")), QStringLiteral("a\\b\"c"));

    // the quoted text stays one literal in an archive statement
    QTemporaryDir dir;
    Database db;
    ASSERT_TRUE(db.crea(dir.filePath(QStringLiteral("q.mdb"))));
    ASSERT_TRUE(db.esegui(QStringLiteral("CREATE TABLE t (v TEXT)")));
    const QString cognome = QStringLiteral("D'Angelo'); DROP TABLE t; --");
    ASSERT_TRUE(db.esegui(QStringLiteral("INSERT INTO t VALUES ('") + QuoteSQL(cognome) + QStringLiteral("')")));
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT v FROM t")));
    EXPECT_EQ(rs.testo(QStringLiteral("v")), cognome);
}

TEST(ListaArchiviTest, NewListHasAnEmptyFileTable)
{
    QTemporaryDir dir;
    const QString quor = dir.filePath(QStringLiteral("Quor.mdb"));
    QString errore;
    ASSERT_TRUE(CreaDatabaseSync(quor, &errore)) << errore.toStdString();
    Database db;
    ASSERT_TRUE(db.apri(quor));
    EXPECT_EQ(db.campi(QStringLiteral("tblFile")),
              (QStringList{QStringLiteral("ID"), QStringLiteral("File"), QStringLiteral("Descrizione")}));
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT * FROM tblFile"), Recordset::Tipo::Dynaset));
    EXPECT_TRUE(rs.eof());
    db.chiudi();
    EXPECT_FALSE(CreaDatabaseSync(quor, &errore)) << "an existing list is never replaced";
    EXPECT_FALSE(errore.isEmpty());
}

TEST(MotoreTest, WorkgroupFileIsCopiedOnceAndMustGrantTheDefaultUser)
{
    QTemporaryDir programma;
    QTemporaryDir dati;
    QString errore;
    ASSERT_TRUE(CreaFileGruppo(programma.filePath(QStringLiteral("System.mdw")), &errore)) << errore.toStdString();
    ASSERT_TRUE(PreparaMotore(dati.path(), programma.path(), &errore)) << errore.toStdString();
    EXPECT_TRUE(QFile::exists(dati.filePath(QStringLiteral("System.Mdw"))));

    // a working copy that no longer grants the default user is refused
    {
        Database mdw;
        ASSERT_TRUE(mdw.apri(dati.filePath(QStringLiteral("System.Mdw"))));
        ASSERT_TRUE(mdw.esegui(QStringLiteral("UPDATE Account SET Impronta='x' WHERE Nome=?"), {UtenteJet()}));
    }
    EXPECT_FALSE(PreparaMotore(dati.path(), programma.path(), &errore));
    EXPECT_TRUE(errore.contains(UtenteJet()));

    QTemporaryDir vuota;
    EXPECT_FALSE(PreparaMotore(vuota.path(), dati.filePath(QStringLiteral("nessuna")), &errore));
}

} // namespace
