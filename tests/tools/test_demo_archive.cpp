// The archive side of lanvera-demo: which patients the plug-in would publish, the authorisation
// text, the second installation's archive and Sync's list of archives.

#include "ColleagueCopy.h"
#include "DemoArchive.h"
#include "PacchettoCartella.h"
#include "Recordset.h"
#include "StampaQt.h"
#include "clsPaziente.h"
#include "modArchivioHost.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lanvera;
using namespace lanvera::demo;
using lanvera::dao::Database;
using lanvera::dao::Recordset;

namespace {

TEST(AuthorisationTextTest, TicksEveryColleagueAtHisPosition)
{
    EXPECT_EQ(AuthorisationText({2, 3, 4}), QStringLiteral("0111"));
    EXPECT_EQ(AuthorisationText({3}), QStringLiteral("001"));
}

TEST(AuthorisationTextTest, StartsWithOneZeroPerColleagueAndPadsToTheFarthest)
{
    // positions 2 and 5: "00", "01", padded to "01000", then "01001"
    EXPECT_EQ(AuthorisationText({2, 5}), QStringLiteral("01001"));
    // two colleagues before the owner's own position leave the text at two characters
    EXPECT_EQ(AuthorisationText({1, 2}), QStringLiteral("11"));
    EXPECT_EQ(AuthorisationText({}), QString());
    EXPECT_EQ(AuthorisationText({0, 2}), QStringLiteral("01")) << "a doctor without a position is not ticked";
}

TEST(AuthorisationTextTest, PositionsBeyondTheEndDoNotAuthorise)
{
    EXPECT_TRUE(Authorises(QStringLiteral("0111"), 2));
    EXPECT_FALSE(Authorises(QStringLiteral("0111"), 1));
    EXPECT_FALSE(Authorises(QStringLiteral("01"), 3));
    EXPECT_FALSE(Authorises(QStringLiteral("01"), 0));
    EXPECT_FALSE(Authorises(QString(), 1));
}

class DemoArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_archivio = m_dir.filePath(QStringLiteral("Archivio.mdb"));
        QString errore;
        ASSERT_TRUE(host::CreaArchivioVuoto(m_archivio, &errore)) << errore.toStdString();
        ASSERT_TRUE(m_db.apri(m_archivio));
    }

    qint64 paziente(const QString &cf, const QString &cognome, const QString &nome, int proprio = 0,
                    const QString &uidcMedico = {})
    {
        EXPECT_TRUE(
            m_db.esegui(QStringLiteral("INSERT INTO tblAnagrafica (CodiceFiscale, Cognome, Nome, Proprio, "
                                       "UIDCMedico, DataNascita) VALUES (?, ?, ?, ?, ?, '1970-03-02 00:00:00')"),
                        {cf, cognome, nome, proprio, uidcMedico.isNull() ? QVariant() : QVariant(uidcMedico)}))
            << m_db.ultimoErrore().testo().toStdString();
        Recordset rs(m_db);
        EXPECT_TRUE(rs.apri(QStringLiteral("SELECT max(ID) AS ID FROM tblAnagrafica")));
        return rs.valore(QStringLiteral("ID")).toLongLong();
    }

    void rapporto(qint64 id, const QString &inizio, const QString &fine, const QString &motivo = {})
    {
        EXPECT_TRUE(m_db.esegui(QStringLiteral("INSERT INTO tblRapporti (IDPaziente, DataInizio, DataFine, Motivo) "
                                               "VALUES (?, ?, ?, ?)"),
                                {id, inizio, fine.isEmpty() ? QVariant() : QVariant(fine), motivo}));
    }

    QList<clsPaziente> locali()
    {
        QList<clsPaziente> pazienti;
        QString errore;
        EXPECT_TRUE(LocalPatients(m_db, Oggi, &pazienti, &errore)) << errore.toStdString();
        return pazienti;
    }

    static QStringList nomi(const QList<clsPaziente> &pazienti, bool soloPubblicabili)
    {
        QStringList risultato;
        for (const clsPaziente &p : pazienti) {
            if (!soloPubblicabili || IsPublishable(p)) {
                risultato << p.Cognome;
            }
        }
        return risultato;
    }

    static inline const QDate Oggi{2026, 12, 5};
    QTemporaryDir m_dir;
    QString m_archivio;
    Database m_db;
};

