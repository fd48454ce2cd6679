#include "EsecuzioneSync.h"
#include "Recordset.h"
#include "SyncFixture.h"
#include "clsSincronizza.h"
#include "modArchivio.h"
#include "modCartelle.h"
#include "modLog.h"

#include <QDir>

#include <optional>

using namespace lanvera;
using lanvera::dao::Database;

namespace {

// The run over the list of archives, as Sync does it, against the real server.
class EsecuzioneTest : public lanvera::test::SyncFixture
{
protected:
    void SetUp() override
    {
        SyncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        QString chiave = QStringLiteral("Quor");
        PreparaCartelle(chiave);
        QFile::remove(FileLogSync());
        m_lista = percorso(QStringLiteral("Quor.mdb"));
        ASSERT_TRUE(CreaDatabaseSync(m_lista));
        ASSERT_TRUE(m_databaseSync.apri(m_lista));
        registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);

        m_esecuzione.impostaListaArchivi(&m_databaseSync);
        m_esecuzione.impostaPreparazioneMotore([](clsSincronizza &s) { s.impostaOrologio([] { return Adesso; }); });
        QObject::connect(&m_esecuzione, &EsecuzioneSync::Log, [this](const QString &riga) {
            if (m_annullaSu && riga.endsWith(*m_annullaSu) && m_esecuzione.ArchivioCorrente() == m_annullaIn) {
                m_annullaSu.reset();
                m_esecuzione.Annulla();
            }
        });
    }

    void inLista(const QString &file, const QString &descrizione)
    {
        ASSERT_TRUE(m_databaseSync.esegui(QStringLiteral("INSERT INTO tblFile (File, Descrizione) VALUES (?, ?)"),
                                          {file, descrizione}));
    }

    QStringList logSync() const { return messaggi(FileLogSync(), 24); }

    QString m_lista;
    Database m_databaseSync;
    EsecuzioneSync m_esecuzione{m_server};
    std::optional<QString> m_annullaSu;
    QString m_annullaIn;
};

TEST_F(EsecuzioneTest, EmptyListSucceedsWithoutArchiveLines)
{
    EXPECT_TRUE(m_esecuzione.SincronizzaTutti());
    EXPECT_TRUE(logSync().isEmpty());
}

