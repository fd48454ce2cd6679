// The archive side of lanvera-demo: the second installation's archive and Sync's list of archives.

#include "DemoArchive.h"
#include "Recordset.h"
#include "StampaQt.h"
#include "modArchivioHost.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace lanvera;
using namespace lanvera::demo;
using lanvera::dao::Database;
using lanvera::dao::Recordset;

namespace {

// The first column of a query's rows, joined by ";".
QString testo(Database &db, const QString &sql)
{
    Recordset rs(db);
    EXPECT_TRUE(rs.apri(u"SELECT group_concat(v, ';') AS v FROM ("_s + sql + u')')) << sql.toStdString();
    return rs.testo(u"v"_s);
}


class DemoArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString errore;
        ASSERT_TRUE(host::CreaArchivioVuoto(m_archivio, &errore)) << errore.toStdString();
        ASSERT_TRUE(m_db.apri(m_archivio));
    }

    QTemporaryDir m_dir;
    QString m_archivio = m_dir.filePath(u"Archivio.mdb"_s);
    Database m_db;
};

TEST_F(DemoArchiveTest, SecondInstallationGetsOneOwnerRowAndOnePassword)
{
    m_db.chiudi();
    QString errore;
    for (const char *password : {"uno", "due"}) {
        ASSERT_TRUE(
            PrepareSecondInstallation(m_archivio, u"RSSMRC68C12A944Y"_s, QString::fromLatin1(password), &errore))
            << errore.toStdString();
    }
    ASSERT_TRUE(m_db.apri(m_archivio));
    EXPECT_EQ(testo(m_db, u"SELECT CodiceFiscale AS v FROM tblMedico WHERE IDRete=1 UNION ALL "
                          "SELECT Item FROM arcItems WHERE Key='QUOR.PasswordMedicoSync'"_s),
              u"RSSMRC68C12A944Y;due"_s);

    const QString manca = m_dir.filePath(u"Manca.mdb"_s);
    EXPECT_FALSE(PrepareSecondInstallation(manca, u"RSSMRC68C12A944Y"_s, u"p"_s, &errore));
    EXPECT_TRUE(errore.contains(u"clinora-archive create"_s)) << errore.toStdString();
    EXPECT_FALSE(QFile::exists(manca));
}

TEST_F(DemoArchiveTest, ArchiveListIsCreatedAndAnArchiveListedOnce)
{
    const QString lista = m_dir.filePath(u"Quor.mdb"_s);
    const QString altro = m_dir.filePath(u"Altro.mdb"_s);
    QString errore;
    for (const auto &[archivio, descrizione, nuovo] :
         {std::tuple{m_archivio, "Studio", true}, std::tuple{m_archivio, "Studio Rossi", false},
          std::tuple{altro, "Altro", true}}) {
        bool aggiunto = !nuovo;
        ASSERT_TRUE(AddToArchiveList(lista, archivio, QString::fromLatin1(descrizione), &aggiunto, &errore))
            << errore.toStdString();
        EXPECT_EQ(aggiunto, nuovo) << descrizione;
    }
    Database db;
    ASSERT_TRUE(db.apri(lista));
    EXPECT_EQ(testo(db, u"SELECT File || '=' || Descrizione AS v FROM tblFile ORDER BY ID"_s),
              m_archivio + u"=Studio Rossi;"_s + altro + u"=Altro"_s);
}

} // namespace
