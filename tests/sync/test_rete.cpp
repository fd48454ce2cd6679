#include "PacchettoCartella.h"
#include "Recordset.h"
#include "SyncFixture.h"
#include "clsBase64.h"
#include "clsSincronizza.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSqlRecord>

#include <array>
#include <functional>
#include <zip.h>

using namespace lanvera;
using lanvera::dao::Database;
using lanvera::dao::Recordset;
using lanvera::test::AdminConnection;

namespace {

// Whole runs against the real server: an owner with two installations and a colleague.
class ReteTest : public lanvera::test::SyncFixture
{
protected:
    void SetUp() override
    {
        SyncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_idRossi = registraGruppo();
        QDir().mkpath(percorso(QStringLiteral("studio")));
        QDir().mkpath(percorso(QStringLiteral("casa")));
        m_studio = generaArchivio(QStringLiteral("studio/Archivio.mdb"), 40, CfRossi, PasswordRossi, 0.5);
        m_casa = secondaInstallazione(QStringLiteral("casa/Archivio.mdb"));

        m_sync.Init(m_server);
        m_sync.impostaOrologio([] { return Adesso; });
        QObject::connect(&m_sync, &clsSincronizza::Log, [this](const QString &riga) { m_righe << riga.mid(29); });
    }

    void esegui(const QString &archivio, const QString &sql, const QVariantList &valori = {})
    {
        Database db;
        ASSERT_TRUE(db.apri(archivio));
        ASSERT_TRUE(db.esegui(sql, valori)) << db.ultimoErrore().testo().toStdString();
    }

    // One run over one archive; the lines it wrote to the archive log.
    QStringList sincronizza(const QString &archivio, bool atteso = true)
    {
        m_righe.clear();
        EXPECT_EQ(m_sync.Sincronizza(archivio), atteso) << m_righe.join(QLatin1Char('\n')).toStdString();
        return m_righe;
    }

    static int conta(const QStringList &righe, const QString &inizio)
    {
        return int(std::count_if(righe.cbegin(), righe.cend(), [&](const QString &r) { return r.startsWith(inizio); }));
    }

    QList<clsPaziente> pubblica(int quanti, int idDatabase = -1)
    {
        return SyncFixture::pubblica(m_studio, quanti, idDatabase < 0 ? m_idRossi : idDatabase);
    }

    int righeDiario(const QString &archivio, const clsPaziente &p)
    {
        return valore(archivio,
                      QStringLiteral("SELECT count(*) FROM tblDiario d JOIN tblAnagrafica a ON d.IDPaziente=a.ID "
                                     "WHERE a.CodiceFiscale=? AND a.Cognome=?"),
                      {p.CF, p.Cognome})
            .toInt();
    }

    int m_idRossi = 0;
    QString m_studio;
    QString m_casa;
    clsSincronizza m_sync;
    QStringList m_righe;
};

TEST_F(ReteTest, PublishThenDownloadThenNothingMoves)
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
}

