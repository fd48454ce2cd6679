#include "Database.h"
#include "Recordset.h"
#include "modArchivio.h"
#include "modEsitiSync.h"

#include <QTemporaryDir>

#include <array>
#include <gtest/gtest.h>

using namespace lanvera;
using lanvera::dao::Database;

namespace {

const QDateTime Adesso{QDate(2026, 12, 5), QTime(18, 0, 0)};

TEST(EsitiSyncTest, ArchiveStandsOutWhenNeverSyncedFailedOrStale)
{
    auto stato = [](qint32 id, bool riuscito, qint64 secondiFa) {
        StatoArchivio s;
        s.ultimo.idFile = id;
        s.ultimo.riuscito = riuscito;
        s.ultimo.fine = Adesso.addSecs(-60);
        if (secondiFa >= 0) {
            s.ultimoSuccesso = Adesso.addSecs(-secondiFa);
        }
        return s;
    };
    constexpr qint64 Giorno = 24 * 60 * 60;
    const struct
    {
        const char *caso;
        StatoArchivio stato;
        bool segnalato;
    } casi[] = {
        {"never synchronised", StatoArchivio{}, true},
        {"last run failed, success yesterday", stato(1, false, Giorno), true},
        {"failed and never succeeded", stato(1, false, -1), true},
        {"succeeded an hour ago", stato(1, true, 3600), false},
        {"success exactly two days ago", stato(1, true, 2 * Giorno), false},
        {"success two days and a second ago", stato(1, true, 2 * Giorno + 1), true},
    };
    for (const auto &c : casi) {
        EXPECT_EQ(DaSegnalare(c.stato, Adesso), c.segnalato) << c.caso;
    }
}

TEST(EsitiSyncTest, OutcomesAreReadBackAndOnlyTheLastFiftyPerArchiveKept)
{
    QTemporaryDir dir;
    Database lista;
    // An older list: tblFile only. Recording adds the table by itself.
    ASSERT_TRUE(lista.crea(dir.filePath(QStringLiteral("Quor.mdb"))));
    ASSERT_TRUE(lista.esegui(QStringLiteral("CREATE TABLE tblFile(ID INTEGER PRIMARY KEY, File TEXT)")));

    for (int i = 0; i < 55; ++i) {
        EsitoSync e;
        e.idFile = 1;
        e.file = QStringLiteral("/archivi/Rossi.mdb");
        e.inizio = Adesso.addSecs(i * 60);
        e.fine = e.inizio.addSecs(30);
        // every fifth run fails: the last success is run 53, the last run (54) fails
        e.riuscito = i % 5 != 4;
        e.esito = e.riuscito ? QStringLiteral("Operazione conclusa") : QStringLiteral("Password non valida");
        e.errori = i;
        e.inviate = 1;
        e.scaricate = 2;
        e.unite = 3;
        QString errore;
        ASSERT_TRUE(RegistraEsito(lista, e, &errore)) << errore.toStdString();
    }
    EsitoSync altro;
    altro.idFile = 2;
    altro.riuscito = false;
    altro.esito = QStringLiteral("Apertura archivio: Errore 3024 mancante");
    ASSERT_TRUE(RegistraEsito(lista, altro));

    dao::Recordset rs(lista);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT IDFile, Count(*) AS n, Min(Errori) AS primo FROM tblEsitiSync GROUP BY "
                                       "IDFile ORDER BY IDFile")));
    EXPECT_EQ(rs.valore(QStringLiteral("n")).toInt(), 50);
    EXPECT_EQ(rs.valore(QStringLiteral("primo")).toInt(), 5) << "the oldest runs go first";
    rs.muoviProssimo();
    EXPECT_EQ(rs.valore(QStringLiteral("n")).toInt(), 1) << "another archive's history is its own";
    rs.chiudi();

    const QHash<qint32, StatoArchivio> stati = LeggiStatiArchivi(lista);
    ASSERT_EQ(stati.size(), 2);
    const StatoArchivio rossi = stati.value(1);
    EXPECT_EQ(rossi.ultimo.errori, 54);
    EXPECT_FALSE(rossi.ultimo.riuscito);
    EXPECT_EQ(rossi.ultimo.esito, QStringLiteral("Password non valida"));
    EXPECT_EQ(rossi.ultimo.file, QStringLiteral("/archivi/Rossi.mdb"));
    EXPECT_EQ(rossi.ultimo.inizio, Adesso.addSecs(54 * 60));
    EXPECT_EQ(rossi.ultimo.fine, Adesso.addSecs(54 * 60 + 30));
    EXPECT_EQ((std::array{rossi.ultimo.inviate, rossi.ultimo.scaricate, rossi.ultimo.unite}), (std::array{1, 2, 3}));
    EXPECT_EQ(rossi.ultimoSuccesso, Adesso.addSecs(53 * 60 + 30));
    EXPECT_FALSE(stati.value(2).ultimoSuccesso.isValid());
}

TEST(EsitiSyncTest, ListsNewAndOldCarryTheOutcomeTable)
{
    QTemporaryDir dir;
    const QString nuova = dir.filePath(QStringLiteral("Nuova.mdb"));
    const QString vecchia = dir.filePath(QStringLiteral("Vecchia.mdb"));
    {
        Database db;
        ASSERT_TRUE(db.crea(vecchia));
        ASSERT_TRUE(db.esegui(
            QStringLiteral("CREATE TABLE tblFile(ID INTEGER PRIMARY KEY AUTOINCREMENT, File TEXT, Descrizione TEXT)")));
        ASSERT_TRUE(db.esegui(QStringLiteral("INSERT INTO tblFile (File, Descrizione) VALUES ('a.mdb', 'A')")));
    }
    ASSERT_TRUE(CreaDatabaseSync(nuova));
    ASSERT_TRUE(PreparaDatabaseSync(vecchia));
    for (const QString &file : {nuova, vecchia}) {
        Database db;
        ASSERT_TRUE(db.apri(file));
        EXPECT_EQ(db.campi(QStringLiteral("tblEsitiSync")).size(), 11) << file.toStdString();
        EXPECT_TRUE(LeggiStatiArchivi(db).isEmpty());
    }
    Database db;
    ASSERT_TRUE(db.apri(vecchia));
    dao::Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT File FROM tblFile")));
    EXPECT_EQ(rs.testo(QStringLiteral("File")), QStringLiteral("a.mdb")) << "the list's rows stay";
}

} // namespace
