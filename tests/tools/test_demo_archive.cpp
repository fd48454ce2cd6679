// The archive side of lanvera-demo: which patients the plug-in would publish, the authorisation
// text, the second installation's archive and Sync's list of archives.

#include "DemoArchive.h"
#include "Recordset.h"
#include "StampaQt.h"
#include "clsPaziente.h"
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

TEST(AuthorisationTextTest, TicksEveryColleagueAtHisPosition)
{
    EXPECT_EQ(AuthorisationText({2, 3, 4}), u"0111"_s);
    // One "0" per colleague, padded up to the farthest position.
    EXPECT_EQ(AuthorisationText({2, 5}), u"01001"_s);
    EXPECT_EQ(AuthorisationText({1, 2}), u"11"_s);
    EXPECT_EQ(AuthorisationText({0, 2}), u"01"_s) << "a doctor without a position is not ticked";
    EXPECT_EQ(AuthorisationText({}), QString());

    EXPECT_TRUE(Authorises(u"0111"_s, 2));
    EXPECT_FALSE(Authorises(u"0111"_s, 1));
    EXPECT_FALSE(Authorises(u"01"_s, 3)) << "beyond the end";
    EXPECT_FALSE(Authorises(u"01"_s, 0));
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

    qint64 paziente(const char *cf, const char *cognome, int proprio = 0, const QVariant &uidcMedico = {})
    {
        EXPECT_TRUE(m_db.esegui(u"INSERT INTO tblAnagrafica (CodiceFiscale, Cognome, Nome, Proprio, "
                                "UIDCMedico, DataNascita) VALUES (?, ?, 'Anna', ?, ?, "
                                "'1970-03-02 00:00:00')"_s,
                                {QString::fromLatin1(cf), QString::fromLatin1(cognome), proprio, uidcMedico}))
            << m_db.ultimoErrore().testo().toStdString();
        return testo(m_db, u"SELECT max(ID) AS v FROM tblAnagrafica"_s).toLongLong();
    }

    void rapporto(qint64 id, const char *inizio, const char *fine, const char *motivo = "")
    {
        const QString giorno = u"%1 00:00:00"_s;
        EXPECT_TRUE(
            m_db.esegui(u"INSERT INTO tblRapporti (IDPaziente, DataInizio, DataFine, Motivo) "
                        "VALUES (?, ?, ?, ?)"_s,
                        {id, giorno.arg(QLatin1String(inizio)),
                         fine ? QVariant(giorno.arg(QLatin1String(fine))) : QVariant(), QString::fromLatin1(motivo)}));
    }

    // "surname:Revocato" of the local list, or only the publishable surnames.
    QStringList elenco(bool soloPubblicabili)
    {
        QList<clsPaziente> pazienti;
        QString errore;
        EXPECT_TRUE(LocalPatients(m_db, QDate(2026, 12, 5), &pazienti, &errore)) << errore.toStdString();
        QStringList risultato;
        for (const clsPaziente &p : std::as_const(pazienti)) {
            if (!soloPubblicabili) {
                risultato << p.Cognome + u':' + QString::number(p.Revocato);
            } else if (IsPublishable(p)) {
                risultato << p.Cognome;
            }
        }
        return risultato;
    }

    QTemporaryDir m_dir;
    QString m_archivio = m_dir.filePath(u"Archivio.mdb"_s);
    Database m_db;
};

TEST_F(DemoArchiveTest, OnlyActiveAlignedPatientsOfSyncsListArePublishable)
{
    // Left out as Sync's local list leaves them out.
    paziente("CRT", "Corto");
    paziente("PRVPIO70C02H501X", "Privato", -1);
    paziente("CLLGNN70C02H501X", "Collega", 0, u"{A0000000-0000-0000-0000-000000000001}"_s);
    const qint64 attivo = paziente("ATTVNN70C02H501X", "Attivo");
    paziente("attvnn70c02h501x", "Attivo "); // the same key again: listed once
    rapporto(attivo, "2010-01-01", "2026-12-06");
    rapporto(paziente("OGGINN70C02H501X", "Finito"), "2010-01-01", "2026-12-05"); // ends today: revoked
    rapporto(paziente("MRTONN70C02H501X", "Morto"), "2010-01-01", "2020-01-01", "Decesso");
    const qint64 ripreso = paziente("RPRSNN70C02H501X", "Ripreso");
    rapporto(ripreso, "2010-01-01", "2020-01-01");
    rapporto(ripreso, "2021-01-01", nullptr);

    EXPECT_EQ(elenco(false), (QStringList{u"Attivo:0"_s, u"Finito:1"_s, u"Morto:2"_s, u"Ripreso:0"_s}));
    EXPECT_EQ(elenco(true), (QStringList{u"Attivo"_s, u"Ripreso"_s}));

    // With the SOLE extension, only patients whose alignment row says so.
    ASSERT_TRUE(m_db.esegui(u"CREATE TABLE SOLE_Versione (Versione INTEGER)"_s));
    ASSERT_TRUE(m_db.esegui(u"INSERT INTO SOLE_tblAllineati (IDPaziente, Allineato) VALUES (?, -1), (?, 0)"_s,
                            {attivo, ripreso}));
    EXPECT_EQ(elenco(true), QStringList{u"Attivo"_s});
}

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