TEST_F(EsecuzioneTest, EachArchiveGetsItsOwnOutcomeAndTheLoopGoesOn)
{
    const QString mancante = percorso(QStringLiteral("Sparito/Archivio.mdb"));
    const QString testo = percorso(QStringLiteral("Appunti.mdb"));
    {
        QFile f(testo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("non sono un archivio\r\n");
    }
    const QString senzaMedico = generaArchivio(QStringLiteral("SenzaMedico.mdb"), 3);
    {
        Database db;
        ASSERT_TRUE(db.apri(senzaMedico));
        ASSERT_TRUE(db.esegui(QStringLiteral("DELETE FROM tblMedico")));
    }
    const QString buono = generaArchivio(QStringLiteral("Rossi.mdb"), 10);
    const QByteArray primaTesto = impronta(testo);
    const QByteArray primaSenzaMedico = impronta(senzaMedico);

    // ordered by description, whatever the order of entry
    inLista(buono, QStringLiteral("D - Rossi Mario"));
    inLista(testo, QStringLiteral("B - Appunti"));
    inLista(senzaMedico, QStringLiteral("C - Senza medico"));
    inLista(mancante, QStringLiteral("a - Sparito"));

    EXPECT_FALSE(m_esecuzione.SincronizzaTutti());
    const QStringList log = logSync();
    ASSERT_EQ(log.size(), 10) << log.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(log.at(0), QStringLiteral("Sincronizzo a - Sparito"));
    EXPECT_TRUE(log.at(1).startsWith(QStringLiteral("Apertura archivio: Errore 3024 ")));
    EXPECT_EQ(log.at(2), QStringLiteral("Operazione non completata"));
    EXPECT_EQ(log.at(3), QStringLiteral("Sincronizzo B - Appunti"));
    EXPECT_TRUE(log.at(4).startsWith(QStringLiteral("Apertura archivio: Errore 26 ")));
    EXPECT_EQ(log.at(5), QStringLiteral("Operazione non completata"));
    EXPECT_EQ(log.at(6), QStringLiteral("Sincronizzo C - Senza medico"));
    EXPECT_EQ(log.at(7), QStringLiteral("Operazione non completata"));
    EXPECT_EQ(log.at(8), QStringLiteral("Sincronizzo D - Rossi Mario"));
    EXPECT_EQ(log.at(9), QStringLiteral("Operazione completata con successo"));

    EXPECT_EQ(impronta(testo), primaTesto);
    EXPECT_EQ(impronta(senzaMedico), primaSenzaMedico);
    EXPECT_FALSE(QFile::exists(mancante));
    EXPECT_TRUE(messaggi(FileLogArchivio(CartellaArchivio(senzaMedico)))
                    .contains(QStringLiteral("Codice fiscale del medico non corretto")));
    EXPECT_EQ(messaggi(FileLogArchivio(CartellaArchivio(buono))).last(), QString());
}

TEST_F(EsecuzioneTest, CommandLineArchiveRunsAloneWithoutTheList)
{
    inLista(percorso(QStringLiteral("altro.mdb")), QStringLiteral("Altro"));
    const QString archivio = generaArchivio(QStringLiteral("Studio Rossi.mdb"), 4);
    m_esecuzione.impostaListaArchivi(nullptr);
    m_esecuzione.impostaRigaComando(archivio);
    EXPECT_TRUE(m_esecuzione.SincronizzaTutti());
    EXPECT_EQ(logSync(), QStringList{QStringLiteral("Operazione completata con successo")});
}

TEST_F(EsecuzioneTest, CompletedArchiveWithErrorLinesMakesTheRunFail)
{
    const QString archivio = generaArchivio(QStringLiteral("Rossi.mdb"), 4);
    inLista(archivio, QStringLiteral("Rossi"));
    // a cancel request is an error line, yet the archive may complete
    QObject::connect(&m_esecuzione, &EsecuzioneSync::Log, [this](const QString &riga) {
        if (riga.endsWith(QStringLiteral("Operazione conclusa")) && !m_esecuzione.Annullato()) {
            m_esecuzione.Annulla();
        }
    });
    EXPECT_FALSE(m_esecuzione.SincronizzaTutti());
    EXPECT_EQ(logSync().last(), QStringLiteral("Operazione completata con successo"));
}

TEST_F(EsecuzioneTest, StopDuringTheSecondOfThreeArchivesStartsNoFurtherOne)
{
    for (const char *nome : {"A", "B", "C"}) {
        const QString n = QString::fromLatin1(nome);
        QDir().mkpath(percorso(n));
        inLista(generaArchivio(n + QStringLiteral("/Archivio.mdb"), 5), n);
    }
    m_annullaIn = QStringLiteral("B");
    m_annullaSu = QStringLiteral("Identificazione");
    EXPECT_FALSE(m_esecuzione.SincronizzaTutti());
    EXPECT_EQ(logSync(),
              (QStringList{QStringLiteral("Sincronizzo A"), QStringLiteral("Operazione completata con successo"),
                           QStringLiteral("Sincronizzo B"), QStringLiteral("Operazione non completata")}));
    const QStringList b = messaggi(FileLogArchivio(percorso(QStringLiteral("B"))));
    EXPECT_TRUE(b.contains(QStringLiteral("Richiesta annullamento da parte dell'utente")));
    EXPECT_EQ(b.at(b.size() - 2), QStringLiteral("Operazione annullata dall'utente"));
    EXPECT_FALSE(QFile::exists(FileLogArchivio(percorso(QStringLiteral("C")))));
}

} // namespace
