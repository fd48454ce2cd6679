#include "SyncFixture.h"

#include <QProcessEnvironment>

using namespace lanvera;
using lanvera::dao::Database;

namespace {

// Sync as the package installs it (scripts/check-install unpacked the package into a root of its
// own), started the way its systemd user unit starts it: the unit's program and environment.
class InstallatoTest : public lanvera::test::SyncFixture
{
protected:
    void SetUp() override
    {
        SyncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_radice = QStringLiteral(LANVERA_INSTALL_ROOT);
        leggiUnita(m_radice + QStringLiteral("/usr/lib/systemd/user/lanvera-sync.service"));
        if (HasFatalFailure()) {
            return;
        }
        // Where the administrator sets the group's server after installing.
        const QString ini = m_radice + QStringLiteral("/etc/lanvera/plgLanvera.ini");
        ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Host"), impostazioni().host));
        ASSERT_TRUE(ScriviIniFile(ini, QStringLiteral("Setup"), QStringLiteral("Port"), impostazioni().porta));
        m_dati = percorso(QStringLiteral("dati/Dorvane/Quor"));
    }

    void leggiUnita(const QString &file)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text)) << file.toStdString();
        for (const QString &riga : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            const qsizetype uguale = riga.indexOf(QLatin1Char('='));
            const QString chiave = riga.left(uguale);
            const QStringList valori = riga.mid(uguale + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (chiave == QLatin1String("ExecStart")) {
                m_programma = m_radice + valori.value(0);
            } else if (chiave == QLatin1String("Environment")) {
                m_imposta << valori;
            } else if (chiave == QLatin1String("UnsetEnvironment")) {
                m_togli << valori;
            }
        }
        ASSERT_TRUE(QFileInfo(m_programma).isExecutable()) << m_programma.toStdString();
    }

    // The session's environment as the user manager received it, then what the unit changes.
    QProcessEnvironment ambiente(const QStringList &sessione) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &nome :
             {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("QT_QPA_PLATFORM")}) {
            env.remove(nome);
        }
        env.insert(QStringLiteral("XDG_DATA_HOME"), percorso(QStringLiteral("dati")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), percorso(QStringLiteral("config")));
        for (const QStringList &gruppo : {sessione, m_imposta}) {
            for (const QString &assegnazione : gruppo) {
                env.insert(assegnazione.section(QLatin1Char('='), 0, 0), assegnazione.section(QLatin1Char('='), 1));
            }
        }
        for (const QString &nome : m_togli) {
            env.remove(nome);
        }
        return env;
    }

    int avvia(const QStringList &sessione)
    {
        QProcess p;
        p.setProcessEnvironment(ambiente(sessione));
        p.start(m_programma);
        EXPECT_TRUE(p.waitForFinished(60000)) << "Sync still running: a window or a lost display";
        m_uscita = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QString m_radice;
    QString m_programma;
    QStringList m_imposta;
    QStringList m_togli;
    QString m_dati;
    QString m_uscita;
};

TEST_F(InstallatoTest, TheUnitRunsTheInstalledSyncHeadlessWhateverTheSessionExported)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    const QString archivio = generaArchivio(QStringLiteral("Rossi.mdb"), 5);
    ASSERT_EQ(avvia({}), 0) << m_uscita.toStdString(); // makes the list
    {
        Database lista;
        ASSERT_TRUE(lista.apri(m_dati + QStringLiteral("/Quor.mdb")));
        ASSERT_TRUE(lista.esegui(QStringLiteral("INSERT INTO tblFile (File, Descrizione) VALUES (?, 'Rossi Mario')"),
                                 {archivio}));
    }
    const struct
    {
        const char *caso;
        QStringList sessione;
    } casi[] = {
        {"no display", {}},
        {"an X session", {QStringLiteral("DISPLAY=:99")}},
        {"a Wayland session that chose Qt's platform",
         {QStringLiteral("WAYLAND_DISPLAY=wayland-99"), QStringLiteral("QT_QPA_PLATFORM=wayland")}},
        {"a session with both", {QStringLiteral("DISPLAY=:99"), QStringLiteral("WAYLAND_DISPLAY=wayland-99")}},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        QFile::remove(m_dati + QStringLiteral("/Quor.log"));
        EXPECT_EQ(avvia(c.sessione), 0) << m_uscita.toStdString();
        EXPECT_TRUE(m_uscita.contains(QStringLiteral("Operazione conclusa"))) << m_uscita.toStdString();
        const QStringList log = messaggi(m_dati + QStringLiteral("/Quor.log"), 24);
        EXPECT_TRUE(log.contains(QStringLiteral("Sincronizzo Rossi Mario")));
        EXPECT_TRUE(log.contains(QStringLiteral("Operazione completata con successo")));
    }
    // The engine worked on the archive: its own log stands beside it.
    EXPECT_TRUE(QFile::exists(percorso(QStringLiteral("Lanvera.log"))));
}

} // namespace
