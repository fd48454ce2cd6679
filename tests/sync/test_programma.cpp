#include "Recordset.h"
#include "SyncFixture.h"
#include "modIni.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>

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
    EXPECT_EQ(avvia({archivio}), 0);
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
    EXPECT_EQ(avvia(), 0);
    const QStringList log = logSync();
    ASSERT_EQ(log.size(), 5);
    EXPECT_TRUE(log.at(2).startsWith(QStringLiteral("Errore: 26 ")));
    EXPECT_EQ(log.at(3), QStringLiteral("Operazione terminata"));
}

} // namespace
