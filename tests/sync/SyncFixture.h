#pragma once

#include "ConnessioneServer.h"
#include "Database.h"
#include "ServerTest.h"
#include "StampaQt.h"
#include "TestServer.h"
#include "modArchivioHost.h"
#include "modCartelle.h"
#include "modGeneratore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lanvera::test {

// A network on the private server and archives in a temporary folder, for the engine's tests.
class SyncFixture : public ServerTest
{
protected:
    static inline const QDateTime Adesso{QDate(2026, 12, 5), QTime(18, 2, 7)};
    static inline const QString CfRossi = QStringLiteral("RSSMRA70A01H501U");
    static inline const QString PasswordRossi = QStringLiteral("{AES}cifrata==");

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

    QTemporaryDir m_dir;
    ConnessioneServer m_server;
};

} // namespace lanvera::test
