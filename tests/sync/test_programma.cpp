#include "Recordset.h"
#include "SyncFixture.h"
#include "modEsitiSync.h"
#include "modIni.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>

#include <csignal>
#include <functional>
#include <sys/stat.h>

using namespace lanvera;
using lanvera::dao::Database;

namespace {

using ProgrammaTest = lanvera::test::ProgrammaFixture;

TEST_F(ProgrammaTest, FirstRunPreparesItsFilesAndLogsTheRun)
{
    EXPECT_EQ(avvia(), 0);
    EXPECT_TRUE(QFile::exists(m_dati + QStringLiteral("/Quor.mdb")));
    EXPECT_TRUE(QFile::exists(m_dati + QStringLiteral("/System.Mdw")));
    EXPECT_EQ(logSync(), (QStringList{QStringLiteral("Avvio sincronizzazione"), QString(22, QLatin1Char('-')),
                                      QStringLiteral("Connessione al server"), QStringLiteral("Operazione terminata"),
                                      QString()}));
    Database lista;
    ASSERT_TRUE(lista.apri(m_dati + QStringLiteral("/Quor.mdb")));
    EXPECT_TRUE(lista.esisteTabella(QStringLiteral("tblFile")));
}

TEST_F(ProgrammaTest, ListedArchivesAreSynchronisedHeadless)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    const QString archivio = generaArchivio(QStringLiteral("Rossi.mdb"), 5);
    avvia(); // creates the list
    {
        Database lista;
        ASSERT_TRUE(lista.apri(m_dati + QStringLiteral("/Quor.mdb")));
        ASSERT_TRUE(lista.esegui(QStringLiteral("INSERT INTO tblFile (File, Descrizione) VALUES (?, 'Rossi Mario')"),
                                 {archivio}));
    }
    QFile::remove(m_dati + QStringLiteral("/Quor.log"));
    EXPECT_EQ(avvia(), 0);
    EXPECT_EQ(logSync(),
              (QStringList{QStringLiteral("Avvio sincronizzazione"), QString(22, QLatin1Char('-')),
                           QStringLiteral("Connessione al server"), QStringLiteral("Sincronizzo Rossi Mario"),
                           QStringLiteral("Operazione completata con successo"), QStringLiteral("Operazione terminata"),
                           QString()}));
    // the engine's lines also reach standard output, for cron and the demo
    EXPECT_TRUE(m_uscita.contains(QStringLiteral("Operazione conclusa")));
}

TEST_F(ProgrammaTest, CommandLineWithBlanksIsOnePath)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    // as the plug-in starts it: the path unquoted, so it arrives split into words
    const QString semplice = generaArchivio(QStringLiteral("Studio Rossi.mdb"), 3);
    QFile::remove(m_dati + QStringLiteral("/Quor.log"));
    EXPECT_EQ(avvia(semplice.split(QLatin1Char(' '))), 0);
    EXPECT_EQ(logSync().mid(3, 1), QStringList{QStringLiteral("Operazione completata con successo")});
    EXPECT_TRUE(QFile::exists(percorso(QStringLiteral("Lanvera.log"))));
}

TEST_F(ProgrammaTest, MissingHostIsLoggedAndNothingIsTouched)
{
    ASSERT_TRUE(ScriviIniFile(m_ini, QStringLiteral("Setup"), QStringLiteral("Host"), QString()));
    const QString archivio = generaArchivio(QStringLiteral("Rossi.mdb"), 3);
    const QByteArray prima = impronta(archivio);
    EXPECT_EQ(avvia({archivio}), 1) << "no server: a failure for the scheduler";
    EXPECT_EQ(logSync(),
              (QStringList{QStringLiteral("Avvio sincronizzazione"), QString(22, QLatin1Char('-')),
                           QStringLiteral("Connessione al server"), QStringLiteral("Manca l'indirizzo dell'Host"),
                           QStringLiteral("Operazione terminata"), QString()}));
    EXPECT_EQ(impronta(archivio), prima);
    EXPECT_FALSE(QFile::exists(percorso(QStringLiteral("Lanvera.log"))));
}

TEST_F(ProgrammaTest, SecondInstanceEndsAtOnceSilently)
{
    QDir().mkpath(m_dati);
    QLockFile prima(m_dati + QStringLiteral("/Sync.lock"));
    ASSERT_TRUE(prima.tryLock(0));
    QElapsedTimer tempo;
    tempo.start();
    EXPECT_EQ(avvia(), 0);
    EXPECT_LT(tempo.elapsed(), 10000);
    EXPECT_FALSE(QFile::exists(m_dati + QStringLiteral("/Quor.log")));
    prima.unlock();
    EXPECT_EQ(avvia(), 0);
    EXPECT_TRUE(QFile::exists(m_dati + QStringLiteral("/Quor.log")));
}