TEST_F(DemoArchiveTest, LeavesOutWhatSyncsLocalListLeavesOut)
{
    paziente(QStringLiteral("BNCMRA70C02H501X"), QStringLiteral("Bianchi"), QStringLiteral("Mario"));
    paziente(QStringLiteral("CRT"), QStringLiteral("Corto"), QStringLiteral("Codice"));
    paziente(QStringLiteral("PRVPIO70C02H501X"), QStringLiteral("Privato"), QStringLiteral("Pio"), -1);
    paziente(QStringLiteral("CLLGNN70C02H501X"), QStringLiteral("Collega"), QStringLiteral("Gianni"), 0,
             QStringLiteral("{A0000000-0000-0000-0000-000000000001}"));
    paziente(QStringLiteral("SNZNMO70C02H501X"), QStringLiteral("Senzanome"), QString());
    paziente(QStringLiteral("ALBNNA70C02H501X"), QStringLiteral("Alberti"), QStringLiteral("Anna"));
    // the same key twice: the second row is left out
    paziente(QStringLiteral("albnna70c02h501x"), QStringLiteral("Alberti"), QStringLiteral("Anna "));

    const QList<clsPaziente> pazienti = locali();
    EXPECT_EQ(nomi(pazienti, false), (QStringList{QStringLiteral("Alberti"), QStringLiteral("Bianchi")}));
    ASSERT_EQ(pazienti.size(), 2);
    EXPECT_EQ(pazienti.at(0).KeyPaziente, QStringLiteral("albnna70c02h501x;alberti;anna"));
    EXPECT_EQ(pazienti.at(0).DataNascita, QStringLiteral("02/03/1970"));
    EXPECT_EQ(pazienti.at(0).ID, 6);
}

TEST_F(DemoArchiveTest, RevokedPatientsAreListedButNotPublishable)
{
    const qint64 attivo = paziente(QStringLiteral("ATTVNN70C02H501X"), QStringLiteral("Attivo"), QStringLiteral("A"));
    rapporto(attivo, QStringLiteral("2010-01-01 00:00:00"), QStringLiteral("2026-12-06 00:00:00"));
    const qint64 oggi = paziente(QStringLiteral("OGGINN70C02H501X"), QStringLiteral("Finito"), QStringLiteral("B"));
    rapporto(oggi, QStringLiteral("2010-01-01 00:00:00"), QStringLiteral("2026-12-05 00:00:00"));
    const qint64 morto = paziente(QStringLiteral("MRTONN70C02H501X"), QStringLiteral("Morto"), QStringLiteral("C"));
    rapporto(morto, QStringLiteral("2010-01-01 00:00:00"), QStringLiteral("2020-01-01 00:00:00"),
             QStringLiteral("Decesso"));
    const qint64 ripreso = paziente(QStringLiteral("RPRSNN70C02H501X"), QStringLiteral("Ripreso"), QStringLiteral("D"));
    rapporto(ripreso, QStringLiteral("2010-01-01 00:00:00"), QStringLiteral("2020-01-01 00:00:00"));
    rapporto(ripreso, QStringLiteral("2021-01-01 00:00:00"), QString());

    const QList<clsPaziente> pazienti = locali();
    ASSERT_EQ(nomi(pazienti, false), (QStringList{QStringLiteral("Attivo"), QStringLiteral("Finito"),
                                                  QStringLiteral("Morto"), QStringLiteral("Ripreso")}));
    EXPECT_EQ(pazienti.at(0).Revocato, 0);
    EXPECT_EQ(pazienti.at(1).Revocato, 1) << "a care relationship ending today is revoked already";
    EXPECT_EQ(pazienti.at(2).Revocato, 2);
    EXPECT_EQ(pazienti.at(3).Revocato, 0) << "began again after it ended";
    EXPECT_EQ(nomi(pazienti, true), (QStringList{QStringLiteral("Attivo"), QStringLiteral("Ripreso")}));
}

