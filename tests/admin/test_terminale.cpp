#include "ComandiTerminale.h"
#include "OrdanoTest.h"
#include "frmEditUtente.h"
#include "modEsitiSync.h"
#include "modIni.h"

#include <QProcess>
#include <QTextStream>

using namespace lanvera;
using namespace lanvera::test;

namespace {

class TerminaleTest : public OrdanoTest
{
protected:
    int esegui(const QStringList &argomenti)
    {
        m_uscita.clear();
        m_errori.clear();
        QTextStream uscita(&m_uscita);
        QTextStream errori(&m_errori);
        return ComandiTerminale::Esegui(argomenti, uscita, errori);
    }

    QString m_uscita;
    QString m_errori;
};

// The checks in their order, first failing one wins: the form and the terminal say the same.
TEST_F(TerminaleTest, FormAndTerminalCheckInTheSameOrder)
{
    const QString esiste = archivio(QStringLiteral("Rossi.mdb"));
    const QString descrizione = QStringLiteral("Specificare una descrizione (di solito il nome del medico)");
    const struct
    {
        QString descrizione;
        QString file;
        QString messaggio;
    } casi[] = {
        {QString(), QString(), descrizione},
        {QStringLiteral("   "), esiste, descrizione},
        {QStringLiteral("Rossi"), QStringLiteral("  "),
         QStringLiteral("Specificare il percorso e il nome dell'archivio del medico")},
        {QStringLiteral("Rossi"), m_dir.filePath(QStringLiteral("manca.mdb")),
         QStringLiteral("Il file specificato non esiste")},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.messaggio.toStdString());
        m_prompt.domande.clear();
        frmEditUtente e(m_lista, m_prompt, 0);
        e.Campo(0)->setText(c.descrizione);
        e.Campo(1)->setText(c.file);
        e.Salva();
        EXPECT_EQ(m_prompt.domande, QStringList{QStringLiteral("Ordano ! ") + c.messaggio});
        EXPECT_TRUE(e.DialogoAnnullato());

        EXPECT_EQ(esegui({QStringLiteral("--aggiungi"), c.descrizione, c.file}), 1);
        EXPECT_EQ(m_errori, c.messaggio + QLatin1Char('\n'));
    }
    QList<modOrdano::Archivio> righe;
    ASSERT_TRUE(modOrdano::LeggiArchivi(m_lista, righe));
    EXPECT_TRUE(righe.isEmpty());
}

TEST_F(TerminaleTest, RefusalsAndBadArguments)
{
    const QString esiste = archivio(QStringLiteral("Rossi.mdb"));
    const QString assente = QStringLiteral("Nessun archivio con ID 7 nella lista\n");
    const struct
    {
        QStringList argomenti;
        int stato;
        QString errori;
    } casi[] = {
        {{QStringLiteral("--modifica"), QStringLiteral("7"), QStringLiteral("Rossi"), esiste}, 1, assente},
        {{QStringLiteral("--rimuovi"), QStringLiteral("7")}, 1, assente},
        {{QStringLiteral("--sincronizza")}, 1, modOrdano::MessaggioSyncMancante() + QLatin1Char('\n')},
        {{QStringLiteral("--rimuovi"), QStringLiteral("0")}, 2, QStringLiteral("ID non valido: 0\n")},
        {{QStringLiteral("--aggiungi"), QStringLiteral("Rossi")}, 2, ComandiTerminale::Uso()},
        {{QStringLiteral("--cancella")}, 2, ComandiTerminale::Uso()},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.argomenti.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(esegui(c.argomenti), c.stato);
        EXPECT_EQ(m_errori, c.errori);
        EXPECT_TRUE(m_uscita.isEmpty());
    }
}

TEST_F(TerminaleTest, ListIsEditedAndShownWithItsLastRuns)
{
    const QString rossi = archivio(QStringLiteral("Rossi.mdb"));
    const QString bianchi = archivio(QStringLiteral("Bianchi.mdb"));
    ASSERT_EQ(esegui({QStringLiteral("--aggiungi"), QStringLiteral("Rossi"), rossi}), 0);
    const QString idRossi = m_uscita.trimmed();
    ASSERT_EQ(esegui({QStringLiteral("--aggiungi"), QStringLiteral("Verdi"), bianchi}), 0);
    const QString idVerdi = m_uscita.trimmed();
    ASSERT_EQ(esegui({QStringLiteral("--modifica"), idVerdi, QStringLiteral("Bianchi Lucia"), bianchi}), 0);
    EXPECT_EQ(m_uscita.trimmed(), idVerdi);

    EsitoSync e;
    e.idFile = idRossi.toInt();
    e.file = rossi;
    e.fine = QDateTime(QDate(2026, 12, 5), QTime(18, 2, 7));
    e.inizio = e.fine.addSecs(-30);
    e.esito = QStringLiteral("Operazione conclusa");
    e.riuscito = true;
    ASSERT_TRUE(RegistraEsito(m_lista, e));

    ASSERT_EQ(esegui({QStringLiteral("--elenco")}), 0);
    EXPECT_EQ(m_uscita, idVerdi + QStringLiteral("\tBianchi Lucia\t") + bianchi +
                            QStringLiteral("\tmai sincronizzato\t\n") + idRossi + QStringLiteral("\tRossi\t") + rossi +
                            QStringLiteral("\t05/12/2026 18.02.07\tOperazione conclusa\n"));
    EXPECT_EQ(m_errori, QStringLiteral("2 archivi da sincronizzare\n"));

    ASSERT_EQ(esegui({QStringLiteral("--rimuovi"), idVerdi}), 0);
    ASSERT_EQ(esegui({QStringLiteral("--elenco")}), 0);
    EXPECT_EQ(m_errori, QStringLiteral("1 archivio da sincronizzare\n"));

    ASSERT_EQ(esegui({QStringLiteral("--server"), QStringLiteral("db.studio")}), 0);
    EXPECT_EQ(m_errori, QStringLiteral("Server: db.studio\n"));
    ASSERT_EQ(esegui({QStringLiteral("--server"), QString()}), 0);
    EXPECT_EQ(m_errori, QStringLiteral("Server: Non specificato\n"));
}

// The program itself, without a display: terminal commands need none.
TEST_F(TerminaleTest, ProgramRunsHeadless)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(v));
    }
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("altri")));
    const QString ordano = qEnvironmentVariable("LANVERA_OUTPUT_DIR") + QStringLiteral("/Ordano");
    const struct
    {
        QStringList argomenti;
        int stato;
        bool usoSuUscita;
        bool usoSuErrori;
    } casi[] = {
        {{QStringLiteral("--help")}, 0, true, false},
        {{QStringLiteral("--elenco")}, 0, false, false},
        {{QStringLiteral("-x")}, 2, false, true},
        {{}, 1, false, false}, // the window needs a display: a message, not a crash
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.argomenti.join(QLatin1Char(' ')).toStdString());
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(ordano, c.argomenti);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.stato);
        const QString uscita = QString::fromUtf8(p.readAllStandardOutput());
        const QString errori = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(uscita.startsWith(QStringLiteral("Uso: Ordano")), c.usoSuUscita);
        EXPECT_EQ(errori.startsWith(QStringLiteral("Uso: Ordano")), c.usoSuErrori);
    }
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("altri/Dorvane/Quor/Quor.mdb"))));
}

} // namespace