TEST_F(ReteTest, ChangeGoesUpAndComesDownMergedNotDuplicated)
{
    const QList<clsPaziente> pubblicati = pubblica(3);
    sincronizza(m_studio);
    sincronizza(m_casa);
    const clsPaziente &x = pubblicati.at(1);
    const int id = x.ID;

    // The host records a new diary entry and an edit, and marks the patient as changed.
    esegui(m_studio,
           QStringLiteral("INSERT INTO tblDiario (GUID, IDPaziente, Data, LastUpdate, LastInsert) VALUES ('{D00D0000-"
                          "0000-0000-0000-000000000001}', ?, '2026-12-05 10:00:00', '2026-12-05 10:00:00', "
                          "'2026-12-05 10:00:00')"),
           {id});
    const QString guidModificato = valore(m_studio,
                                          QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? "
                                                         "ORDER BY ID LIMIT 1"),
                                          {id})
                                       .toString();
    ASSERT_FALSE(guidModificato.isEmpty());
    esegui(m_studio,
           QStringLiteral("UPDATE tblDiario SET ToSend=0, LastUpdate='2026-12-05 11:00:00', ModificatoDa='Rossi' "
                          "WHERE GUID=?"),
           {guidModificato});
    esegui(m_studio, QStringLiteral("UPDATE tblAnagrafica2 SET TagStato=1 WHERE IDPaziente=?"), {id});
    if (valore(m_studio, QStringLiteral("SELECT count(*) FROM tblAnagrafica2 WHERE IDPaziente=?"), {id}).toInt() == 0) {
        esegui(m_studio, QStringLiteral("INSERT INTO tblAnagrafica2 (IDPaziente, TagStato) VALUES (?, 1)"), {id});
    }

    const QStringList su = sincronizza(m_studio);
    EXPECT_EQ(su.filter(QStringLiteral("Invio di ")),
              QStringList{QStringLiteral("Invio di ") + x.Cognome + QLatin1Char(' ') + x.Nome});
    const QStringList giu = sincronizza(m_casa);
    EXPECT_EQ(conta(giu, QStringLiteral("Scarico cartella di ")), 1) << giu.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(righeDiario(m_casa, x), righeDiario(m_studio, x));
    EXPECT_EQ(valore(m_casa, QStringLiteral("SELECT count(*) FROM tblDiario WHERE GUID=?"), {guidModificato}).toInt(),
              1);
    EXPECT_EQ(
        valore(m_casa, QStringLiteral("SELECT LastUpdate FROM tblDiario WHERE GUID=?"), {guidModificato}).toString(),
        QStringLiteral("2026-12-05 11:00:00"));
    // and the downloaded copy does not bounce back
    EXPECT_EQ(conta(sincronizza(m_casa), QStringLiteral("Invio di ")), 0);
}

TEST_F(ReteTest, ColleaguesModificationsAreMergedDeletedAndSentBack)
{
    const QList<clsPaziente> pubblicati = pubblica(2);
    sincronizza(m_studio);
    const clsPaziente &x = pubblicati.at(0);

    QString pacchetto;
    // The colleague's modifications package, built as the plug-in builds it from his copy of the
    // chart: every row of it, the one he changed with ToSend 0.
    const QString guid =
        valore(m_studio, QStringLiteral("SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"), {x.ID})
            .toString();
    ASSERT_FALSE(guid.isEmpty());
    {
        Database copia;
        const QString file = percorso(QStringLiteral("copia.mdb"));
        QFile::copy(m_studio, file);
        ASSERT_TRUE(copia.apri(file));
        ASSERT_TRUE(copia.esegui(QStringLiteral("UPDATE tblDiario SET ToSend=-1 WHERE IDPaziente=?"), {x.ID}));
        ASSERT_TRUE(copia.esegui(QStringLiteral("UPDATE tblDiario SET ToSend=0, Diario='visto dal collega', "
                                                "LastUpdate='2026-12-05 12:00:00' WHERE GUID=?"),
                                 {guid}));
        StatoMotore stato;
        stato.archivio = &copia;
        PacchettoCartella pc(stato);
        ASSERT_TRUE(pc.CaricaListaTabelle(QStringLiteral(LANVERA_CARTELLA_SQL)));
        ASSERT_TRUE(pc.CreaCartella(x.ID, pacchetto)) << stato.messaggioErrore.toStdString();
    }
    AdminConnection admin;
    auto accoda = [&](const QString &titolare, const QString &testo) {
        QSqlQuery q(admin.database());
        q.prepare(QStringLiteral("INSERT INTO quor.tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, Modifiche) "
                                 "VALUES (?, ?, ?, ?)"));
        for (const QVariant &v : {QVariant(x.KeyPaziente), QVariant(CfBianchi), QVariant(titolare), QVariant(testo)}) {
            q.addBindValue(v);
        }
        EXPECT_TRUE(q.exec());
        return q.lastInsertId().toInt();
    };
    const int guasto = accoda(CfRossi, QStringLiteral("non è un pacchetto"));
    const int buono = accoda(CfRossi.toLower(), pacchetto);
    const int altrui = accoda(QStringLiteral("VRDGPP60C10L219K"), pacchetto);

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
    EXPECT_EQ(admin.column(QStringLiteral("SELECT ID FROM quor.tblmodifiche ORDER BY ID")),
              (QStringList{QString::number(guasto), QString::number(altrui)}));
    Q_UNUSED(buono);
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

namespace {

// Package text turned into its database file and back, with a change made in between: what a
// broken or hostile computer could leave on the server.
QString Altera(const QString &testo, const QString &cartella, const std::function<void(Database &)> &cambia)
{
    QByteArray zip;
    EXPECT_EQ(clsBase64().Base64DecoderString(testo, zip), 0);
    QByteArray mdb;
    zip_error_t errore;
    zip_error_init(&errore);
    zip_source_t *sorgente = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &errore);
    zip_t *archivio = zip_open_from_source(sorgente, ZIP_RDONLY, &errore);
    EXPECT_NE(archivio, nullptr);
    zip_stat_t info;
    EXPECT_EQ(zip_stat_index(archivio, 0, 0, &info), 0);
    mdb.resize(qsizetype(info.size));
    zip_file_t *voce = zip_fopen_index(archivio, 0, 0);
    EXPECT_EQ(zip_fread(voce, mdb.data(), info.size), zip_int64_t(info.size));
    zip_fclose(voce);
    zip_discard(archivio);

    const QString file = cartella + QStringLiteral("/Alterato.mdb");
    QFile::remove(file);
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(mdb) == mdb.size());
    f.close();
    {
        Database db;
        EXPECT_TRUE(db.apri(file));
        cambia(db);
    }
    QFile letto(file);
    EXPECT_TRUE(letto.open(QIODevice::ReadOnly));
    mdb = letto.readAll();
    int codice = 0;
    const QString nuovo = cartella + QStringLiteral("/Alterato.zip");
    QFile::remove(nuovo);
    archivio = zip_open(QFile::encodeName(nuovo).constData(), ZIP_CREATE, &codice);
    EXPECT_GE(zip_file_add(archivio, "Cartella.mdb",
                           zip_source_buffer(archivio, mdb.constData(), zip_uint64_t(mdb.size()), 0), 0),
              0);
    EXPECT_EQ(zip_close(archivio), 0);
    QFile z(nuovo);
    EXPECT_TRUE(z.open(QIODevice::ReadOnly));
    QString risultato;
    clsBase64().Base64EncoderString(z.readAll(), risultato);
    return risultato;
}

