#include "ProxyServer.h"
#include "SyncFixture.h"
#include "modConflitti.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <csignal>

using namespace lanvera;
using lanvera::dao::Database;
using lanvera::dao::Recordset;
using lanvera::test::AdminConnection;

namespace {

// Runs that end badly: Sync killed at random points, the server going away mid-run. The next run
// must pick up from what was left and converge, with nothing lost and nothing half merged.
class InterruzioniTest : public lanvera::test::ProgrammaFixture
{
protected:
    void SetUp() override
    {
        ProgrammaFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_idRossi = registraGruppo();
        m_studio = generaArchivio(QStringLiteral("Studio.mdb"), 40, CfRossi, PasswordRossi, 0.6);
        m_pubblicati = pubblica(m_studio, 16, m_idRossi);
        ASSERT_EQ(m_pubblicati.size(), 16);
    }

    // Starts Sync on the archive and kills it (SIGKILL) right after the n-th archive-log line that
    // begins with `segno`. False when the run ended before that.
    bool uccidiDopo(const QString &archivio, const QString &segno, int n)
    {
        QProcess p;
        p.setProcessEnvironment(ambiente());
        p.start(m_programmi + QStringLiteral("/Sync"), {archivio});
        int visti = 0;
        QByteArray resto;
        while (p.waitForReadyRead(60000)) {
            resto += p.readAllStandardOutput();
            qsizetype fine;
            while ((fine = resto.indexOf('\n')) >= 0) {
                const QString riga = QString::fromUtf8(resto.left(fine));
                resto.remove(0, fine + 1);
                if (riga.mid(29).startsWith(segno) && ++visti == n) {
                    ::kill(pid_t(p.processId()), SIGKILL);
                    p.waitForFinished();
                    return true;
                }
            }
        }
        p.waitForFinished();
        return false;
    }

    // Starts Sync on the archive through a proxy that kills it as the server answers the first
    // statement containing `innesco`, before the answer reaches it. False when the run ended first.
    bool uccidiAllaRisposta(const QString &archivio, const QByteArray &innesco)
    {
        lanvera::test::ProxyServer proxy;
        if (!proxy.avvia(lanvera::test::TestServer::host(), lanvera::test::TestServer::port())) {
            ADD_FAILURE() << proxy.ultimoErrore().toStdString();
            return false;
        }
        const QString setup = QStringLiteral("Setup");
        EXPECT_TRUE(ScriviIniFile(m_ini, setup, QStringLiteral("Port"), QString::number(proxy.porta())));
        QProcess p;
        p.setProcessEnvironment(ambiente());
        p.start(m_programmi + QStringLiteral("/Sync"), {archivio});
        EXPECT_TRUE(p.waitForStarted());
        proxy.arma(innesco, p.processId());
        EXPECT_TRUE(p.waitForFinished(120000));
        EXPECT_TRUE(ScriviIniFile(m_ini, setup, QStringLiteral("Port"), impostazioni().porta));
        EXPECT_TRUE(proxy.inChiaro()) << "statements must pass as plain text";
        return proxy.scattato();
    }

    QStringList completa(const QString &archivio)
    {
        EXPECT_EQ(avvia({archivio}, 120000), 0);
        QStringList righe;
        for (const QString &riga : m_uscita.split(QLatin1Char('\n'))) {
            righe << riga.mid(29);
        }
        return righe;
    }

    static int conta(const QStringList &righe, const QString &inizio)
    {
        return int(std::count_if(righe.cbegin(), righe.cend(), [&](const QString &r) { return r.startsWith(inizio); }));
    }

