#include "Database.h"
#include "Recordset.h"
#include "modArchivio.h"
#include "modArchivioHost.h"
#include "modConflitti.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using lanvera::dao::Database;
using lanvera::dao::Recordset;

namespace {

// The real host with the real plug-in of this build, driven by its script mode.
class ClinoraHostTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString archivio(const QString &nome, const QString &sql = {})
    {
        const QString file = m_dir.filePath(nome);
        QString errore;
        EXPECT_TRUE(lanvera::host::CreaArchivioVuoto(file, &errore)) << errore.toStdString();
        Database db;
        EXPECT_TRUE(db.apri(file));
        for (const QString &s : sql.split(u';', Qt::SkipEmptyParts)) {
            EXPECT_TRUE(db.esegui(s)) << db.ultimoErrore().testo().toStdString();
        }
        return file;
    }

    // The lines the host wrote, and its exit status.
    QStringList esegui(const QStringList &argomenti, const QString &script, int *stato = nullptr)
    {
        QProcess p;
        p.setProgram(qEnvironmentVariable("LANVERA_OUTPUT_DIR") + u"/clinora-host"_s);
        p.setArguments(argomenti + QStringList{u"--script"_s, u"-"_s});
        p.start();
        p.write(script.toUtf8());
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        if (stato) {
            *stato = p.exitCode();
        }
        return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }

    static QVariant valore(const QString &file, const QString &sql)
    {
        Database db;
        EXPECT_TRUE(db.apri(file));
        Recordset rs(db);
        return rs.apri(sql) && !rs.eof() ? rs.valore(rs.campi().first()) : QVariant();
    }

    QTemporaryDir m_dir;
};

TEST_F(ClinoraHostTest, TheHostsCommandsReachThePluginFromVersionsAbove0500)
{
    const QString file = archivio(u"A.mdb"_s);
    const struct
    {
        const char *versione;
        bool attivo;
    } casi[] = {{"05.00.0000", false}, {"04.90.0000", false}, {"05.00.0001", true}, {"05.01.0000", true}};
    for (const auto &c : casi) {
        SCOPED_TRACE(c.versione);
        const QStringList righe = esegui({u"--archivio"_s, file, u"--versione"_s, QString::fromLatin1(c.versione)},
                                         u"comando replicalocale x\ncomando frmlocazione.avanti a 7\n"
                                         "comando Qualunque\n"_s);
        const QString si = c.attivo ? u"true"_s : u"false"_s;
        QStringList attese{u"RISULTATO %1\treplicalocale\t%2"_s.arg(si, c.attivo ? u"true"_s : u"x"_s),
                           u"RISULTATO %1\tfrmlocazione.avanti\ta\t7"_s.arg(si), u"RISULTATO %1\tQualunque"_s.arg(si)};
        if (c.attivo) {
            attese.prepend(u"MESSAGGIO informazione: La funzione di Repliche Locali è incompatibile con la "
                           "Lanvera.\\nPer allineare più postazioni usare la Lanvera facendo clic\\nsul tasto "
                           "Gestione della finestra Ricerca Paziente."_s);
        }
        EXPECT_EQ(righe, attese);
    }
}

TEST_F(ClinoraHostTest, TheStructureCheckBringsAnArchiveToVersionOneOnce)
{
    const struct
    {
        const char *caso;
        QString sql;
        bool crea;
    } casi[] = {
        {"no version table", u"DROP TABLE QUOR_Versione; DROP TABLE QUOR_tblUpdate"_s, true},
        {"version 0", u"DELETE FROM QUOR_Versione; DROP TABLE QUOR_tblUpdate"_s, true},
        {"negative version",
         u"DELETE FROM QUOR_Versione; INSERT INTO QUOR_Versione VALUES (-1); DROP TABLE "
         "QUOR_tblUpdate"_s,
         true},
        {"version 1",
         u"DELETE FROM QUOR_Versione; INSERT INTO QUOR_Versione VALUES (1); DROP TABLE "
         "QUOR_tblUpdate"_s,
         false},
    };
    int n = 0;
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        const QString file = archivio(u"S%1.mdb"_s.arg(++n), c.sql);
        esegui({u"--archivio"_s, file}, {});
        EXPECT_EQ(valore(file, u"SELECT count(*) FROM sqlite_master WHERE name='QUOR_tblUpdate'"_s).toInt(),
                  c.crea ? 1 : 0);
        EXPECT_EQ(valore(file, u"SELECT Max(ID) FROM QUOR_Versione"_s).toInt(), 1);
        EXPECT_EQ(valore(file, u"SELECT count(*) FROM QUOR_Versione"_s).toInt(), 1);
        if (c.crea) {
            EXPECT_EQ(valore(file, u"SELECT Item FROM arcItems WHERE [Key]='QUOR.DataInit'"_s).toString().size(), 14);
            EXPECT_EQ(valore(file, u"SELECT count(*) FROM sqlite_master WHERE type='index' AND "
                                   "tbl_name='QUOR_tblUpdate' AND sql IS NOT NULL"_s)
                          .toInt(),
                      1)
                << "the counter is the key already; IDPaziente gets its index";
            // Opened again, nothing more is made.
            esegui({u"--archivio"_s, file}, {});
            EXPECT_EQ(valore(file, u"SELECT count(*) FROM arcItems WHERE [Key]='QUOR.DataInit'"_s).toInt(), 1);
        }
    }
    // The network chart archive is left as it is, and so is every archive for an old host.
    for (const auto &[nome, versione] :
         {std::pair{u"ClinoraQUOR.mdb"_s, u"05.01.0000"_s}, std::pair{u"Vecchio.mdb"_s, u"05.00.0000"_s}}) {
        const QString file = archivio(nome, u"DROP TABLE QUOR_Versione"_s);
        esegui({u"--archivio"_s, file, u"--versione"_s, versione}, {});
        EXPECT_EQ(valore(file, u"SELECT count(*) FROM sqlite_master WHERE name='QUOR_Versione'"_s).toInt(), 0);
    }
}