// Every row of every table, for "nothing here changed".
QString Contenuto(const QString &archivio)
{
    Database db;
    EXPECT_TRUE(db.apri(archivio));
    QString testo;
    for (const QString &t : db.tabelle()) {
        QSqlQuery q(db.connessione());
        q.exec(QStringLiteral("SELECT * FROM [%1] ORDER BY _rowid_").arg(t));
        testo += t + QLatin1Char('\n');
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i) {
                testo += q.value(i).toString() + QLatin1Char('|');
            }
            testo += QLatin1Char('\n');
        }
    }
    return testo;
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
    admin.exec(QStringLiteral("UPDATE quor.tblanagrafica SET IDUpdate='' WHERE IDPaziente='%1'").arg(chiaveX));
    sincronizza(nuova);
    admin.exec(
        QStringLiteral("UPDATE quor.tblanagrafica SET IDUpdate='%1' WHERE IDPaziente='%2'").arg(stampX, chiaveX));
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

    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        // A colleague's changes: refused, the archive as it was, the package left on the server.
        const QString prima = Contenuto(m_studio);
        const int id =
            accodaModifiche(x.KeyPaziente, CfBianchi, CfRossi, Altera(modificheX, percorso({}), c.modifiche));
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
        const QString stamp = CreaGUID();
        admin.exec(QStringLiteral("UPDATE quor_%1.tblcartella SET Cartella='%2' WHERE IDPaziente='%3'")
                       .arg(m_idRossi)
                       .arg(Altera(cartellaX, percorso({}), c.cartella), chiaveX));
        admin.exec(
            QStringLiteral("UPDATE quor.tblanagrafica SET IDUpdate='%1' WHERE IDPaziente='%2'").arg(stamp, chiaveX));
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
        admin.exec(QStringLiteral("UPDATE quor_%1.tblcartella SET Cartella='%2' WHERE IDPaziente='%3'")
                       .arg(m_idRossi)
                       .arg(cartellaX, chiaveX));
        admin.exec(
            QStringLiteral("UPDATE quor.tblanagrafica SET IDUpdate='%1' WHERE IDPaziente='%2'").arg(stampX, chiaveX));
    }
}
