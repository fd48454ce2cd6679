#include "SyncFixture.h"
#include "clsSincronizza.h"
#include "modConflitti.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

using namespace lanvera;
using lanvera::dao::Database;

namespace {

// Two versions of one row meet in a merge: the newer stays, the other is kept and reported.
class ConflittiTest : public lanvera::test::ReteFixture
{
protected:
    void SetUp() override
    {
        ReteFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_pubblicati = pubblica(2);
        ASSERT_EQ(m_pubblicati.size(), 2);
        sincronizza(m_studio);
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            m_guid << valore(m_studio,
                             QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"),
                             {p.ID})
                          .toString();
            ASSERT_FALSE(m_guid.last().isEmpty());
        }
    }

    // A run that must end cleanly; the lines it wrote.
    QStringList senzaErrori(const QString &archivio)
    {
        const QStringList righe = sincronizza(archivio);
        EXPECT_EQ(m_sync.Errori(), 0) << righe.join(QLatin1Char('\n')).toStdString();
        return righe;
    }

    // A doctor's edit of a diary entry in one archive, not yet sent.
    static void modifica(const QString &archivio, const QString &guid, const QString &testo, const QString &quando)
    {
        Database db;
        ASSERT_TRUE(db.apri(archivio));
        ASSERT_TRUE(db.esegui(QStringLiteral("UPDATE tblDiario SET Diario=?, LastUpdate=?, ToSend=0, ModificatoDa='' "
                                             "WHERE GUID=?"),
                              {testo, quando, guid}));
        ASSERT_TRUE(db.esegui(QStringLiteral("UPDATE tblAnagrafica2 SET TagStato=1 WHERE IDPaziente IN "
                                             "(SELECT IDPaziente FROM tblDiario WHERE GUID=?)"),
                              {guid}));
    }

    static QList<Conflitto> conflitti(const QString &archivio)
    {
        Database db;
        EXPECT_TRUE(db.apri(archivio));
        QList<Conflitto> tutti;
        dao::Recordset rs(db);
        if (db.esisteTabella(QStringLiteral("QUOR_Conflitti")) &&
            rs.apri(QStringLiteral("SELECT DISTINCT IDPaziente FROM QUOR_Conflitti"))) {
            for (; !rs.eof(); rs.muoviProssimo()) {
                tutti << LeggiConflitti(db, rs.valore(QStringLiteral("IDPaziente")).toInt());
            }
        }
        return tutti;
    }

    static QString diario(const QString &riga)
    {
        return QJsonDocument::fromJson(riga.toUtf8()).object().value(QStringLiteral("Diario")).toString();
    }

    QList<clsPaziente> m_pubblicati;
    QStringList m_guid;
};

TEST_F(ConflittiTest, OwnerAndColleagueEditingOneEntryKeepTheOlderTextWithBothAuthors)
{
    struct Caso
    {
        const char *titolare;
        const char *collega;
        bool vinceCollega;
    };
    for (const Caso &caso : {Caso{"2026-12-05 11:00:00", "2026-12-05 12:00:00", true},
                             Caso{"2026-12-05 13:00:00", "2026-12-05 12:00:00", false}}) {
        SCOPED_TRACE(caso.titolare);
        const clsPaziente &x = m_pubblicati.at(0);
        const QString guid = m_guid.at(0);
        const int prima = int(conflitti(m_studio).size());
        modifica(m_studio, guid, QStringLiteral("testo del titolare"), QString::fromLatin1(caso.titolare));
        accodaModifiche(x.KeyPaziente, CfBianchi, CfRossi,
                        pacchettoModifiche(m_studio, x.ID, guid, QStringLiteral("testo del collega"),
                                           QString::fromLatin1(caso.collega)));
        // the colleague's change of a row nobody else touched is no conflict
        const clsPaziente &y = m_pubblicati.at(1);
        accodaModifiche(y.KeyPaziente, CfBianchi, CfRossi,
                        pacchettoModifiche(m_studio, y.ID, m_guid.at(1), QStringLiteral("solo il collega")));

        const QStringList righe = senzaErrori(m_studio);
        const QString vincente =
            caso.vinceCollega ? QStringLiteral("testo del collega") : QStringLiteral("testo del titolare");
        const QString perdente =
            caso.vinceCollega ? QStringLiteral("testo del titolare") : QStringLiteral("testo del collega");
        EXPECT_EQ(valore(m_studio, QStringLiteral("SELECT Diario FROM tblDiario WHERE GUID=?"), {guid}).toString(),
                  vincente);

        const QList<Conflitto> tutti = conflitti(m_studio);
        ASSERT_EQ(tutti.size(), prima + 1);
        const Conflitto &c = tutti.first();
        EXPECT_EQ(c.guid, guid);
        EXPECT_EQ(c.tabella, QStringLiteral("tblDiario"));
        EXPECT_EQ(diario(c.rigaPerdente), perdente);
        EXPECT_EQ(diario(c.rigaVincente), vincente);
        const QString titolare =
            valore(m_studio, QStringLiteral("SELECT Cognome || ' ' || Nome FROM tblMedico WHERE IDRete=1")).toString();
        EXPECT_EQ((QStringList{c.autoreVincente, c.autorePerdente}),
                  caso.vinceCollega ? (QStringList{QStringLiteral("Bianchi Lucia"), titolare})
                                    : (QStringList{titolare, QStringLiteral("Bianchi Lucia")}));
        EXPECT_EQ((QStringList{c.aggiornatoVincente, c.aggiornatoPerdente}),
                  caso.vinceCollega
                      ? (QStringList{QString::fromLatin1(caso.collega), QString::fromLatin1(caso.titolare)})
                      : (QStringList{QString::fromLatin1(caso.titolare), QString::fromLatin1(caso.collega)}));
        const QStringList linee = righe.filter(QStringLiteral("Conflitto nella cartella di "));
        ASSERT_EQ(linee.size(), 1) << righe.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(linee.first().contains(x.Cognome) && linee.first().contains(QStringLiteral("tblDiario")))
            << linee.first().toStdString();
        EXPECT_TRUE(righe.contains(clsSincronizza::RigaConflitti(1)));
        EXPECT_EQ(m_sync.Conflitti(), 1);

        // nothing new on the next run
        const QStringList dopo = senzaErrori(m_studio);
        EXPECT_TRUE(dopo.filter(QStringLiteral("Conflitt")).isEmpty()) << dopo.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(conflitti(m_studio).size(), prima + 1);
    }
    // the record stays with the archive: the second installation gets the charts, not the conflicts
    senzaErrori(m_casa);
    EXPECT_TRUE(conflitti(m_casa).isEmpty());
    EXPECT_EQ(conflitti(m_studio).size(), 2);
}

