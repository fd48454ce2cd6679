#include "ConnessioneServer.h"
#include "Database.h"
#include "Recordset.h"
#include "modConflitti.h"

#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using namespace lanvera;

namespace {

const QDateTime Adesso{QDate(2026, 12, 5), QTime(18, 2, 7)};

class ConflittiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_db.crea(m_dir.filePath(QStringLiteral("Clinora.mdb"))));
    }

    static Conflitto conflitto(qint32 paziente = 7, const QString &perdente = QStringLiteral("{\"Diario\":\"a\"}"))
    {
        Conflitto c;
        c.quando = Adesso;
        c.tabella = QStringLiteral("tblDiario");
        c.guid = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
        c.idPaziente = paziente;
        c.aggiornatoVincente = QStringLiteral("2026-12-05 12:00:00");
        c.aggiornatoPerdente = QStringLiteral("2026-12-05 11:00:00");
        c.autoreVincente = QStringLiteral("BNCLCU65B41F205X");
        c.autorePerdente = QStringLiteral("RSSMRA70A01H501U");
        c.rigaVincente = QStringLiteral("{\"Diario\":\"b\"}");
        c.rigaPerdente = perdente;
        return c;
    }

    int righe()
    {
        dao::Recordset rs(m_db);
        return rs.apri(QStringLiteral("SELECT Count(*) AS n FROM QUOR_Conflitti"))
                   ? rs.valore(QStringLiteral("n")).toInt()
                   : -1;
    }

    QTemporaryDir m_dir;
    dao::Database m_db;
};

TEST_F(ConflittiTest, TheSameTwoVersionsAreKeptOnceAnythingElseIsNew)
{
    // The first conflict of an archive makes the table, inside the merge's transaction.
    ASSERT_TRUE(m_db.iniziaTransazione());
    bool nuovo = false;
    ASSERT_TRUE(RegistraConflitto(m_db, conflitto(), &nuovo)) << m_db.ultimoErrore().testo().toStdString();
    EXPECT_TRUE(nuovo);
    ASSERT_TRUE(m_db.confermaTransazione());

    const struct
    {
        const char *caso;
        std::function<void(Conflitto &)> cambia;
        bool nuovo;
    } casi[] = {
        {"the same again, at another moment", [](Conflitto &c) { c.quando = Adesso.addDays(1); }, false},
        {"the same, other authors named", [](Conflitto &c) { c.autorePerdente = QStringLiteral("x"); }, false},
        {"a later winner", [](Conflitto &c) { c.aggiornatoVincente = QStringLiteral("2026-12-06 09:00:00"); }, true},
        {"another loser's moment", [](Conflitto &c) { c.aggiornatoPerdente = QStringLiteral("2026-12-05 10:00:00"); },
         true},
        {"another loser's text", [](Conflitto &c) { c.rigaPerdente = QStringLiteral("{\"Diario\":\"c\"}"); }, true},
        {"another table", [](Conflitto &c) { c.tabella = QStringLiteral("tblPressione"); }, true},
        {"another row", [](Conflitto &c) { c.guid = QStringLiteral("{00000000-0000-0000-0000-000000000002}"); }, true},
        {"no loser's moment", [](Conflitto &c) { c.aggiornatoPerdente = QString(); }, true},
        {"no loser's moment, again as empty text", [](Conflitto &c) { c.aggiornatoPerdente = QStringLiteral(""); },
         false},
    };
    int attese = 1;
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        Conflitto k = conflitto();
        c.cambia(k);
        ASSERT_TRUE(RegistraConflitto(m_db, k, &nuovo)) << m_db.ultimoErrore().testo().toStdString();
        EXPECT_EQ(nuovo, c.nuovo);
        attese += c.nuovo ? 1 : 0;
        EXPECT_EQ(righe(), attese);
    }
}

