#pragma once

#include "ConnessioneServer.h"
#include "Database.h"
#include "PacchettoCartella.h"
#include "Recordset.h"
#include "ServerTest.h"
#include "StampaQt.h"
#include "TestServer.h"
#include "clsSincronizza.h"
#include "modArchivio.h"
#include "modArchivioHost.h"
#include "modCartelle.h"
#include "modGeneratore.h"
#include "modIni.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>

namespace lanvera::test {

// A network on the private server and archives in a temporary folder, for the engine's tests.
class SyncFixture : public ServerTest
{
protected:
    static inline const QDateTime Adesso{QDate(2026, 12, 5), QTime(18, 2, 7)};
    static inline const QString CfRossi = QStringLiteral("RSSMRA70A01H501U");
    static inline const QString PasswordRossi = QStringLiteral("{AES}cifrata==");
    static inline const QString CfBianchi = QStringLiteral("BNCLCU65B41F205X");

    void SetUp() override
    {
        ServerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(m_dir.isValid());
        // The engine finds its table list beside the programs of this build.
        ImpostaCartellaProgramma(qEnvironmentVariable("LANVERA_OUTPUT_DIR"));
        ASSERT_TRUE(m_server.connetti(impostazioni(), false)) << m_server.ultimoErrore().toStdString();
        // The engine's clock stands at Adesso: the server's reads the same, as two well-set clocks do.
        impostaOraServer(Adesso);
    }

    // Stops the server's clock of the connection at that moment (invalid: lets it run again, for
    // the tests whose engine keeps the real clock).
    void impostaOraServer(const QDateTime &ora)
    {
        if (!ora.isValid()) {
            ASSERT_TRUE(m_server.esegui(QStringLiteral("SET TIMESTAMP=DEFAULT")));
            return;
        }
        ASSERT_TRUE(
            m_server.esegui(QStringLiteral("SET TIMESTAMP=%1").arg(ora.toMSecsSinceEpoch() / 1000.0, 0, 'f', 3)))
            << m_server.ultimoErrore().toStdString();
    }

    static ImpostazioniServer impostazioni()
    {
        ImpostazioniServer s;
        s.host = TestServer::host();
        s.porta = QString::number(TestServer::port());
        return s;
    }

    QString percorso(const QString &nome) const { return m_dir.filePath(nome); }

    // A generated archive of one doctor, with the sync password the plug-in would have left.
    QString generaArchivio(const QString &nome, int pazienti, const QString &cf = CfRossi,
                           const QString &password = PasswordRossi, double righe = 0.2)
    {
        host::OpzioniGeneratore o;
        o.cf = cf;
        o.pazienti = pazienti;
        o.oggi = Adesso.date();
        o.passwordSync = password;
        o.righe = righe;
        const QString file = percorso(nome);
        QString errore;
        EXPECT_TRUE(host::GeneraArchivio(file, o, &errore)) << errore.toStdString();
        return file;
    }

    QString archivioVuoto(const QString &nome)
    {
        const QString file = percorso(nome);
        QString errore;
        EXPECT_TRUE(host::CreaArchivioVuoto(file, &errore)) << errore.toStdString();
        return file;
    }

