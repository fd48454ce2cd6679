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

const QString kProgramma = QStringLiteral(LANVERA_CLINORA_ARCHIVE);
const QString kModello = QStringLiteral(LANVERA_CLINORA_TEMPLATE);

Esito lancia(const QStringList &argomenti)
{
    QProcess processo;
    processo.start(kProgramma, argomenti);
    if (!processo.waitForFinished(60'000)) {
        ADD_FAILURE() << "clinora-archive did not finish: " << processo.errorString().toStdString();
        return {};
    }
    return {processo.exitStatus() == QProcess::NormalExit ? processo.exitCode() : -1,
            QString::fromUtf8(processo.readAllStandardError())};
}

QStringList schema(const QString &percorso)
{
    Archivio archivio(percorso);
    QStringList istruzioni;
    for (const QVariantList &riga :
         archivio.righe(u"SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY type, name"_s)) {
        istruzioni.append(riga[0].toString());
    }
    return istruzioni;
}

} // namespace

class HostClinoraArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QFile::exists(kProgramma)) << kProgramma.toStdString(); }

    QString percorso(const QString &nome) const { return m_cartella.filePath(nome); }

    QTemporaryDir m_cartella;
};

TEST_F(HostClinoraArchiveTest, CreateMakesTheEmptyArchive)
{
    const Esito esito = lancia({u"create"_s, percorso(u"vuoto.mdb"_s)});
    ASSERT_EQ(esito.codice, 0) << esito.errore.toStdString();
    QString errore;
    ASSERT_TRUE(CreaArchivioVuoto(percorso(u"atteso.mdb"_s), &errore)) << errore.toStdString();
    EXPECT_EQ(schema(percorso(u"vuoto.mdb"_s)), schema(percorso(u"atteso.mdb"_s)));
}

TEST_F(HostClinoraArchiveTest, TemplateBesideTheProgramsIsCurrent)
{
    ASSERT_TRUE(QFile::exists(kModello)) << "the build did not make " << kModello.toStdString();
    QString errore;
    ASSERT_TRUE(CreaArchivioVuoto(percorso(u"atteso.mdb"_s), &errore)) << errore.toStdString();
    EXPECT_EQ(schema(kModello), schema(percorso(u"atteso.mdb"_s)));
}

TEST_F(HostClinoraArchiveTest, NeverOverwritesAFile)
{
    const QString esistente = percorso(u"esistente.mdb"_s);
    {
        QFile file(esistente);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    for (const QStringList &argomenti :
         {QStringList{u"create"_s, esistente},
          QStringList{u"generate"_s, esistente, u"--cf"_s, u"RSSMRA85T10A562S"_s, u"--patients"_s, u"3"_s}}) {
        const Esito esito = lancia(argomenti);
        EXPECT_EQ(esito.codice, 2) << argomenti.join(u' ').toStdString();
        EXPECT_TRUE(esito.errore.contains(esistente)) << esito.errore.toStdString();
    }
    QFile file(esistente);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep"));
}

TEST_F(HostClinoraArchiveTest, BadArgumentsExitWithTwoAndCreateNothing)
{
    const QString nuovo = percorso(u"nuovo.mdb"_s);
    const QString cf = u"RSSMRA85T10A562S"_s;
    const QList<QStringList> casi = {
        {},
        {u"create"_s},
        {u"destroy"_s, nuovo},
        {u"create"_s, nuovo, u"--cf"_s, cf},
        {u"generate"_s, nuovo, u"--patients"_s, u"3"_s},
        {u"generate"_s, nuovo, u"--cf"_s, u"RSSMRA85T10A562"_s, u"--patients"_s, u"3"_s},
        {u"generate"_s, nuovo, u"--cf"_s, cf, u"--patients"_s, u"tre"_s},
        {u"generate"_s, nuovo, u"--cf"_s, cf},
        {u"generate"_s, nuovo, u"--cf"_s, cf, u"--patients"_s, u"3"_s, u"--revoked"_s, u"2"_s},
        {u"generate"_s, nuovo, u"--cf"_s, cf, u"--patients"_s, u"3"_s, u"--today"_s, u"15/05/2024"_s},
        {u"generate"_s, nuovo, u"--cf"_s, cf, u"--patients"_s, u"3"_s, u"--seed"_s, u"-1"_s},
        {u"generate"_s, nuovo, u"--cf"_s, cf, u"--patients"_s, u"3"_s, u"--unknown"_s},
        {u"create"_s, percorso(u"manca/nuovo.mdb"_s)},
    };
    for (const QStringList &argomenti : casi) {
        const Esito esito = lancia(argomenti);
        EXPECT_EQ(esito.codice, 2) << argomenti.join(u' ').toStdString();
        EXPECT_FALSE(esito.errore.trimmed().isEmpty()) << argomenti.join(u' ').toStdString();
    }
    EXPECT_TRUE(QDir(m_cartella.path()).isEmpty());
}

TEST_F(HostClinoraArchiveTest, GenerateIsReproducibleWithAFixedDay)
{
    const QStringList opzioni = {u"--cf"_s, u"rssmra85t10a562s"_s, u"--patients"_s, u"25"_s,     u"--seed"_s,
                                 u"7"_s,    u"--today"_s,          u"2024-01-10"_s, u"--sole"_s, u"--revoked"_s,
                                 u"0.2"_s};
    for (const QString &nome : {u"uno.mdb"_s, u"due.mdb"_s}) {
        const Esito esito = lancia(QStringList{u"generate"_s, percorso(nome)} + opzioni);
        ASSERT_EQ(esito.codice, 0) << esito.errore.toStdString();
    }
    Archivio uno(percorso(u"uno.mdb"_s));
    Archivio due(percorso(u"due.mdb"_s));
    EXPECT_EQ(uno.conta(u"SELECT COUNT(*) FROM tblAnagrafica"_s), 25);
    EXPECT_EQ(uno.valore(u"SELECT CodiceFiscale FROM tblMedico WHERE IDRete = 1"_s).toString(), u"RSSMRA85T10A562S"_s);
    EXPECT_TRUE(uno.esisteTabella(u"SOLE_Versione"_s));
    EXPECT_EQ(uno.conta(u"SELECT COUNT(*) FROM tblRapporti WHERE DataFine <= '2024-01-10 00:00:00'"_s), 5);
    EXPECT_EQ(uno.dump(), due.dump());
}
