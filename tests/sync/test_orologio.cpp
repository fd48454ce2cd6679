#include "SyncFixture.h"
#include "clsSincronizza.h"

#include <QObject>

using namespace lanvera;

namespace {

class OrologioSyncTest : public lanvera::test::SyncFixture
{};

TEST_F(OrologioSyncTest, AClockFarFromTheServersIsAnErrorLineAndTheRunGoesOn)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    const QString archivio = generaArchivio(QStringLiteral("Rossi.mdb"), 2);
    const QString avviso = QStringLiteral("Attenzione: l'orologio di questo computer è %1 di 5 minuti rispetto al "
                                          "server: le modifiche fatte qui possono prevalere o essere scartate a torto");
    const struct
    {
        qint64 secondi; // the engine's clock less the server's
        QString riga;   // the warning after the doctor's line; empty: none
    } casi[] = {
        {5 * 60, avviso.arg(QStringLiteral("avanti"))},
        {-5 * 60, avviso.arg(QStringLiteral("indietro"))},
        {60, {}},
        {-60, {}},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.secondi);
        clsSincronizza sync;
        sync.Init(m_server);
        sync.impostaOrologio([&] { return Adesso.addSecs(c.secondi); });
        QStringList righe;
        QObject::connect(&sync, &clsSincronizza::Log, [&](const QString &r) { righe << r; });
        ASSERT_TRUE(sync.Sincronizza(archivio)) << sync.MessaggioErrore().toStdString();

        const qsizetype medico =
            righe.indexOf(QStringLiteral("    SYNC %1 %2 - Rossi Mario")
                              .arg(Adesso.addSecs(c.secondi).toString(QStringLiteral("dd/MM/yyyy hh.mm.ss")), CfRossi));
        ASSERT_GE(medico, 0) << righe.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(righe.value(medico + 1).startsWith(QStringLiteral("ERR SYNC ")), !c.riga.isEmpty());
        EXPECT_EQ(righe.value(medico + 1).mid(29),
                  c.riga.isEmpty() ? QStringLiteral("Analisi pazienti su server") : c.riga);
        EXPECT_EQ(sync.Errori(), c.riga.isEmpty() ? 0 : 1);
        EXPECT_EQ(righe.value(righe.size() - 2).mid(29), QStringLiteral("Operazione conclusa"));
        // The offset the merge uses is measured against the real clock, not the engine's.
        ASSERT_TRUE(sync.ScartoServerMs().has_value());
        const qint64 atteso = QDateTime::currentDateTime().msecsTo(Adesso);
        EXPECT_LT(qAbs(*sync.ScartoServerMs() - atteso), 10000) << *sync.ScartoServerMs() << " vs " << atteso;
    }
}

} // namespace
