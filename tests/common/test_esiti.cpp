#include "Database.h"
#include "Recordset.h"
#include "modEsitiSync.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lanvera;

namespace {

const QDateTime Adesso{QDate(2026, 12, 5), QTime(18, 0, 0)};

TEST(EsitiSyncTest, ArchiveStandsOutWhenNeverSyncedFailedOrStale)
{
    constexpr qint64 Giorno = 24 * 60 * 60;
    const struct
    {
        bool riuscito;
        qint64 successoSecondiFa; // -1: never succeeded
        bool segnalato;
    } casi[] = {{false, Giorno, true},
                {false, -1, true},
                {true, 3600, false},
                {true, 2 * Giorno, false},
                {true, 2 * Giorno + 1, true}};
    EXPECT_TRUE(DaSegnalare(StatoArchivio{}, Adesso)) << "never synchronised";
    for (const auto &c : casi) {
        StatoArchivio s;
        s.ultimo.idFile = 1;
        s.ultimo.riuscito = c.riuscito;
        s.ultimoSuccesso = c.successoSecondiFa < 0 ? QDateTime() : Adesso.addSecs(-c.successoSecondiFa);
        EXPECT_EQ(DaSegnalare(s, Adesso), c.segnalato) << c.riuscito << ' ' << c.successoSecondiFa;
    }
}

TEST(EsitiSyncTest, OnlyTheLastFiftyRunsOfEachArchiveAreKept)
{
    QTemporaryDir dir;
    dao::Database lista;
    // A list without the table: recording adds it.
    ASSERT_TRUE(lista.crea(dir.filePath(QStringLiteral("Quor.mdb"))));
    for (int i = 0; i < 55; ++i) {
        EsitoSync e;
        e.idFile = 1;
        e.fine = Adesso.addSecs(i * 60);
        e.riuscito = i != 54; // the last run fails
        e.esito = e.riuscito ? QStringLiteral("Operazione conclusa") : QStringLiteral("Password non valida");
        e.errori = i;
        QString errore;
        ASSERT_TRUE(RegistraEsito(lista, e, &errore)) << errore.toStdString();
    }
    EsitoSync altro;
    altro.idFile = 2;
    ASSERT_TRUE(RegistraEsito(lista, altro));

    dao::Recordset rs(lista);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT Count(*) AS n, Min(Errori) AS primo FROM tblEsitiSync WHERE IDFile=1")));
    EXPECT_EQ(rs.valore(QStringLiteral("n")).toInt(), 50);
    EXPECT_EQ(rs.valore(QStringLiteral("primo")).toInt(), 5) << "the oldest runs go first";
    rs.chiudi();

    const QHash<qint32, StatoArchivio> stati = LeggiStatiArchivi(lista);
    ASSERT_EQ(stati.size(), 2) << "another archive's history is its own";
    EXPECT_EQ(stati.value(1).ultimo.esito, QStringLiteral("Password non valida"));
    EXPECT_EQ(stati.value(1).ultimoSuccesso, Adesso.addSecs(53 * 60));
    EXPECT_FALSE(stati.value(2).ultimoSuccesso.isValid());
}

} // namespace

TEST(EsitiSyncTest, AnOlderListGainsTheConflictColumnAndKeepsItsRuns)
{
    QTemporaryDir dir;
    dao::Database lista;
    ASSERT_TRUE(lista.crea(dir.filePath(QStringLiteral("Quor.mdb"))));
    // The table as an earlier version made it, with one run in it.
    ASSERT_TRUE(lista.esegui(QStringLiteral(
        "CREATE TABLE tblEsitiSync(ID INTEGER PRIMARY KEY AUTOINCREMENT, IDFile INTEGER NOT NULL, File TEXT(255), "
        "Inizio DATETIME, Fine DATETIME, Esito TEXT(255), Riuscito INTEGER NOT NULL DEFAULT 0, Errori INTEGER NOT "
        "NULL DEFAULT 0, Inviate INTEGER NOT NULL DEFAULT 0, Scaricate INTEGER NOT NULL DEFAULT 0, Unite INTEGER NOT "
        "NULL DEFAULT 0)")));
    ASSERT_TRUE(lista.esegui(QStringLiteral("INSERT INTO tblEsitiSync (IDFile, Esito, Riuscito, Unite) VALUES "
                                            "(1, 'Operazione conclusa', -1, 3)")));

    EXPECT_EQ(LeggiStatiArchivi(lista).value(1).ultimo.unite, 3) << "an old list reads as it is";
    EsitoSync e;
    e.idFile = 2;
    e.fine = Adesso;
    e.conflitti = 4;
    QString errore;
    ASSERT_TRUE(RegistraEsito(lista, e, &errore)) << errore.toStdString();
    ASSERT_TRUE(RegistraEsito(lista, e, &errore)) << "the column is added once: " << errore.toStdString();
    const QHash<qint32, StatoArchivio> stati = LeggiStatiArchivi(lista);
    EXPECT_EQ(stati.value(1).ultimo.conflitti, 0);
    EXPECT_EQ(stati.value(1).ultimo.unite, 3);
    EXPECT_EQ(stati.value(2).ultimo.conflitti, 4);
}