TEST_F(DemoArchiveTest, WithTheSoleExtensionOnlyAlignedPatientsArePublishable)
{
    const qint64 allineato =
        paziente(QStringLiteral("ALLNNN70C02H501X"), QStringLiteral("Allineato"), QStringLiteral("A"));
    const qint64 no = paziente(QStringLiteral("NLLNNN70C02H501X"), QStringLiteral("Nonallineato"), QStringLiteral("B"));
    paziente(QStringLiteral("SNZRGA70C02H501X"), QStringLiteral("Senzariga"), QStringLiteral("C"));
    ASSERT_TRUE(m_db.esegui(QStringLiteral("CREATE TABLE SOLE_Versione (Versione INTEGER)")));
    ASSERT_TRUE(m_db.esegui(QStringLiteral("INSERT INTO SOLE_tblAllineati (IDPaziente, Allineato) VALUES (?, -1), "
                                           "(?, 0)"),
                            {allineato, no}));
    EXPECT_EQ(nomi(locali(), true), QStringList{QStringLiteral("Allineato")});
}

TEST_F(DemoArchiveTest, ArchiveOwnerIsTheNetworkDoctorRow)
{
    QString cf = QStringLiteral("x");
    QString errore;
    ASSERT_TRUE(ArchiveOwner(m_db, &cf, &errore));
    EXPECT_TRUE(cf.isEmpty());
    ASSERT_TRUE(m_db.esegui(QStringLiteral("INSERT INTO tblMedico (IDRete, CodiceFiscale) VALUES (0, 'ALTRO'), "
                                           "(1, ' rssmrc68c12a944y ')")));
    ASSERT_TRUE(ArchiveOwner(m_db, &cf, &errore));
    EXPECT_EQ(cf, QStringLiteral("RSSMRC68C12A944Y"));
}

TEST_F(DemoArchiveTest, SecondInstallationGetsOneOwnerRowAndOnePassword)
{
    m_db.chiudi();
    QString errore;
    ASSERT_TRUE(
        PrepareSecondInstallation(m_archivio, QStringLiteral("RSSMRC68C12A944Y"), QStringLiteral("uno"), &errore))
        << errore.toStdString();
    ASSERT_TRUE(
        PrepareSecondInstallation(m_archivio, QStringLiteral("RSSMRC68C12A944Y"), QStringLiteral("due"), &errore))
        << errore.toStdString();
    ASSERT_TRUE(m_db.apri(m_archivio));
    Recordset medici(m_db);
    ASSERT_TRUE(
        medici.apri(QStringLiteral("SELECT CodiceFiscale FROM tblMedico WHERE IDRete=1"), Recordset::Tipo::Dynaset));
    EXPECT_EQ(medici.conteggio(), 1);
    EXPECT_EQ(medici.testo(QStringLiteral("CodiceFiscale")), QStringLiteral("RSSMRC68C12A944Y"));
    Recordset items(m_db);
    ASSERT_TRUE(items.apri(QStringLiteral("SELECT Item FROM arcItems WHERE Key='QUOR.PasswordMedicoSync'"),
                           Recordset::Tipo::Dynaset));
    EXPECT_EQ(items.conteggio(), 1);
    EXPECT_EQ(items.testo(QStringLiteral("Item")), QStringLiteral("due"));
}

TEST_F(DemoArchiveTest, SecondInstallationNeedsAnExistingArchive)
{
    const QString manca = m_dir.filePath(QStringLiteral("Manca.mdb"));
    QString errore;
    EXPECT_FALSE(PrepareSecondInstallation(manca, QStringLiteral("RSSMRC68C12A944Y"), QStringLiteral("p"), &errore));
    EXPECT_TRUE(errore.contains(QStringLiteral("clinora-archive create"))) << errore.toStdString();
    EXPECT_FALSE(QFile::exists(manca));
}

TEST_F(DemoArchiveTest, ArchiveListIsCreatedAndAnArchiveListedOnce)
{
    const QString lista = m_dir.filePath(QStringLiteral("dati/Quor.mdb"));
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("dati"))));
    bool aggiunto = false;
    QString errore;
    ASSERT_TRUE(AddToArchiveList(lista, m_archivio, QStringLiteral("Studio"), &aggiunto, &errore))
        << errore.toStdString();
    EXPECT_TRUE(aggiunto);
    ASSERT_TRUE(AddToArchiveList(lista, m_archivio, QStringLiteral("Studio Rossi"), &aggiunto, &errore))
        << errore.toStdString();
    EXPECT_FALSE(aggiunto);
    ASSERT_TRUE(AddToArchiveList(lista, m_dir.filePath(QStringLiteral("Altro.mdb")), QStringLiteral("Altro"), &aggiunto,
                                 &errore));
    EXPECT_TRUE(aggiunto);

    Database db;
    ASSERT_TRUE(db.apri(lista));
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT File, Descrizione FROM tblFile ORDER BY ID"), Recordset::Tipo::Dynaset));
    ASSERT_EQ(rs.conteggio(), 2);
    EXPECT_EQ(rs.testo(QStringLiteral("File")), m_archivio);
    EXPECT_EQ(rs.testo(QStringLiteral("Descrizione")), QStringLiteral("Studio Rossi"));
}

