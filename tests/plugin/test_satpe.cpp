#include "ConnessioneServer.h"
#include "PlugIn.h"
#include "ServerTest.h"
#include "modCartelle.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// Only the archive's tables matter to the SATPE check.
class ArchivioTest : public clinora::ClsDB
{
public:
    explicit ArchivioTest(bool sole) : m_db(QSqlDatabase::addDatabase(u"QSQLITE"_s, u"satpe"_s))
    {
        m_db.setDatabaseName(u":memory:"_s);
        m_db.open();
        if (sole) {
            QSqlQuery(m_db).exec(u"CREATE TABLE SOLE_Versione (ID INTEGER)"_s);
        }
    }
    ~ArchivioTest() override
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"satpe"_s);
    }
    QString Name() const override { return u"Clinora.mdb"_s; }
    QSqlDatabase DB() const override { return m_db; }
    std::unique_ptr<clinora::Record> OpenRecordset(const QString &, int) override { return nullptr; }
    bool Execute(const QString &) override { return false; }
    bool ExecuteTrans(const QString &) override { return false; }
    std::unique_ptr<clinora::Record> OpenRecord(const QString &, const QString &) override { return nullptr; }
    bool Update(clinora::Record &) override { return false; }
    QString UltimoErrore() const override { return {}; }

private:
    QSqlDatabase m_db;
};

QByteArray Leggi(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<assente>");
}

class SatpeTest : public lanvera::test::ServerTest
{};

TEST_F(SatpeTest, TheOwnersDataStandInWhileHisChartIsOpenAndTheDoctorsComeBack)
{
    QTemporaryDir dir;
    const QString servizi = dir.filePath(u"Common/Plugins/plgMerid/Servizi"_s);
    ASSERT_TRUE(QDir().mkpath(servizi));
    const QString satpe = servizi + u"/SATPE_1.xml"_s;
    for (const QString &f : QStringList{servizi + u"/SATPE_2.xml"_s, satpe}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("mio");
    }
    lanvera::test::AdminConnection admin;
    ASSERT_TRUE(admin.exec(u"INSERT INTO quor.tblmedici (CF, Cognome, Nome, IDGruppo, Progressivo, CodiceRegionale, "
                           "ASLCompleto) VALUES ('BNCLCU65B41F205X', 'Bianchi', 'Lucia', 1, 2, 'R77', 'ASL-120')"_s));
    lanvera::ImpostazioniServer s;
    s.host = lanvera::test::TestServer::host();
    s.porta = QString::number(lanvera::test::TestServer::port());
    lanvera::ConnessioneServer server;
    ASSERT_TRUE(server.connetti(s, false));

    for (const bool sole : {false, true}) {
        ArchivioTest archivio(sole);
        PlugIn plugin;
        lanvera::ImpostaCartellaProgramma(qEnvironmentVariable("LANVERA_OUTPUT_DIR"));
        QVariantHash v{{u"clsDB"_s, QVariant::fromValue<clinora::ClsDB *>(&archivio)},
                       {u"CommonDisk"_s, dir.filePath(u"Common"_s)},
                       {u"UserDisk"_s, dir.filePath(u"User"_s)},
                       {u"Disk"_s, dir.path()},
                       {u"Versione"_s, u"05.01.0000"_s}};
        plugin.InitVariables(v);
        ASSERT_TRUE(plugin.AutoDiagnosi());
        EXPECT_EQ(plugin.VerificaSatpe(), sole);
        plugin.ImpostaSatpe(u"BNCLCU65B41F205X"_s, server);
        if (!sole) {
            EXPECT_EQ(Leggi(satpe), "mio") << "an archive outside SOLE leaves the file alone";
            continue;
        }
        const QByteArray titolare = Leggi(satpe);
        for (const char *atteso :
             {"<Cognome>Bianchi</Cognome>", "<Nome>Lucia</Nome>", "<Codice_Fiscale>BNCLCU65B41F205X</Codice_Fiscale>",
              "<Codice_ASL_Completo>ASL-120</Codice_ASL_Completo>", "<Codice_Regionale>R77</Codice_Regionale>"}) {
            EXPECT_TRUE(titolare.contains(atteso)) << atteso;
        }
        EXPECT_EQ(Leggi(satpe + u".org"_s), "mio");
        plugin.ImpostaSatpe(u"BNCLCU65B41F205X"_s, server);
        EXPECT_EQ(Leggi(satpe + u".org"_s), "mio") << "the doctor's own copy is kept once";
        plugin.RipristinaSatpe();
        EXPECT_EQ(Leggi(satpe), "mio");
        EXPECT_FALSE(QFile::exists(satpe + u".org"_s));
    }
}

} // namespace