TEST_F(ClinoraHostTest, APluginOfAnotherContractVersionIsRefusedByName)
{
    const QString file = archivio(u"A.mdb"_s);
    int stato = -1;
    const QStringList righe =
        esegui({u"--archivio"_s, file, u"--plugin"_s, QStringLiteral(LANVERA_PLUGIN_ALTRA_VERSIONE)},
               u"comando replicalocale x\n"_s, &stato);
    ASSERT_FALSE(righe.isEmpty());
    EXPECT_TRUE(righe.first().startsWith(u"ERRORE Il plug-in "_s)) << righe.first().toStdString();
    EXPECT_TRUE(righe.first().contains(u"è di un'altra versione (it.dorvane.Clinora.PlugIn/0.9)"_s));
    EXPECT_EQ(righe.last(), u"RISULTATO false\treplicalocale\tx"_s) << "the host runs on without it";
    EXPECT_EQ(stato, 0);
}

TEST_F(ClinoraHostTest, ALineTheHostDoesNotKnowEndsTheScript)
{
    int stato = 0;
    const QStringList righe = esegui({u"--archivio"_s, archivio(u"A.mdb"_s)}, u"rispondi forse\n"_s, &stato);
    EXPECT_EQ(stato, 1);
    EXPECT_EQ(righe, QStringList{u"ERRORE riga non valida: rispondi forse"_s});
}

} // namespace

TEST_F(ClinoraHostTest, TheChartWindowShowsThePatientsConflictsFieldByField)
{
    const QString file =
        archivio(u"A.mdb"_s, u"INSERT INTO tblAnagrafica (ID, Cognome, Nome) VALUES (1, 'Neri', 'Ada');"
                             "INSERT INTO tblAnagrafica (ID, Cognome, Nome) VALUES (2, 'Gialli', 'Ugo')"_s);
    const QDateTime quando(QDate(2026, 12, 5), QTime(18, 2, 7));
    const QStringList campi{u"ID"_s, u"Diario"_s, u"LastUpdate"_s, u"Ricetta"_s};
    lanvera::Conflitto diario;
    diario.quando = quando;
    diario.tabella = u"tblDiario"_s;
    diario.guid = lanvera::CreaGUID();
    diario.idPaziente = 1;
    diario.aggiornatoVincente = u"2026-12-05 12:00:00"_s;
    diario.aggiornatoPerdente = u"2026-12-05 11:30:00"_s;
    diario.autoreVincente = u"BNCLCU65B41F205X"_s;
    diario.autorePerdente = u"RSSMRA70A01H501U"_s;
    diario.rigaVincente = lanvera::RigaJson(campi, {5, u"Pressione 130/80"_s, quando.addSecs(-6000), 0});
    // the losing version also holds a column the table no longer has
    diario.rigaPerdente = lanvera::RigaJson(campi + QStringList{u"Nota"_s},
                                            {5, u"Pressione 150/95\nrivedere"_s, quando.addSecs(-7800), 0, u"x"_s});
    lanvera::Conflitto vecchio = diario;
    vecchio.quando = quando.addDays(-1);
    vecchio.tabella = u"tblAllergie"_s;
    vecchio.rigaPerdente = lanvera::RigaJson({u"ID"_s}, {QVariant()});
    vecchio.rigaVincente = lanvera::RigaJson({u"ID"_s}, {QVariant()});
    lanvera::Conflitto altrui = diario;
    altrui.idPaziente = 2;
    {
        Database db;
        ASSERT_TRUE(db.apri(file));
        for (const lanvera::Conflitto &c : {vecchio, diario, altrui}) {
            ASSERT_TRUE(lanvera::RegistraConflitto(db, c)) << db.ultimoErrore().testo().toStdString();
        }
        ASSERT_TRUE(db.esegui(u"DELETE FROM QUOR_Conflitti WHERE IDPaziente=2"_s));
    }
    const QStringList righe =
        esegui({u"--archivio"_s, file}, u"apri-cartella 1\nconflitti\napri-cartella 2\nconflitti\n"_s);
    QStringList mostrate;
    for (const QString &r : righe) {
        if (r.startsWith(u"CONFLITT"_s)) {
            mostrate << r;
        }
    }
    EXPECT_EQ(
        mostrate,
        (QStringList{u"CONFLITTI 2"_s,
                     u"CONFLITTO 05/12/2026 18.02.07\ttblDiario\tBNCLCU65B41F205X\t05/12/2026 12.00.00\t"
                     "RSSMRA70A01H501U\t05/12/2026 11.30.00\tDiario,LastUpdate,Nota\tPressione 150/95\\nrivedere"_s,
                     u"CONFLITTO 04/12/2026 18.02.07\ttblAllergie\tBNCLCU65B41F205X\t05/12/2026 12.00.00\t"
                     "RSSMRA70A01H501U\t05/12/2026 11.30.00\t\t"_s,
                     u"CONFLITTI 0 nascosti"_s}))
        << righe.join(u'\n').toStdString();
}