TEST_F(DemoArchiveTest, ColleagueChangesACopyAndLeavesTheArchiveAlone)
{
    const qint64 id = paziente(QStringLiteral("BNCMRA70C02H501X"), QStringLiteral("Bianchi"), QStringLiteral("Mario"));
    ASSERT_TRUE(
        m_db.esegui(QStringLiteral("INSERT INTO tblDiario (GUID, IDPaziente, Data, Diario, LastUpdate, ToSend) VALUES "
                                   "('{D0000000-0000-0000-0000-000000000001}', ?, '2026-01-10 00:00:00', 'vecchia', "
                                   "'2026-01-10 09:00:00', 0), "
                                   "('{D0000000-0000-0000-0000-000000000002}', ?, '2026-06-10 00:00:00', 'ultima', "
                                   "'2030-01-01 10:00:00', -1)"),
                    {id, id}));
    m_db.chiudi();
    auto impronta = [this] {
        QFile f(m_archivio);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    };
    const QByteArray prima = impronta();

    ColleagueCopy copia;
    QString errore;
    ASSERT_TRUE(copia.open(m_archivio, QStringLiteral(LANVERA_CARTELLA_SQL), &errore)) << errore.toStdString();
    ColleagueCopy::ChangedRow riga;
    const QDateTime adesso(QDate(2026, 12, 5), QTime(18, 0));
    ASSERT_TRUE(copia.changeDiary(int(id), QStringLiteral("nota"), adesso, &riga, &errore)) << errore.toStdString();
    EXPECT_EQ(riga.guid, QStringLiteral("{D0000000-0000-0000-0000-000000000002}")) << "the latest entry";
    EXPECT_EQ(riga.data, QStringLiteral("10/06/2026"));
    EXPECT_EQ(riga.lastUpdate, QStringLiteral("2030-01-01 10:00:01")) << "newer than the owner's row";
    QString pacchetto;
    ASSERT_TRUE(copia.package(int(id), &pacchetto, &errore)) << errore.toStdString();

    // In the package only the changed row is unsent.
    StatoMotore stato;
    PacchettoCartella lettore(stato);
    Database db;
    ASSERT_TRUE(lettore.ApriPacchetto(pacchetto, QStringLiteral("Importa Modifiche"), db))
        << stato.messaggioErrore.toStdString();
    {
        Recordset rs(db);
        ASSERT_TRUE(rs.apri(QStringLiteral("SELECT Diario, ToSend, LastUpdate FROM tblDiario ORDER BY GUID"),
                            Recordset::Tipo::Dynaset));
        ASSERT_EQ(rs.conteggio(), 2);
        EXPECT_EQ(rs.testo(QStringLiteral("Diario")), QStringLiteral("vecchia"));
        EXPECT_EQ(rs.valore(QStringLiteral("ToSend")).toInt(), -1);
        ASSERT_TRUE(rs.muoviProssimo());
        EXPECT_EQ(rs.testo(QStringLiteral("Diario")), QStringLiteral("ultima\r\nnota"));
        EXPECT_EQ(rs.valore(QStringLiteral("ToSend")).toInt(), 0);
        EXPECT_EQ(rs.testo(QStringLiteral("LastUpdate")), QStringLiteral("2030-01-01 10:00:01"));
        Recordset anagrafica(db);
        ASSERT_TRUE(anagrafica.apri(QStringLiteral("SELECT ToSend FROM tblAnagrafica")));
        EXPECT_EQ(anagrafica.valore(QStringLiteral("ToSend")).toInt(), -1);
    }
    lettore.ChiudiPacchetto(db);

    EXPECT_FALSE(copia.changeDiary(12345, QStringLiteral("nota"), adesso, &riga, &errore));
    EXPECT_EQ(impronta(), prima);
}

} // namespace