TEST_F(ConflittiTest, APatientsConflictsReadBackLatestFirstAndVanishWithARolledBackMerge)
{
    EXPECT_TRUE(LeggiConflitti(m_db, 7).isEmpty()) << "no table yet";
    ASSERT_TRUE(PreparaConflitti(m_db));
    ASSERT_TRUE(PreparaConflitti(m_db)) << "twice is harmless";
    Conflitto primo = conflitto();
    Conflitto secondo = conflitto(7, QStringLiteral("{\"Diario\":\"z\"}"));
    secondo.quando = Adesso.addSecs(60);
    Conflitto altrui = conflitto(8);
    altrui.guid = QStringLiteral("{00000000-0000-0000-0000-000000000008}");
    for (const Conflitto &c : {primo, secondo, altrui}) {
        ASSERT_TRUE(RegistraConflitto(m_db, c));
    }
    const QList<Conflitto> letti = LeggiConflitti(m_db, 7);
    ASSERT_EQ(letti.size(), 2);
    EXPECT_EQ(letti.at(0).rigaPerdente, secondo.rigaPerdente);
    EXPECT_EQ(letti.at(0).quando, secondo.quando);
    const Conflitto &p = letti.at(1);
    EXPECT_EQ(std::tie(p.tabella, p.guid, p.idPaziente, p.aggiornatoVincente, p.aggiornatoPerdente, p.autoreVincente,
                       p.autorePerdente, p.rigaVincente, p.rigaPerdente),
              std::tie(primo.tabella, primo.guid, primo.idPaziente, primo.aggiornatoVincente, primo.aggiornatoPerdente,
                       primo.autoreVincente, primo.autorePerdente, primo.rigaVincente, primo.rigaPerdente));

    // A merge that fails takes its conflicts back with its rows.
    ASSERT_TRUE(m_db.iniziaTransazione());
    ASSERT_TRUE(RegistraConflitto(m_db, conflitto(9)));
    ASSERT_TRUE(m_db.annullaTransazione());
    EXPECT_TRUE(LeggiConflitti(m_db, 9).isEmpty());
    EXPECT_EQ(righe(), 3);
}

TEST(RigaJsonTest, ValuesAsTheArchiveStoresThemInOneCompactObject)
{
    const struct
    {
        QVariant valore;
        const char *json;
    } casi[] = {
        {QVariant(), "null"},
        {QVariant(QMetaType(QMetaType::QString)), "null"},
        {QStringLiteral("Visita \"urgente\"\nriga 2"), "\"Visita \\\"urgente\\\"\\nriga 2\""},
        {QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)), "\"2026-12-05 09:05:03\""},
        {QDate(2026, 1, 2), "\"2026-01-02 00:00:00\""},
        {QByteArray("\x00\xff", 2), "\"AP8=\""},
        {qint64(9007199254740993), "9007199254740993"},
        {-1, "-1"},
        {2.5, "2.5"},
        {true, "true"},
    };
    for (const auto &c : casi) {
        EXPECT_EQ(RigaJson({QStringLiteral("c")}, {c.valore}), QStringLiteral("{\"c\":%1}").arg(QLatin1String(c.json)))
            << c.json;
    }
    EXPECT_EQ(RigaJson({QStringLiteral("ID"), QStringLiteral("Diario")}, {3}),
              QStringLiteral("{\"Diario\":null,\"ID\":3}"))
        << "a missing value is null";
}

TEST(OrologioTest, OnlyAClockMoreThanTwoMinutesOffIsReported)
{
    const QDateTime server = Adesso.toUTC();
    const QString avanti = QStringLiteral("Attenzione: l'orologio di questo computer è avanti di %1 minuti rispetto "
                                          "al server: le modifiche fatte qui possono prevalere o essere scartate a "
                                          "torto");
    const QString indietro = QString(avanti).replace(QStringLiteral("avanti"), QStringLiteral("indietro"));
    const struct
    {
        qint64 secondi; // this computer's clock less the server's
        QString atteso;
    } casi[] = {
        {0, {}},
        {60, {}},
        {-120, {}},
        {121, avanti.arg(2)},
        {5 * 60, avanti.arg(5)},
        {-5 * 60 - 20, indietro.arg(5)},
        {-5 * 60 - 40, indietro.arg(6)},
        {36 * 3600, avanti.arg(2160)},
    };
    for (const auto &c : casi) {
        EXPECT_EQ(AvvisoOrologio(Adesso.addSecs(c.secondi), server), c.atteso) << c.secondi;
    }
    EXPECT_EQ(AvvisoOrologio(QDateTime(), server), QString());
    EXPECT_EQ(AvvisoOrologio(Adesso, QDateTime()), QString());
}

} // namespace