TEST_F(ProgrammaTest, UnreadableListEndsTheRunWithItsError)
{
    QDir().mkpath(m_dati);
    {
        QFile f(m_dati + QStringLiteral("/Quor.mdb"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("rovinato");
    }
    EXPECT_EQ(avvia(), 1);
    const QStringList log = logSync();
    ASSERT_EQ(log.size(), 5);
    EXPECT_TRUE(log.at(2).startsWith(QStringLiteral("Errore: 26 ")));
    EXPECT_EQ(log.at(3), QStringLiteral("Operazione terminata"));
}

TEST_F(ProgrammaTest, EachArchiveOutcomeIsKeptAndAnyFailureExitsOne)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    const QString buono = generaArchivio(QStringLiteral("Rossi.mdb"), 3);
    const QString mancante = percorso(QStringLiteral("Sparito/Archivio.mdb"));
    QDir().mkpath(percorso(QStringLiteral("Verdi")));
    const QString rifiutato =
        generaArchivio(QStringLiteral("Verdi/Archivio.mdb"), 3, CfRossi, QStringLiteral("{AES}sbagliata"));
    EXPECT_EQ(avvia(), 0) << "an empty list is no failure";
    Database lista;
    ASSERT_TRUE(lista.apri(m_dati + QStringLiteral("/Quor.mdb")));
    ASSERT_TRUE(lista.esegui(QStringLiteral("INSERT INTO tblFile (ID, File, Descrizione) VALUES (1, ?, 'A'), (2, ?, "
                                            "'B'), (3, ?, 'C')"),
                             {buono, mancante, rifiutato}));
    const QDateTime prima = QDateTime::currentDateTime().addSecs(-1);

    EXPECT_EQ(avvia(), 1);
    QHash<qint32, StatoArchivio> stati = LeggiStatiArchivi(lista);
    ASSERT_EQ(stati.size(), 3);
    const EsitoSync a = stati.value(1).ultimo;
    EXPECT_EQ(a.esito, QStringLiteral("Operazione conclusa"));
    EXPECT_TRUE(a.riuscito);
    EXPECT_EQ(a.file, buono);
    EXPECT_TRUE(prima <= a.inizio && a.inizio <= a.fine && a.fine <= QDateTime::currentDateTime());
    EXPECT_EQ(stati.value(1).ultimoSuccesso, a.fine);
    const struct
    {
        qint32 id;
        QString inizioEsito;
    } falliti[] = {{2, QStringLiteral("Apertura archivio: Errore 3024 ")}, {3, QStringLiteral("Password non valida")}};
    for (const auto &f : falliti) {
        const StatoArchivio s = stati.value(f.id);
        EXPECT_TRUE(s.ultimo.esito.startsWith(f.inizioEsito)) << s.ultimo.esito.toStdString();
        EXPECT_FALSE(s.ultimo.riuscito);
        EXPECT_GE(s.ultimo.errori, 1);
        EXPECT_FALSE(s.ultimoSuccesso.isValid());
    }

    // All good, the plug-in's run of a listed archive counting for its row.
    ASSERT_TRUE(lista.esegui(QStringLiteral("DELETE FROM tblFile WHERE ID<>1")));
    EXPECT_EQ(avvia(), 0);
    EXPECT_EQ(avvia({buono}), 0);
    auto righe = [&lista](qint32 id) {
        return SyncFixture::valore(lista.percorso(), QStringLiteral("SELECT count(*) FROM tblEsitiSync WHERE IDFile=?"),
                                   {id})
            .toInt();
    };
    EXPECT_EQ(righe(1), 3);

    // A list that refuses the outcome costs the record, never the run.
    ASSERT_TRUE(lista.esegui(QStringLiteral("CREATE TRIGGER rifiuta BEFORE INSERT ON tblEsitiSync BEGIN SELECT "
                                            "RAISE(ABORT, 'rifiutato'); END")));
    QFile::remove(m_dati + QStringLiteral("/Quor.log"));
    EXPECT_EQ(avvia(), 0);
    EXPECT_EQ(logSync().mid(3, 3),
              (QStringList{QStringLiteral("Sincronizzo A"), QStringLiteral("Operazione completata con successo"),
                           QStringLiteral("Esito della sincronizzazione non registrato: Errore 19 rifiutato")}));
    EXPECT_EQ(righe(1), 3);
}

// The list of archives as a stopped or older program may leave it; Rossi's archive to list.
class ListaTest : public ProgrammaTest
{
protected:
    void SetUp() override
    {
        ProgrammaTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
        m_archivio = generaArchivio(QStringLiteral("Rossi.mdb"), 3);
        m_lista = m_dati + QStringLiteral("/Quor.mdb");
    }

    void verificaListaInUso()
    {
        {
            Database lista;
            ASSERT_TRUE(lista.apri(m_lista)) << lista.ultimoErrore().testo().toStdString();
            EXPECT_EQ(lista.campi(QStringLiteral("tblFile")),
                      (QStringList{QStringLiteral("ID"), QStringLiteral("File"), QStringLiteral("Descrizione")}));
            ASSERT_TRUE(lista.esegui(
                QStringLiteral("INSERT INTO tblFile (File, Descrizione) VALUES (?, 'Rossi Mario')"), {m_archivio}));
        }
        QFile::remove(m_dati + QStringLiteral("/Quor.log"));
        EXPECT_EQ(avvia(), 0);
        EXPECT_EQ(logSync().mid(3, 2), (QStringList{QStringLiteral("Sincronizzo Rossi Mario"),
                                                    QStringLiteral("Operazione completata con successo")}));
        EXPECT_TRUE(QDir(m_dati).entryList({QStringLiteral("Quor.mdb?*")}, QDir::Files).isEmpty())
            << "no file beside the list";
    }

    QString m_archivio;
    QString m_lista;
};

TEST_F(ListaTest, FirstStartKilledNeverLeavesAHalfMadeList)
{
    QProcess p;
    p.setProcessEnvironment(ambiente());
    p.start(m_programmi + QStringLiteral("/Sync"));
    ASSERT_TRUE(p.waitForStarted());
    // Killed the instant the list shows in the folder.
    const QByteArray nome = QFile::encodeName(m_lista);
    QElapsedTimer tempo;
    tempo.start();
    struct stat st
    {};
    bool apparsa = false;
    while (!(apparsa = ::stat(nome.constData(), &st) == 0) && tempo.elapsed() < 30000) {
    }
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished();
    ASSERT_TRUE(apparsa);
    {
        Database lista;
        ASSERT_GT(QFileInfo(m_lista).size(), 0);
        ASSERT_TRUE(lista.apri(m_lista)) << lista.ultimoErrore().testo().toStdString();
        EXPECT_TRUE(lista.esisteTabella(QStringLiteral("tblFile")));
    }
    verificaListaInUso();
}

TEST_F(ListaTest, ListWithoutItsTableIsRepairedAtStart)
{
    const struct
    {
        const char *caso;
        std::function<void(const QString &)> prepara;
        QStringList tabelle;
    } casi[] = {
        {"empty file",
         [](const QString &file) {
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         },
         {QStringLiteral("tblEsitiSync"), QStringLiteral("tblFile")}},
        {"database without tblFile",
         [](const QString &file) {
             Database db;
             ASSERT_TRUE(db.crea(file));
             ASSERT_TRUE(db.esegui(QStringLiteral("CREATE TABLE Altro (Valore TEXT)")));
         },
         {QStringLiteral("Altro"), QStringLiteral("tblEsitiSync"), QStringLiteral("tblFile")}},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        ASSERT_TRUE(QDir(m_dati).removeRecursively() && QDir().mkpath(m_dati));
        c.prepara(m_lista);
        EXPECT_EQ(avvia(), 0);
        EXPECT_EQ(logSync().mid(2), (QStringList{QStringLiteral("Connessione al server"),
                                                 QStringLiteral("Operazione terminata"), QString()}));
        {
            Database lista;
            ASSERT_TRUE(lista.apri(m_lista));
            EXPECT_EQ(lista.tabelle(), c.tabelle);
        }
        verificaListaInUso();
    }
}

TEST_F(ListaTest, ListThatCannotBeReadSaysSoInTheRunLog)
{
    QDir().mkpath(m_dati);
    {
        Database lista;
        ASSERT_TRUE(lista.crea(m_lista));
        ASSERT_TRUE(
            lista.esegui(QStringLiteral("CREATE TABLE tblFile(ID INTEGER PRIMARY KEY AUTOINCREMENT, File TEXT)")));
    }
    EXPECT_EQ(avvia(), 1);
    const QStringList log = messaggi(m_dati + QStringLiteral("/Quor.log"), 0);
    ASSERT_EQ(log.size(), 6) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log.at(3).startsWith(QStringLiteral("ERR ")));
    EXPECT_TRUE(log.at(3).mid(24).startsWith(QStringLiteral("Errore: 1 "))) << log.at(3).toStdString();
    EXPECT_TRUE(log.at(3).contains(QStringLiteral("Descrizione")));
    EXPECT_EQ(log.at(4).mid(24), QStringLiteral("Operazione terminata"));
}

} // namespace