    void registraMedico(const QString &cf, const QString &cognome, const QString &nome, const QString &password,
                        int gruppo = 1, int progressivo = 1, int sospeso = 0)
    {
        AdminConnection admin;
        QSqlQuery q(admin.database());
        q.prepare(QStringLiteral("INSERT INTO quor.tblmedici (CF, Cognome, Nome, Password, IDGruppo, Progressivo, "
                                 "Sospeso) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant &v : {QVariant(cf), QVariant(cognome), QVariant(nome), QVariant(password), QVariant(gruppo),
                                  QVariant(progressivo), QVariant(sospeso)}) {
            q.addBindValue(v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }

    static QByteArray impronta(const QString &file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }

    // The messages of a log's entries, without severity, tag and time stamp.
    static QStringList messaggi(const QString &file, qsizetype prefisso = 29)
    {
        QFile f(file);
        QStringList righe;
        if (!f.open(QIODevice::ReadOnly)) {
            return righe;
        }
        for (const QString &riga : QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"))) {
            righe << riga.mid(prefisso);
        }
        if (!righe.isEmpty() && righe.last().isEmpty()) {
            righe.removeLast();
        }
        return righe;
    }

    // Publishes active patients of an archive as the plug-in would: a server row with the chart
    // database and the authorisations, no chart yet. The patients are those the engine lists.
    QList<clsPaziente> pubblica(const QString &archivio, int quanti, int idDatabase, const QString &cf = CfRossi)
    {
        clsSincronizza sync;
        sync.Init(m_server);
        sync.impostaOrologio([] { return Adesso; });
        EXPECT_TRUE(sync.Sincronizza(archivio)) << sync.MessaggioErrore().toStdString();
        QList<clsPaziente> scelti;
        for (const clsPaziente &p : sync.PazientiLocali()) {
            if (p.Revocato == 0 && scelti.size() < quanti) {
                scelti << p;
            }
        }
        AdminConnection admin;
        for (const clsPaziente &p : std::as_const(scelti)) {
            QSqlQuery q(admin.database());
            q.prepare(QStringLiteral("INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, "
                                     "IDDatabase, Autorizzazioni) VALUES (?, ?, ?, ?, ?, ?, '01')"));
            for (const QVariant &v : {QVariant(p.KeyPaziente), QVariant(p.CF), QVariant(p.Cognome), QVariant(p.Nome),
                                      QVariant(cf), QVariant(idDatabase)}) {
                q.addBindValue(v);
            }
            EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        return scelti;
    }

    // A colleague's modifications package for one patient, as the plug-in builds it from his copy
    // of the chart: every row, the diary row he changed with ToSend 0.
    QString pacchettoModifiche(const QString &archivio, qint32 idPaziente, const QString &guidDiario,
                               const QString &nuovoTesto,
                               const QString &aggiornato = QStringLiteral("2026-12-05 12:00:00"))
    {
        const QString copia = percorso(QStringLiteral("copia-%1.mdb").arg(CreaGUID().mid(1, 8)));
        EXPECT_TRUE(QFile::copy(archivio, copia));
        dao::Database db;
        EXPECT_TRUE(db.apri(copia));
        EXPECT_TRUE(db.esegui(QStringLiteral("UPDATE tblDiario SET ToSend=-1 WHERE IDPaziente=?"), {idPaziente}));
        EXPECT_TRUE(db.esegui(QStringLiteral("UPDATE tblDiario SET ToSend=0, Diario=?, LastUpdate=? WHERE GUID=?"),
                              {nuovoTesto, aggiornato, guidDiario}));
        StatoMotore stato;
        stato.archivio = &db;
        PacchettoCartella pc(stato);
        EXPECT_TRUE(pc.CaricaListaTabelle(CartellaProgramma() + QStringLiteral("/Cartella.sql")));
        QString testo;
        EXPECT_TRUE(pc.CreaCartella(idPaziente, testo)) << stato.messaggioErrore.toStdString();
        db.chiudi();
        QFile::remove(copia);
        return testo;
    }

    static int accodaModifiche(const QString &chiave, const QString &medico, const QString &titolare,
                               const QString &testo)
    {
        AdminConnection admin;
        QSqlQuery q(admin.database());
        q.prepare(QStringLiteral("INSERT INTO quor.tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, Modifiche) "
                                 "VALUES (?, ?, ?, ?)"));
        for (const QVariant &v : {QVariant(chiave), QVariant(medico), QVariant(titolare), QVariant(testo)}) {
            q.addBindValue(v);
        }
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        return q.lastInsertId().toInt();
    }

    static QVariant valore(const QString &archivio, const QString &sql, const QVariantList &valori = {})
    {
        dao::Database db;
        EXPECT_TRUE(db.apri(archivio));
        dao::Recordset rs(db);
        EXPECT_TRUE(rs.apri(sql, dao::Recordset::Tipo::SoloAvanti, valori)) << rs.ultimoErrore().testo().toStdString();
        return rs.eof() ? QVariant() : rs.valore(rs.campi().first());
    }

    // The group of the network tests: the owner Rossi and his colleague Bianchi; returns Rossi's
    // server ID, the number of his chart database.
    int registraGruppo()
    {
        registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi, 1, 1);
        registraMedico(CfBianchi, QStringLiteral("Bianchi"), QStringLiteral("Lucia"), QStringLiteral("{AES}b"), 1, 2);
        AdminConnection admin;
        return admin.scalar(QStringLiteral("SELECT ID FROM quor.tblmedici WHERE CF='%1'").arg(CfRossi)).toInt();
    }

    // A second installation of Rossi: an empty archive with his doctor row and sync password.
    QString secondaInstallazione(const QString &nome)
    {
        const QString file = archivioVuoto(nome);
        dao::Database db;
        EXPECT_TRUE(db.apri(file));
        EXPECT_TRUE(
            db.esegui(QStringLiteral("INSERT INTO tblMedico (IDRete, CodiceFiscale) VALUES (1, ?)"), {CfRossi}));
        EXPECT_TRUE(db.esegui(QStringLiteral("INSERT INTO arcItems (Key, Item) VALUES ('QUOR.PasswordMedicoSync', ?)"),
                              {PasswordRossi}));
        return file;
    }

    QTemporaryDir m_dir;
    ConnessioneServer m_server;
};

// The Sync program itself, copied with its files into a folder of its own, run without a display.
class ProgrammaFixture : public SyncFixture
{
protected:
    void SetUp() override
    {
        SyncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_programmi = percorso(QStringLiteral("Programmi Lanvera"));
        QDir().mkpath(m_programmi);
        const QString origine = qEnvironmentVariable("LANVERA_OUTPUT_DIR");
        for (const QString &nome : {QStringLiteral("Sync"), QStringLiteral("plgLanvera.ini"),
                                    QStringLiteral("System.mdw"), QStringLiteral("Cartella.sql")}) {
            if (QFile::exists(origine + QLatin1Char('/') + nome)) {
                ASSERT_TRUE(QFile::copy(origine + QLatin1Char('/') + nome, m_programmi + QLatin1Char('/') + nome));
            }
        }
        ASSERT_TRUE(QFile::exists(m_programmi + QStringLiteral("/Sync")));
        m_ini = m_programmi + QStringLiteral("/plgLanvera.ini");
        QFile::setPermissions(m_ini, QFile::ReadOwner | QFile::WriteOwner);
        ASSERT_TRUE(ScriviIniFile(m_ini, QStringLiteral("Setup"), QStringLiteral("Host"), impostazioni().host));
        ASSERT_TRUE(ScriviIniFile(m_ini, QStringLiteral("Setup"), QStringLiteral("Port"), impostazioni().porta));
        m_dati = percorso(QStringLiteral("dati/Dorvane/Quor"));
    }

    // What Sync sees: no display, its own data folders.
    QProcessEnvironment ambiente() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), percorso(QStringLiteral("dati")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), percorso(QStringLiteral("config")));
        return env;
    }

