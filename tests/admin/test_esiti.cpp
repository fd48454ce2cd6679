#include "OrdanoTest.h"
#include "SyncFixture.h"

#include <QProcess>

using namespace lanvera;
using namespace lanvera::test;

namespace {

// Ordano and Sync copied together into a program folder, run from a terminal without a display.
class OrdanoSyncTest : public ProgrammaFixture
{
protected:
    void SetUp() override
    {
        ProgrammaFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("LANVERA_OUTPUT_DIR") + QStringLiteral("/Ordano"),
                                m_programmi + QStringLiteral("/Ordano")));
    }

    int ordano(const QStringList &argomenti)
    {
        QProcess p;
        p.setProcessEnvironment(ambiente());
        p.start(m_programmi + QStringLiteral("/Ordano"), argomenti);
        EXPECT_TRUE(p.waitForFinished(120000));
        m_uscita = QString::fromUtf8(p.readAllStandardOutput());
        m_errori = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }

    QString aggiungi(const QString &descrizione, const QString &file)
    {
        EXPECT_EQ(ordano({QStringLiteral("--aggiungi"), descrizione, file}), 0) << m_errori.toStdString();
        return m_uscita.trimmed();
    }

    QString m_errori;
};

TEST_F(OrdanoSyncTest, EveryArchiveOutcomeShowsInTheListAndTheExitStatus)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    registraMedico(CfBianchi, QStringLiteral("Bianchi"), QStringLiteral("Lucia"), QStringLiteral("{AES}giusta"), 1, 2);
    const QString buono = aggiungi(QStringLiteral("A Rossi"), generaArchivio(QStringLiteral("Rossi.mdb"), 3));
    const QString rifiutato =
        aggiungi(QStringLiteral("B Bianchi"),
                 generaArchivio(QStringLiteral("Bianchi.mdb"), 3, CfBianchi, QStringLiteral("{AES}sbagliata")));
    const QString sparito = archivioVuoto(QStringLiteral("Verdi.mdb"));
    const QString mancante = aggiungi(QStringLiteral("C Verdi"), sparito);
    ASSERT_TRUE(QFile::remove(sparito));

    EXPECT_EQ(ordano({QStringLiteral("--sincronizza")}), 1);
    ASSERT_EQ(ordano({QStringLiteral("--elenco")}), 0);
    const QStringList righe = m_uscita.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(righe.size(), 3) << m_uscita.toStdString();

    dao::Database lista;
    ASSERT_TRUE(lista.apri(m_dati + QStringLiteral("/Quor.mdb")));
    PromptCopione prompt;
    frmGestioneUtenti finestra(lista, prompt);
    const struct
    {
        QString id;
        bool riuscito;
    } attesi[] = {{buono, true}, {rifiutato, false}, {mancante, false}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(righe.at(i).toStdString());
        const QStringList campi = righe.at(i).split(QLatin1Char('\t'));
        ASSERT_EQ(campi.size(), 5);
        EXPECT_EQ(campi.at(0), attesi[i].id);
        EXPECT_NE(campi.at(3), QStringLiteral("mai sincronizzato"));
        EXPECT_FALSE(campi.at(4).isEmpty());
        EXPECT_EQ(campi.at(4) == QStringLiteral("Operazione conclusa"), attesi[i].riuscito);
        // The window shows the same, and the failed archives stand out.
        const QTreeWidgetItem *riga = finestra.Riga(attesi[i].id.toInt());
        ASSERT_NE(riga, nullptr);
        EXPECT_EQ(riga->text(frmGestioneUtenti::ColFine), campi.at(3));
        EXPECT_EQ(riga->text(frmGestioneUtenti::ColEsito), campi.at(4));
        EXPECT_EQ(frmGestioneUtenti::RigaSegnalata(riga), !attesi[i].riuscito);
    }

    ASSERT_EQ(ordano({QStringLiteral("--rimuovi"), rifiutato}), 0);
    ASSERT_EQ(ordano({QStringLiteral("--rimuovi"), mancante}), 0);
    EXPECT_EQ(ordano({QStringLiteral("--sincronizza")}), 0) << m_errori.toStdString();
}

} // namespace
