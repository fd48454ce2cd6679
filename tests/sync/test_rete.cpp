#include "PacchettoTest.h"
#include "SyncFixture.h"
#include "clsSincronizza.h"

#include <QDir>
#include <QElapsedTimer>

#include <array>
#include <functional>

using namespace lanvera;
using lanvera::dao::Database;
using lanvera::test::AdminConnection;
using lanvera::test::AlteraPacchetto;
using lanvera::test::Contenuto;

namespace {

using ReteTest = lanvera::test::ReteFixture;

TEST_F(ReteTest, PublishDownloadThenAChangeGoesUpAndComesDownMergedNotDuplicated)
{
    const QList<clsPaziente> pubblicati = pubblica(6);
    ASSERT_EQ(pubblicati.size(), 6);

    const QStringList primo = sincronizza(m_studio);
    EXPECT_EQ(conta(primo, QStringLiteral("Invio di ")), 6);
    EXPECT_EQ(m_sync.Errori(), 0) << primo.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(m_sync.Esito(), QStringLiteral("Operazione conclusa"));
    EXPECT_EQ((std::array{m_sync.Inviate(), m_sync.Scaricate(), m_sync.Unite()}), (std::array{6, 0, 0}));
    AdminConnection admin;
    EXPECT_EQ(admin.scalar(QStringLiteral("SELECT count(*) FROM quor_%1.tblcartella").arg(m_idRossi)).toInt(), 6);
    EXPECT_EQ(admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblanagrafica WHERE IDUpdate LIKE '{%}'")).toInt(),
              6);

    const QStringList casa = sincronizza(m_casa);
    EXPECT_EQ(conta(casa, QStringLiteral("Scarico cartella di ")), 6);
    EXPECT_EQ((std::array{m_sync.Inviate(), m_sync.Scaricate(), m_sync.Unite()}), (std::array{0, 6, 0}));
    EXPECT_EQ(m_sync.Errori(), 0) << casa.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(valore(m_casa, QStringLiteral("SELECT count(*) FROM tblAnagrafica")).toInt(), 6);
    for (const clsPaziente &p : pubblicati) {
        EXPECT_EQ(righeDiario(m_casa, p), righeDiario(m_studio, p)) << p.Cognome.toStdString();
    }

    // Third runs on either side: no patient line at all.
    for (const QString &archivio : {m_studio, m_casa}) {
        const QStringList terzo = sincronizza(archivio);
        EXPECT_EQ(conta(terzo, QStringLiteral("Invio di ")) + conta(terzo, QStringLiteral("Scarico cartella di ")), 0)
            << terzo.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(m_sync.Errori(), 0);
    }

    // The host records a new diary entry and an edit, and marks the patient as changed.
    const clsPaziente &x = pubblicati.at(1);
    esegui(m_studio,
           QStringLiteral("INSERT INTO tblDiario (GUID, IDPaziente, Data, LastUpdate, LastInsert) VALUES ('{D00D0000-"
                          "0000-0000-0000-000000000001}', ?, '2026-12-05 10:00:00', '2026-12-05 10:00:00', "
                          "'2026-12-05 10:00:00')"),
           {x.ID});
    const QString guid =
        valore(m_studio, QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"), {x.ID})
            .toString();
    ASSERT_FALSE(guid.isEmpty());
    esegui(m_studio,
           QStringLiteral("UPDATE tblDiario SET ToSend=0, LastUpdate='2026-12-05 11:00:00', ModificatoDa='Rossi' "
                          "WHERE GUID=?"),
           {guid});
    esegui(m_studio, QStringLiteral("UPDATE tblAnagrafica2 SET TagStato=1 WHERE IDPaziente=?"), {x.ID});
    if (valore(m_studio, QStringLiteral("SELECT count(*) FROM tblAnagrafica2 WHERE IDPaziente=?"), {x.ID}).toInt() ==
        0) {
        esegui(m_studio, QStringLiteral("INSERT INTO tblAnagrafica2 (IDPaziente, TagStato) VALUES (?, 1)"), {x.ID});
    }

    EXPECT_EQ(sincronizza(m_studio).filter(QStringLiteral("Invio di ")),
              QStringList{QStringLiteral("Invio di ") + x.Cognome + QLatin1Char(' ') + x.Nome});
    const QStringList giu = sincronizza(m_casa);
    EXPECT_EQ(conta(giu, QStringLiteral("Scarico cartella di ")), 1) << giu.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(righeDiario(m_casa, x), righeDiario(m_studio, x));
    EXPECT_EQ(valore(m_casa, QStringLiteral("SELECT group_concat(LastUpdate) FROM tblDiario WHERE GUID=?"), {guid})
                  .toString(),
              QStringLiteral("2026-12-05 11:00:00"))
        << "merged once, with its stamp";
    // and the downloaded copy does not bounce back
    EXPECT_EQ(conta(sincronizza(m_casa), QStringLiteral("Invio di ")), 0);
}

TEST_F(ReteTest, ColleaguesModificationsAreMergedDeletedAndSentBack)
{
    const QList<clsPaziente> pubblicati = pubblica(2);
    sincronizza(m_studio);
    const clsPaziente &x = pubblicati.at(0);

    const QString guid =
        valore(m_studio, QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"), {x.ID})
            .toString();
    ASSERT_FALSE(guid.isEmpty());
    const QString pacchetto = pacchettoModifiche(m_studio, x.ID, guid, QStringLiteral("visto dal collega"));
    const int guasto = accodaModifiche(x.KeyPaziente, CfBianchi, CfRossi, QStringLiteral("non è un pacchetto"));
    accodaModifiche(x.KeyPaziente, CfBianchi, CfRossi.toLower(), pacchetto);
    const int altrui = accodaModifiche(x.KeyPaziente, CfBianchi, QStringLiteral("VRDGPP60C10L219K"), pacchetto);

    const QStringList righe = sincronizza(m_studio);
    EXPECT_TRUE(righe.contains(QStringLiteral("Aggiorno cartella di ") + x.Cognome + QLatin1Char(' ') + x.Nome));
    EXPECT_EQ(conta(righe, QStringLiteral("Attenzione: Non è stato possibile aggiornare la cartella di ")), 1);
    EXPECT_EQ((std::array{m_sync.Inviate(), m_sync.Unite()}), (std::array{1, 1}))
        << "the broken package is not counted";
    EXPECT_TRUE(righe.contains(QStringLiteral("Invio di ") + x.Cognome + QLatin1Char(' ') + x.Nome))
        << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(valore(m_studio, QStringLiteral("SELECT Diario FROM tblDiario WHERE GUID=?"), {guid}).toString(),
              QStringLiteral("visto dal collega"));
    EXPECT_EQ(valore(m_studio, QStringLiteral("SELECT ModificatoDa FROM tblDiario WHERE GUID=?"), {guid}).toString(),
              QStringLiteral("Bianchi Lucia"));
    EXPECT_EQ(AdminConnection().column(QStringLiteral("SELECT ID FROM quor.tblmodifiche ORDER BY ID")),
              (QStringList{QString::number(guasto), QString::number(altrui)}));
    // the chart sent back holds the change
    EXPECT_EQ(conta(sincronizza(m_casa), QStringLiteral("Scarico cartella di ")), 2);
    EXPECT_EQ(valore(m_casa, QStringLiteral("SELECT Diario FROM tblDiario WHERE GUID=?"), {guid}).toString(),
              QStringLiteral("visto dal collega"));
}

TEST_F(ReteTest, RevokedUnassignedAndClashingPatientsAreReported)
{
    // a revoked patient published with authorisations
    sincronizza(m_studio);
    clsPaziente revocato;
    for (const clsPaziente &p : m_sync.PazientiLocali()) {
        if (p.Revocato != 0) {
            revocato = p;
            break;
        }
    }
    ASSERT_FALSE(revocato.KeyPaziente.isEmpty());
    AdminConnection admin;
    ASSERT_TRUE(admin.exec(QStringLiteral("INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, "
                                          "IDDatabase, Autorizzazioni) VALUES ('%1', '%2', 'x', 'y', '%3', %4, '011')")
                               .arg(revocato.KeyPaziente, revocato.CF, CfRossi)
                               .arg(m_idRossi)));
    // one with no chart database assigned
    const QList<clsPaziente> senzaDb = pubblica(1, 0);

    // a server patient that this archive knows as a private patient
    esegui(m_casa, QStringLiteral("INSERT INTO tblAnagrafica (CodiceFiscale, Cognome, Nome, Proprio) VALUES "
                                  "('ZZZZZZ80A01H501Z', 'Privato', 'Pio', -1)"));
    ASSERT_TRUE(admin.exec(QStringLiteral("INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, "
                                          "IDDatabase, IDUpdate) VALUES ('zzzzzz80a01h501z;privato;pio', "
                                          "'ZZZZZZ80A01H501Z', 'Privato', 'Pio', '%1', %2, '{X}')")
                               .arg(CfRossi)
                               .arg(m_idRossi)));

    for (int giro = 0; giro < 2; ++giro) {
        const QStringList righe = sincronizza(m_studio);
        EXPECT_TRUE(righe.contains(QStringLiteral("   ATTENZIONE: Il paziente ") + revocato.Cognome + QLatin1Char(' ') +
                                   revocato.Nome + QStringLiteral(" è revocato")));
        EXPECT_TRUE(righe.contains(QStringLiteral("   Rimuoverlo manualmente dal server")));
        EXPECT_FALSE(righe.contains(QStringLiteral("Invio di ") + revocato.Cognome + QLatin1Char(' ') + revocato.Nome));
        EXPECT_EQ(conta(righe, QStringLiteral("Attenzione: La cartella di ") + senzaDb.first().Cognome), 1)
            << righe.join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_EQ(admin
                  .scalar(QStringLiteral("SELECT Autorizzazioni FROM quor.tblanagrafica WHERE IDPaziente='%1'")
                              .arg(revocato.KeyPaziente))
                  .toString(),
              QString());

    const QStringList casa = sincronizza(m_casa);
    const QStringList avvisi = casa.filter(QStringLiteral("Attenzione: Il paziente PRIVATO PIO con Codice Fiscale "
                                                          "ZZZZZZ80A01H501Z risulta presente nell'archivio locale ma "
                                                          "identificato come NON PROPRIO ASSISTITO."));
    EXPECT_EQ(avvisi.size(), 1) << casa.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(valore(m_casa, QStringLiteral("SELECT count(*) FROM tblAnagrafica WHERE Cognome='Privato'")).toInt(), 1);
}

} // namespace

TEST_F(ReteTest, HostilePackagesAreRefusedOnBothRoadsAndStayOnTheServer)
{
    const QList<clsPaziente> pubblicati = pubblica(2);
    sincronizza(m_studio);
    sincronizza(m_casa);
    const clsPaziente &x = pubblicati.at(0);
    const clsPaziente &y = pubblicati.at(1);
    AdminConnection admin;
    auto leggi = [&admin, &x](const QString &sql) {
        QSqlQuery q(admin.database());
        q.prepare(sql);
        q.addBindValue(x.KeyPaziente);
        EXPECT_TRUE(q.exec() && q.next()) << q.lastError().text().toStdString();
        return q.value(0).toString();
    };
    const QString cartellaX =
        leggi(QStringLiteral("SELECT Cartella FROM quor_%1.tblcartella WHERE IDPaziente=?").arg(m_idRossi));
    const QString stampX = leggi(QStringLiteral("SELECT IDUpdate FROM quor.tblanagrafica WHERE IDPaziente=?"));
    // A third installation that holds Y only: X is downloaded there as new.
    const QString nuova = secondaInstallazione(QStringLiteral("Nuova.mdb"));
    const QString chiaveX = QString(x.KeyPaziente).replace(QLatin1Char('\''), QStringLiteral("''"));
    // X's chart and stamp on the server.
    auto sulServer = [&](const QString &cartella, const QString &stamp) {
        admin.exec(QStringLiteral("UPDATE quor_%1.tblcartella SET Cartella='%2' WHERE IDPaziente='%3'")
                       .arg(m_idRossi)
                       .arg(cartella, chiaveX));
        admin.exec(
            QStringLiteral("UPDATE quor.tblanagrafica SET IDUpdate='%1' WHERE IDPaziente='%2'").arg(stamp, chiaveX));
    };
    sulServer(cartellaX, QString());
    sincronizza(nuova);
    sulServer(cartellaX, stampX);
    const QString guidY =
        valore(m_studio, QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"), {y.ID})
            .toString();
    const QString paziente =
        valore(m_studio, QStringLiteral("SELECT GUID FROM tblAnagrafica WHERE ID=?"), {y.ID}).toString();
    ASSERT_FALSE(guidY.isEmpty());

    const auto vista = [](Database &db) {
        db.esegui(QStringLiteral("DROP TABLE tblDiario"));
        db.esegui(QStringLiteral("CREATE VIEW tblDiario AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM "
                                 "r) SELECT n AS ID, 'g'||n AS GUID, 1 AS IDPaziente, 0 AS ToSend FROM r"));
    };
    const auto enorme = [](Database &db) {
        db.esegui(QStringLiteral("DROP TABLE tblAllergie"));
        db.esegui(QStringLiteral(
            "CREATE VIEW tblAllergie AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM "
            "r LIMIT 13) SELECT n AS ID, 'g'||n AS GUID, zeroblob(52428800) AS Nota, 0 AS ToSend FROM r"));
    };
    const auto vuoto = [](Database &db) {
        for (const QString &t : db.tabelle()) {
            db.esegui(QStringLiteral("DROP TABLE [%1]").arg(t));
        }
    };
    const struct
    {
        const char *caso;
        std::function<void(Database &)> modifiche; // the colleague's package
        std::function<void(Database &)> cartella;  // the chart on the server
    } casi[] = {
        {"endless view", vista, vista},
        {"view of huge rows", enorme, enorme},
        {"another patient's rows",
         [&](Database &db) {
             EXPECT_TRUE(db.esegui(QStringLiteral("UPDATE tblDiario SET GUID=?, ToSend=0 WHERE _rowid_=(SELECT "
                                                  "min(_rowid_) FROM tblDiario)"),
                                   {guidY}));
         },
         [&](Database &db) { EXPECT_TRUE(db.esegui(QStringLiteral("UPDATE tblAnagrafica SET GUID=?"), {paziente})); }},
        {"empty package", vuoto, vuoto},
    };
    const QString guidX =
        valore(m_studio, QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"), {x.ID})
            .toString();
    const QString modificheX = pacchettoModifiche(m_studio, x.ID, guidX, QStringLiteral("dal collega"));
    const QString alterato = percorso(QStringLiteral("Alterato.mdb"));

    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        // A colleague's changes: refused, the archive as it was, the package left on the server.
        const QString prima = Contenuto(m_studio);
        const int id =
            accodaModifiche(x.KeyPaziente, CfBianchi, CfRossi, AlteraPacchetto(modificheX, alterato, c.modifiche));
        QElapsedTimer orologio;
        orologio.start();
        QStringList righe = sincronizza(m_studio);
        EXPECT_LT(orologio.elapsed(), 30000);
        EXPECT_EQ(conta(righe, QStringLiteral("Attenzione: Non è stato possibile aggiornare la cartella di ") +
                                   x.Cognome + QLatin1Char(' ') + x.Nome),
                  1)
            << righe.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(
            righe.join(QLatin1Char('\n')).contains(QStringLiteral("Importa Modifiche: pacchetto non valido: ")));
        EXPECT_EQ(Contenuto(m_studio), prima);
        EXPECT_EQ(valore(m_studio, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        EXPECT_EQ(admin.scalar(QStringLiteral("SELECT count(*) FROM quor.tblmodifiche WHERE ID=%1").arg(id)).toInt(),
                  1);
        admin.exec(QStringLiteral("DELETE FROM quor.tblmodifiche"));

        // A chart on the server: refused when brought up to date and when downloaded as new, not stamped.
        sulServer(AlteraPacchetto(cartellaX, alterato, c.cartella), CreaGUID());
        for (const auto &[archivio, parola] :
             {std::pair{m_casa, QStringLiteral("allineata")}, std::pair{nuova, QStringLiteral("importata")}}) {
            const QString primaQui = Contenuto(archivio);
            orologio.restart();
            righe = sincronizza(archivio);
            EXPECT_LT(orologio.elapsed(), 30000);
            EXPECT_EQ(conta(righe, QStringLiteral("Attenzione: La cartella di ") + x.Cognome + QLatin1Char(' ') +
                                       x.Nome + QStringLiteral(" non è stata ") + parola),
                      1)
                << righe.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(
                righe.join(QLatin1Char('\n')).contains(QStringLiteral("Importa Cartella: pacchetto non valido: ")));
            EXPECT_EQ(Contenuto(archivio), primaQui);
            EXPECT_EQ(valore(archivio, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        }
        sulServer(cartellaX, stampX);
    }
}
