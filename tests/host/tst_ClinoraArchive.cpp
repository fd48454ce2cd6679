#include "ArchivioTest.h"
#include "modArchivioHost.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace lanvera::host;
using lanvera::host::test::Archivio;

namespace {

struct Esito
{
    int codice = -1;
    QString errore;
};

Esito lancia(const QStringList &argomenti)
{
    QProcess processo;
    processo.start(QStringLiteral(LANVERA_CLINORA_ARCHIVE), argomenti);
    if (!processo.waitForFinished(60'000)) {
        ADD_FAILURE() << "clinora-archive did not finish: " << processo.errorString().toStdString();
        return {};
    }
    return {processo.exitStatus() == QProcess::NormalExit ? processo.exitCode() : -1,
            QString::fromUtf8(processo.readAllStandardError())};
}

QStringList schema(const QString &percorso)
{
    return Archivio(percorso).righe(u"SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY type, name"_s);
}

} // namespace

class HostClinoraArchiveTest : public ::testing::Test
{
protected:
    QString percorso(const QString &nome) const { return m_cartella.filePath(nome); }

    QTemporaryDir m_cartella;
};

TEST_F(HostClinoraArchiveTest, CreateAndTheShippedTemplateHoldTheCurrentSchema)
{
    const Esito esito = lancia({u"create"_s, percorso(u"vuoto.mdb"_s)});
    ASSERT_EQ(esito.codice, 0) << esito.errore.toStdString();
    QString errore;
    ASSERT_TRUE(CreaArchivioVuoto(percorso(u"atteso.mdb"_s), &errore)) << errore.toStdString();
    const QStringList atteso = schema(percorso(u"atteso.mdb"_s));
    EXPECT_EQ(schema(percorso(u"vuoto.mdb"_s)), atteso);
    ASSERT_TRUE(QFile::exists(QStringLiteral(LANVERA_CLINORA_TEMPLATE)));
    EXPECT_EQ(schema(QStringLiteral(LANVERA_CLINORA_TEMPLATE)), atteso);
}

// Exit status 2 with a reason, and the folder left as it was: an existing file is never overwritten.
TEST_F(HostClinoraArchiveTest, RefusesBadArgumentsAndExistingFiles)
{
    const QString esistente = percorso(u"esistente.mdb"_s);
    {
        QFile file(esistente);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    const QString nuovo = percorso(u"nuovo.mdb"_s);
    const QStringList generate = {u"generate"_s, nuovo, u"--cf"_s, u"RSSMRA85T10A562S"_s, u"--patients"_s, u"3"_s};
    QStringList sovrascrive = generate;
    sovrascrive[1] = esistente;
    const QList<QStringList> casi = {
        {},
        {u"destroy"_s, nuovo},
        {u"create"_s, esistente},
        sovrascrive,
        {u"create"_s, nuovo, u"--cf"_s, u"RSSMRA85T10A562S"_s},
        {u"create"_s, percorso(u"manca/nuovo.mdb"_s)},
        generate.mid(0, 4),
        {u"generate"_s, nuovo, u"--cf"_s, u"RSSMRA85T10A562"_s, u"--patients"_s, u"3"_s},
        {u"generate"_s, nuovo, u"--cf"_s, u"RSSMRA85T10A562S"_s, u"--patients"_s, u"tre"_s},
        generate + QStringList{u"--revoked"_s, u"2"_s},
        generate + QStringList{u"--today"_s, u"15/05/2024"_s},
    };
    for (const QStringList &argomenti : casi) {
        const Esito esito = lancia(argomenti);
        EXPECT_EQ(esito.codice, 2) << argomenti.join(u' ').toStdString();
        EXPECT_FALSE(esito.errore.trimmed().isEmpty()) << argomenti.join(u' ').toStdString();
    }
    EXPECT_EQ(QDir(m_cartella.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{u"esistente.mdb"_s});
    QFile file(esistente);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep"));
}

TEST_F(HostClinoraArchiveTest, GenerateHonoursItsOptionsAndIsReproducible)
{
    const QStringList opzioni = {u"--cf"_s, u"rssmra85t10a562s"_s, u"--patients"_s, u"25"_s,     u"--seed"_s,
                                 u"7"_s,    u"--today"_s,          u"2024-01-10"_s, u"--sole"_s, u"--revoked"_s,
                                 u"0.2"_s};
    for (const QString &nome : {u"uno.mdb"_s, u"due.mdb"_s}) {
        const Esito esito = lancia(QStringList{u"generate"_s, percorso(nome)} + opzioni);
        ASSERT_EQ(esito.codice, 0) << esito.errore.toStdString();
    }
    Archivio uno(percorso(u"uno.mdb"_s));
    EXPECT_EQ(uno.conta(u"SELECT COUNT(*) FROM tblAnagrafica"_s), 25);
    EXPECT_EQ(uno.righe(u"SELECT CodiceFiscale FROM tblMedico WHERE IDRete = 1"_s), QStringList{u"RSSMRA85T10A562S"_s});
    EXPECT_TRUE(uno.esisteTabella(u"SOLE_Versione"_s));
    EXPECT_EQ(uno.conta(u"SELECT COUNT(*) FROM tblRapporti WHERE DataFine <= '2024-01-10 00:00:00'"_s), 5);
    EXPECT_EQ(uno.dump(), Archivio(percorso(u"due.mdb"_s)).dump());
}