    // Archive and server agree: every published chart is on the server under the stamp that the
    // archive keeps, and the archive is sound.
    void verificaConvergenza(const QString &archivio)
    {
        EXPECT_EQ(valore(archivio, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        AdminConnection admin;
        for (const clsPaziente &p : std::as_const(m_pubblicati)) {
            const QString stamp =
                admin
                    .scalar(QStringLiteral("SELECT IDUpdate FROM quor.tblanagrafica WHERE IDPaziente='%1'")
                                .arg(QString(p.KeyPaziente).replace(QLatin1Char('\''), QStringLiteral("''"))))
                    .toString();
            EXPECT_FALSE(stamp.isEmpty()) << p.Cognome.toStdString();
            const QString locale =
                valore(
                    archivio,
                    QStringLiteral("SELECT u.IDUpdate FROM QUOR_tblUpdate u JOIN tblAnagrafica a ON a.ID=u.IDPaziente "
                                   "WHERE a.CodiceFiscale=? AND a.Cognome=? AND a.Nome=?"),
                    {p.CF, p.Cognome, p.Nome})
                    .toString();
            EXPECT_EQ(locale, stamp) << p.Cognome.toStdString();
        }
        EXPECT_EQ(admin.scalar(QStringLiteral("SELECT count(*) FROM quor_%1.tblcartella").arg(m_idRossi)).toInt(),
                  m_pubblicati.size());
        // a further run finds nothing to move
        const QStringList quieta = completa(archivio);
        EXPECT_EQ(conta(quieta, QStringLiteral("Invio di ")) + conta(quieta, QStringLiteral("Scarico cartella di ")) +
                      conta(quieta, QStringLiteral("Aggiorno cartella di ")),
                  0)
            << quieta.join(QLatin1Char('\n')).toStdString();
    }

    // The GUID of a patient's first diary entry in the owner's archive.
    QString primaVoce(const clsPaziente &p)
    {
        return valore(m_studio, QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"),
                      {p.ID})
            .toString();
    }

    QSet<QString> guidDoppi(const QString &archivio)
    {
        QSet<QString> doppi;
        Database db;
        EXPECT_TRUE(db.apri(archivio));
        Recordset rs(db);
        EXPECT_TRUE(rs.apri(QStringLiteral("SELECT GUID FROM tblDiario GROUP BY GUID HAVING count(*) > 1")));
        for (; !rs.eof(); rs.muoviProssimo()) {
            doppi << rs.testo(QStringLiteral("GUID"));
        }
        return doppi;
    }

    int m_idRossi = 0;
    QString m_studio;
    QList<clsPaziente> m_pubblicati;
};

TEST_F(InterruzioniTest, KilledRunsNeverLeaveHalfMergesAndConverge)
{
    // Five colleague's packages waiting, one diary row each.
    QStringList guid;
    QList<int> righeIniziali;
    for (int i = 0; i < 5; ++i) {
        const clsPaziente &p = m_pubblicati.at(i);
        guid << primaVoce(p);
        ASSERT_FALSE(guid.last().isEmpty());
        accodaModifiche(p.KeyPaziente, CfBianchi, CfRossi,
                        pacchettoModifiche(m_studio, p.ID, guid.last(), QStringLiteral("modifica %1").arg(i)));
    }
    const int righeDiario = valore(m_studio, QStringLiteral("SELECT count(*) FROM tblDiario")).toInt();

    // Killed in the middle of the merges, then at several points of the uploads.
    EXPECT_TRUE(uccidiDopo(m_studio, QStringLiteral("Aggiorno cartella di "), 3));
    EXPECT_EQ(valore(m_studio, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    uccidiDopo(m_studio, QStringLiteral("Invio di "), 2);
    uccidiDopo(m_studio, QStringLiteral("Invio di "), 7);
    uccidiDopo(m_studio, QStringLiteral("Invio di "), 1);
    const QStringList fine = completa(m_studio);
    EXPECT_FALSE(fine.join(QLatin1Char('\n')).contains(QStringLiteral("Attenzione")))
        << fine.join(QLatin1Char('\n')).toStdString();

    // Every modification is in, exactly once, and gone from the server.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(
            valore(m_studio, QStringLiteral("SELECT Diario FROM tblDiario WHERE GUID=?"), {guid.at(i)}).toString(),
            QStringLiteral("modifica %1").arg(i));
    }
    EXPECT_EQ(valore(m_studio, QStringLiteral("SELECT count(*) FROM tblDiario")).toInt(), righeDiario);
    AdminConnection admin;
    EXPECT_EQ(admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblmodifiche")).toInt(), 0);
    verificaConvergenza(m_studio);

    // The second installation, killed while it downloads, ends with one copy of each chart.
    const QString casa = secondaInstallazione(QStringLiteral("Casa.mdb"));
    uccidiDopo(casa, QStringLiteral("Scarico cartella di "), 4);
    uccidiDopo(casa, QStringLiteral("Scarico cartella di "), 9);
    completa(casa);
    EXPECT_EQ(valore(casa, QStringLiteral("SELECT count(*) FROM tblAnagrafica")).toInt(), m_pubblicati.size());
    EXPECT_TRUE(guidDoppi(casa).isEmpty());
    int attese = 0;
    for (const clsPaziente &p : std::as_const(m_pubblicati)) {
        attese += valore(m_studio, QStringLiteral("SELECT count(*) FROM tblDiario WHERE IDPaziente=?"), {p.ID}).toInt();
    }
    EXPECT_EQ(valore(casa, QStringLiteral("SELECT count(*) FROM tblDiario")).toInt(), attese);
    verificaConvergenza(casa);
}

TEST_F(InterruzioniTest, RunsKilledAtRandomRecordEveryConflictOnce)
{
    // Five rows changed both here and by a colleague: here first, there later.
    QStringList guid;
    for (int i = 0; i < 5; ++i) {
        const clsPaziente &p = m_pubblicati.at(i);
        guid << primaVoce(p);
        ASSERT_FALSE(guid.last().isEmpty());
        Database db;
        ASSERT_TRUE(db.apri(m_studio));
        ASSERT_TRUE(db.esegui(QStringLiteral("UPDATE tblDiario SET Diario=?, ToSend=0, LastUpdate='2026-12-05 "
                                             "11:00:00' WHERE GUID=?"),
                              {QStringLiteral("titolare %1").arg(i), guid.last()}));
        db.chiudi();
        accodaModifiche(p.KeyPaziente, CfBianchi, CfRossi,
                        pacchettoModifiche(m_studio, p.ID, guid.last(), QStringLiteral("collega %1").arg(i)));
    }

    QRandomGenerator *caso = QRandomGenerator::global();
    const int primo = int(caso->bounded(1, 6));
    const int secondo = int(caso->bounded(1, 4));
    const int invio = int(caso->bounded(1, 12));
    SCOPED_TRACE(
        QStringLiteral("killed after merge %1, merge %2, upload %3").arg(primo).arg(secondo).arg(invio).toStdString());
    uccidiDopo(m_studio, QStringLiteral("Aggiorno cartella di "), primo);
    uccidiDopo(m_studio, QStringLiteral("Aggiorno cartella di "), secondo);
    uccidiDopo(m_studio, QStringLiteral("Invio di "), invio);
    completa(m_studio);

    Database db;
    ASSERT_TRUE(db.apri(m_studio));
    for (int i = 0; i < 5; ++i) {
        const QList<Conflitto> suoi = LeggiConflitti(db, m_pubblicati.at(i).ID);
        ASSERT_EQ(suoi.size(), 1) << i;
        EXPECT_EQ(suoi.first().guid, guid.at(i));
        EXPECT_TRUE(suoi.first().rigaPerdente.contains(QStringLiteral("titolare %1").arg(i)));
    }
    db.chiudi();
    verificaConvergenza(m_studio);
    EXPECT_EQ(valore(m_studio, QStringLiteral("SELECT count(*) FROM QUOR_Conflitti")).toInt(), 5);
}

TEST_F(InterruzioniTest, ServerGoingAwayEndsTheRunAndTheNextOneCompletes)
{
    clsSincronizza sync;
    sync.Init(m_server);
    QStringList righe;
    AdminConnection admin;
    bool tagliato = false;
    QObject::connect(&sync, &clsSincronizza::Log, [&](const QString &riga) {
        righe << riga.mid(29);
        if (!tagliato && conta(righe, QStringLiteral("Invio di ")) == 3) {
            tagliato = true;
            // every connection of the programs' account is cut, as when the server stops
            for (const QString &id : admin.column(
                     QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE USER='utenteclinora'"))) {
                admin.exec(QStringLiteral("KILL CONNECTION %1").arg(id));
            }
        }
    });
    EXPECT_FALSE(sync.Sincronizza(m_studio));
    ASSERT_GE(righe.size(), 2);
    EXPECT_TRUE(righe.at(righe.size() - 2).startsWith(QStringLiteral("Sincronizzazione: Errore 20")))
        << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(conta(righe, QStringLiteral("Invio di ")), 3) << "the walk stops with the connection";

    ASSERT_TRUE(m_server.connetti(impostazioni(), false));
    righe.clear();
    EXPECT_TRUE(sync.Sincronizza(m_studio)) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(sync.Errori(), 0);
    verificaConvergenza(m_studio);
}

TEST_F(InterruzioniTest, ChartDatabaseLeftWithoutItsTableIsCompletedByTheNextRun)
{
    // Killed between the creation of the chart database and that of its table.
    ASSERT_TRUE(uccidiAllaRisposta(m_studio, "CREATE DATABASE"));
    AdminConnection admin;
    const QString nome = QStringLiteral("quor_%1").arg(m_idRossi);
    ASSERT_EQ(
        admin.column(
            QStringLiteral("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME='%1'").arg(nome)),
        QStringList{nome});
    ASSERT_EQ(
        admin.scalar(QStringLiteral("SELECT count(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='%1'").arg(nome))
            .toInt(),
        0);

    const QString fine = completa(m_studio).join(QLatin1Char('\n'));
    EXPECT_FALSE(fine.contains(QStringLiteral("Errore 1146"))) << fine.toStdString();
    EXPECT_TRUE(fine.contains(QStringLiteral("Operazione conclusa"))) << fine.toStdString();
    verificaConvergenza(m_studio);
}

// Needs the engine to recognise, on the server, a chart it sent itself whose stamp it did not keep.
TEST_F(InterruzioniTest, UploadKilledAfterTheServerStoredTheStampConvergesWithoutResending)
{
    ASSERT_TRUE(uccidiAllaRisposta(m_studio, "INSERT INTO tblanagrafica"));
    AdminConnection admin;
    const QStringList inviati =
        admin.column(QStringLiteral("SELECT IDPaziente FROM quor.tblanagrafica WHERE IFNULL(IDUpdate, '')<>''"));
    ASSERT_EQ(inviati.size(), 1);
    const auto p = std::find_if(m_pubblicati.cbegin(), m_pubblicati.cend(),
                                [&](const clsPaziente &c) { return c.KeyPaziente == inviati.first(); });
    ASSERT_NE(p, m_pubblicati.cend());
    auto stampServer = [&] {
        return admin
            .scalar(QStringLiteral("SELECT IDUpdate FROM quor.tblanagrafica WHERE IDPaziente='%1'")
                        .arg(QuoteSQL(p->KeyPaziente)))
            .toString();
    };
    auto stampLocale = [&] {
        return valore(m_studio, QStringLiteral("SELECT IDUpdate FROM QUOR_tblUpdate WHERE IDPaziente=?"), {p->ID})
            .toString();
    };
    // Rows of the patient's chart not marked as sent, tblAnagrafica's own row included.
    QStringList tabelle;
    {
        QFile elenco(CartellaProgramma() + QStringLiteral("/Cartella.sql"));
        EXPECT_TRUE(elenco.open(QIODevice::ReadOnly));
        const QRegularExpression into(QStringLiteral(R"(INTO \[([^\]]+)\])"));
        for (auto m = into.globalMatch(QString::fromUtf8(elenco.readAll())); m.hasNext();) {
            tabelle << m.next().captured(1);
        }
    }
    auto nonInviate = [&] {
        Database db;
        EXPECT_TRUE(db.apri(m_studio));
        int righe = 0;
        for (const QString &t : std::as_const(tabelle)) {
            const bool anagrafica = t.compare(QStringLiteral("tblAnagrafica"), Qt::CaseInsensitive) == 0;
            if (!db.esisteCampo(t, QStringLiteral("ToSend")) ||
                (!anagrafica && !db.esisteCampo(t, QStringLiteral("IDPaziente")))) {
                continue;
            }
            Recordset rs(db);
            EXPECT_TRUE(
                rs.apri(QStringLiteral("SELECT count(*) AS n FROM %1 WHERE %2=? AND IFNULL(ToSend, 0)<>-1")
                            .arg(dao::Parentesi(t), anagrafica ? QStringLiteral("ID") : QStringLiteral("IDPaziente")),
                        Recordset::Tipo::SoloAvanti, {p->ID}));
            righe += rs.valore(QStringLiteral("n")).toInt();
        }
        return righe;
    };
    // the archive kept neither the stamp nor the sent marks
    ASSERT_NE(stampLocale(), stampServer());
    ASSERT_GT(nonInviate(), 0);

    completa(m_studio);
    EXPECT_EQ(nonInviate(), 0) << p->Cognome.toStdString();
    EXPECT_EQ(stampLocale(), stampServer());
    verificaConvergenza(m_studio);
}

} // namespace