TEST_F(ConflittiTest, DownloadOverAnEditNotYetSentKeepsItAsTheLoser)
{
    const QString guid = m_guid.at(0);
    senzaErrori(m_casa);
    modifica(m_casa, guid, QStringLiteral("scritto a casa"), QStringLiteral("2026-12-05 11:00:00"));
    modifica(m_studio, guid, QStringLiteral("scritto in studio"), QStringLiteral("2026-12-05 12:00:00"));
    senzaErrori(m_studio);

    const QStringList righe = senzaErrori(m_casa);
    EXPECT_EQ(valore(m_casa, QStringLiteral("SELECT Diario FROM tblDiario WHERE GUID=?"), {guid}).toString(),
              QStringLiteral("scritto in studio"));
    const QList<Conflitto> tutti = conflitti(m_casa);
    ASSERT_EQ(tutti.size(), 1) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(diario(tutti.first().rigaPerdente), QStringLiteral("scritto a casa"));
    EXPECT_EQ(tutti.first().aggiornatoPerdente, QStringLiteral("2026-12-05 11:00:00"));
    EXPECT_EQ(righe.filter(QStringLiteral("Conflitto nella cartella di ")).size(), 1);

    EXPECT_TRUE(senzaErrori(m_casa).filter(QStringLiteral("Conflitt")).isEmpty());
    EXPECT_TRUE(senzaErrori(m_studio).filter(QStringLiteral("Conflitt")).isEmpty());
    EXPECT_EQ(conflitti(m_casa).size(), 1);
    EXPECT_TRUE(conflitti(m_studio).isEmpty());
}

TEST_F(ConflittiTest, StampFromTheFarFutureIsTakenWithTheServersTimeSoLaterCorrectionsWin)
{
    const clsPaziente &x = m_pubblicati.at(0);
    const QString guid = m_guid.at(0);
    senzaErrori(m_casa);
    accodaModifiche(
        x.KeyPaziente, CfBianchi, CfRossi,
        pacchettoModifiche(m_studio, x.ID, guid, QStringLiteral("dal futuro"), QStringLiteral("9999-12-31 23:59:59")));
    const QStringList righe = senzaErrori(m_studio);
    const QStringList avviso = righe.filter(QStringLiteral("Attenzione: una riga di tblDiario"));
    ASSERT_EQ(avviso.size(), 1) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(avviso.first().contains(QStringLiteral("31/12/9999"))) << avviso.first().toStdString();
    const QDateTime registrata =
        dao::ComeData(valore(m_studio, QStringLiteral("SELECT LastUpdate FROM tblDiario WHERE GUID=?"), {guid}));
    EXPECT_LE(std::abs(registrata.secsTo(Adesso)), 120) << registrata.toString().toStdString();

    // the second installation takes the merged chart, then the owner's correction
    senzaErrori(m_casa);
    modifica(m_studio, guid, QStringLiteral("corretto dal titolare"), QStringLiteral("2026-12-05 19:00:00"));
    senzaErrori(m_studio);
    senzaErrori(m_casa);
    for (const QString &archivio : {m_studio, m_casa}) {
        EXPECT_EQ(valore(archivio, QStringLiteral("SELECT Diario FROM tblDiario WHERE GUID=?"), {guid}).toString(),
                  QStringLiteral("corretto dal titolare"));
    }
}

} // namespace
