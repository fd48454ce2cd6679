#include "ArchivioTest.h"
#include "modArchivioHost.h"

#include <QDir>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace lanvera::host;
using lanvera::host::test::Archivio;

TEST(HostIstruzioniSqlTest, SplitsOnlyOutsideQuotesAndComments)
{
    const QString script = u"-- a comment; with a semicolon\n"
                           "CREATE TABLE \"a;b\" (x TEXT DEFAULT 'x;y');\n"
                           "/* block; comment */ INSERT INTO [c;d] VALUES ('it''s;');\n"
                           "\n  SELECT 1  \n-- trailing comment"_s;
    EXPECT_EQ(IstruzioniSql(script), (QStringList{u"CREATE TABLE \"a;b\" (x TEXT DEFAULT 'x;y')"_s,
                                                  u"INSERT INTO [c;d] VALUES ('it''s;')"_s, u"SELECT 1"_s}));
    EXPECT_TRUE(IstruzioniSql(u"-- nothing but a comment;\n  ;  ; "_s).isEmpty());
}

// The merge matches rows by GUID within a patient, compares LastUpdate and sends what ToSend marks:
// every chart table needs those columns, their indexes, and defaults that a host unaware of the
// network leaves unsent. A counter never hands out an ID twice.
TEST(HostArchivioVuotoTest, ChartTablesCarryTheRowBookkeeping)
{
    QTemporaryDir cartella;
    const QString percorso = cartella.filePath(u"ClinoraTemp.mdb"_s);
    QString errore;
    ASSERT_TRUE(CreaArchivioVuoto(percorso, &errore)) << errore.toStdString();
    Archivio archivio(percorso);
    QStringList tabelle = lanvera::host::test::TabelleCartella();
    tabelle << u"tblAnagrafica"_s;
    for (const QString &tabella : std::as_const(tabelle)) {
        SCOPED_TRACE(tabella.toStdString());
        ASSERT_TRUE(archivio.esisteTabella(tabella));
        const bool anagrafica = tabella == u"tblAnagrafica"_s;
        EXPECT_EQ(
            archivio.righe(u"SELECT name || ' ' || type || ' ' || \"notnull\" || ' ' || IFNULL(dflt_value, '-') "
                           "|| ' ' || pk FROM pragma_table_info(?) WHERE name IN ('ID', 'LastUpdate', "
                           "'LastInsert', 'ToSend', 'ToRepl', 'ModificatoDa') ORDER BY name"_s,
                           {tabella}),
            (QStringList{u"ID INTEGER 0 - 1"_s, u"LastInsert DATETIME 0 - 0"_s, u"LastUpdate DATETIME 0 - 0"_s,
                         u"ModificatoDa VARCHAR(50) 0 - 0"_s, u"ToRepl INTEGER 1 0 0"_s, u"ToSend INTEGER 1 0 0"_s}));
        EXPECT_TRUE(archivio.righe(u"SELECT sql FROM sqlite_master WHERE name = ? COLLATE NOCASE"_s, {tabella})
                        .value(0)
                        .contains(u"AUTOINCREMENT"_s, Qt::CaseInsensitive));
        const QStringList indicizzate =
            archivio.righe(u"SELECT i.name FROM pragma_index_list(?) l, pragma_index_info(l.name) i WHERE "
                           "(SELECT COUNT(*) FROM pragma_index_info(l.name)) = 1"_s,
                           {tabella});
        EXPECT_TRUE(indicizzate.contains(u"GUID"_s));
        EXPECT_EQ(indicizzate.contains(u"IDPaziente"_s), !anagrafica);

        // Written like a host that knows nothing of the network columns.
        ASSERT_TRUE(QSqlQuery(archivio.db()).exec(u"INSERT INTO \"%1\" (GUID) VALUES ('{A}')"_s.arg(tabella)));
        EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\" WHERE ToSend = 0 AND ToRepl = 0"_s.arg(tabella)), 1);
    }
    EXPECT_TRUE(archivio
                    .righe(u"SELECT i.name FROM pragma_index_list('QUOR_tblUpdate') l, "
                           "pragma_index_info(l.name) i"_s)
                    .contains(u"IDPaziente"_s));
}

TEST(HostCreaArchivioTest, AFailedFillLeavesNothingBehind)
{
    QTemporaryDir cartella;
    QString errore;
    const bool creato = CreaArchivio(
        cartella.filePath(u"Archivio.mdb"_s),
        [](QSqlDatabase &db, QString *motivo) {
            // Half the work is done when the step fails.
            EXPECT_TRUE(QSqlQuery(db).exec(u"INSERT INTO tblDiario (GUID) VALUES ('{X}')"_s));
            *motivo = u"riempimento interrotto"_s;
            return false;
        },
        &errore);
    EXPECT_FALSE(creato);
    EXPECT_EQ(errore, u"riempimento interrotto"_s);
    EXPECT_TRUE(QDir(cartella.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}