    int avvia(const QStringList &argomenti = {}, int attesa = 60000)
    {
        QProcess p;
        p.setProcessEnvironment(ambiente());
        p.start(m_programmi + QStringLiteral("/Sync"), argomenti);
        EXPECT_TRUE(p.waitForFinished(attesa));
        m_uscita = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitCode();
    }

    QStringList logSync() const { return messaggi(m_dati + QStringLiteral("/Quor.log"), 24); }

    QString m_programmi;
    QString m_ini;
    QString m_dati;
    QString m_uscita;
};

// Whole runs against the real server: an owner with two installations and a colleague.
class ReteFixture : public SyncFixture
{
protected:
    void SetUp() override
    {
        SyncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_idRossi = registraGruppo();
        QDir().mkpath(percorso(QStringLiteral("studio")));
        QDir().mkpath(percorso(QStringLiteral("casa")));
        m_studio = generaArchivio(QStringLiteral("studio/Archivio.mdb"), 40, CfRossi, PasswordRossi, 0.5);
        m_casa = secondaInstallazione(QStringLiteral("casa/Archivio.mdb"));

        m_sync.Init(m_server);
        m_sync.impostaOrologio([] { return Adesso; });
        QObject::connect(&m_sync, &clsSincronizza::Log, [this](const QString &riga) { m_righe << riga.mid(29); });
    }

    void esegui(const QString &archivio, const QString &sql, const QVariantList &valori = {})
    {
        dao::Database db;
        ASSERT_TRUE(db.apri(archivio));
        ASSERT_TRUE(db.esegui(sql, valori)) << db.ultimoErrore().testo().toStdString();
    }

    // One run over one archive; the lines it wrote to the archive log.
    QStringList sincronizza(const QString &archivio, bool atteso = true)
    {
        m_righe.clear();
        EXPECT_EQ(m_sync.Sincronizza(archivio), atteso) << m_righe.join(QLatin1Char('\n')).toStdString();
        return m_righe;
    }

    static int conta(const QStringList &righe, const QString &inizio)
    {
        return int(std::count_if(righe.cbegin(), righe.cend(), [&](const QString &r) { return r.startsWith(inizio); }));
    }

    QList<clsPaziente> pubblica(int quanti, int idDatabase = -1)
    {
        return SyncFixture::pubblica(m_studio, quanti, idDatabase < 0 ? m_idRossi : idDatabase);
    }

    int righeDiario(const QString &archivio, const clsPaziente &p)
    {
        return valore(archivio,
                      QStringLiteral("SELECT count(*) FROM tblDiario d JOIN tblAnagrafica a ON d.IDPaziente=a.ID "
                                     "WHERE a.CodiceFiscale=? AND a.Cognome=?"),
                      {p.CF, p.Cognome})
            .toInt();
    }

    int m_idRossi = 0;
    QString m_studio;
    QString m_casa;
    clsSincronizza m_sync;
    QStringList m_righe;
};

} // namespace lanvera::test
