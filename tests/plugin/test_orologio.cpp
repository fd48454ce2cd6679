#include "ArchivioHost.h"
#include "Module1.h"
#include "RisposteTest.h"
#include "ServerTest.h"
#include "StatoPlugin.h"
#include "frmInviaRicevi.h"
#include "modArchivioHost.h"
#include "modIni.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString CfRossi = u"RSSMRA70A01H501U"_s;

// The plug-in's access against the private server, its archive a real one in a temporary folder.
class OrologioPluginTest : public lanvera::test::ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(m_dir.isValid());
        const QString ini = m_dir.filePath(u"plgLanvera.ini"_s);
        lanvera::ImpostaFileIni(ini);
        ASSERT_TRUE(lanvera::ScriviIniFile(ini, u"Setup"_s, u"Host"_s, lanvera::test::TestServer::host()));
        ASSERT_TRUE(
            lanvera::ScriviIniFile(ini, u"Setup"_s, u"Port"_s, QString::number(lanvera::test::TestServer::port())));

        const QString password = Module1::CifraPassword(u"Giusta123"_s);
        lanvera::test::AdminConnection admin;
        QSqlQuery q(admin.database());
        q.prepare(u"INSERT INTO quor.tblmedici (CF, Cognome, Nome, Password, IDGruppo, Progressivo, Sospeso) "
                  "VALUES (?, 'Rossi', 'Mario', ?, 1, 1, 0)"_s);
        q.addBindValue(CfRossi);
        q.addBindValue(password);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();

        const QString file = m_dir.filePath(u"Clinora.mdb"_s);
        QString errore;
        ASSERT_TRUE(lanvera::host::CreaArchivioVuoto(file, &errore)) << errore.toStdString();
        ASSERT_TRUE(m_archivio.apri(file));
        ASSERT_TRUE(
            m_archivio.database().esegui(u"INSERT INTO tblMedico (IDRete, CodiceFiscale) VALUES (1, ?)"_s, {CfRossi}));
        ASSERT_TRUE(m_archivio.database().esegui(
            u"INSERT INTO arcItems ([Key], Item) VALUES ('QUOR.PasswordMedico', ?)"_s, {password}));
        m_stato.db = &m_archivio;
        m_stato.risposte = &m_risposte;
        m_stato.disk = m_dir.path();
        m_stato.userDisk = m_dir.path();
    }

    void TearDown() override
    {
        lanvera::ImpostaFileIni({});
        ServerTest::TearDown();
    }

    // The messages of the archive log's lines, severity and tag kept.
    QStringList log() const
    {
        QFile f(m_dir.filePath(u"Lanvera.log"_s));
        QStringList righe;
        if (f.open(QIODevice::ReadOnly)) {
            for (const QString &r : QString::fromUtf8(f.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts)) {
                righe << r.left(9) + r.mid(29);
            }
        }
        return righe;
    }

    QTemporaryDir m_dir;
    ArchivioHost m_archivio;
    lanvera::test::RisposteTest m_risposte;
    StatoPlugin m_stato;
};

TEST_F(OrologioPluginTest, AClockFarFromTheServersIsAnErrorLineOfTheAccess)
{
    const QString avviso = u"ERR USER Attenzione: l'orologio di questo computer è %1 di 5 minuti rispetto al server: "
                           "le modifiche fatte qui possono prevalere o essere scartate a torto"_s;
    const struct
    {
        qint64 secondi; // this computer's clock less the server's
        QString riga;   // the line after "Identificazione"; empty: none
    } casi[] = {
        {5 * 60, avviso.arg(u"avanti"_s)},
        {-5 * 60, avviso.arg(u"indietro"_s)},
        {60, {}},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.secondi);
        QFile::remove(m_dir.filePath(u"Lanvera.log"_s));
        m_stato.adesso = [&] { return QDateTime::currentDateTime().addSecs(c.secondi); };
        m_stato.richiesta.CodiceOperazione = RichiestaOperazione::Rimozione;
        EXPECT_TRUE(frmInviaRicevi::Esegui(m_stato));
        const QStringList righe = log();
        const qsizetype identificazione = righe.indexOf(u"    USER Identificazione"_s);
        ASSERT_GE(identificazione, 0) << righe.join(u'\n').toStdString();
        EXPECT_EQ(righe.value(identificazione + 1), c.riga.isEmpty() ? u"    USER Operazione conclusa"_s : c.riga);
        EXPECT_TRUE(m_risposte.messaggi.isEmpty()) << "a warning, not a message box";
        ASSERT_TRUE(m_stato.motore.scartoServerMs.has_value());
        EXPECT_LT(qAbs(*m_stato.motore.scartoServerMs), 10000) << "the server runs on this computer";
    }
}

} // namespace
