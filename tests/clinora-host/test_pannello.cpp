#include "Module1.h"
#include "SyncFixture.h"
#include "clsBase64.h"
#include "frmInviaRicevi.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <zip.h>

using namespace Qt::StringLiterals;
using lanvera::test::AdminConnection;

namespace {

// The owner's side against the real server: the real host, the real plug-in and, from the plug-in's
// folder, the real Sync. Rossi's colleagues sit at positions 2 and 5 of the group.
class PannelloTest : public lanvera::test::SyncFixture
{
protected:
    static inline const QString CfVerdi = u"VRDGPP60C10L219K"_s;

    void SetUp() override
    {
        SyncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        registraMedico(CfRossi, u"Rossi"_s, u"Mario"_s, Module1::CifraPassword(u"Giusta123"_s), 1, 1);
        registraMedico(CfBianchi, u"Bianchi"_s, u"Lucia"_s, {}, 1, 2);
        registraMedico(CfVerdi, u"Verdi"_s, u"Giuseppe"_s, {}, 1, 5);
        AdminConnection admin;
        m_idRossi = admin.scalar(u"SELECT ID FROM quor.tblmedici WHERE CF='%1'"_s.arg(CfRossi)).toInt();

        // The host's layout: the plug-in and the files it ships in Plugins/plgLanvera below the host.
        m_host = percorso(u"Clinora Host"_s);
        m_programmi = m_host + u"/Plugins/plgLanvera"_s;
        QDir().mkpath(m_programmi);
        const QString origine = qEnvironmentVariable("LANVERA_OUTPUT_DIR");
        ASSERT_TRUE(QFile::copy(origine + u"/clinora-host"_s, m_host + u"/clinora-host"_s));
        for (const QString &nome : {u"libplgLanvera.so"_s, u"Sync"_s, u"plgLanvera.ini"_s, u"System.mdw"_s,
                                    u"Cartella.sql"_s, u"ClinoraTemp.mdb"_s, u"QUOR_SATPE_1.xml"_s}) {
            ASSERT_TRUE(QFile::copy(origine + u'/' + nome, m_programmi + u'/' + nome)) << nome.toStdString();
        }
        const QString ini = m_programmi + u"/plgLanvera.ini"_s;
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
        ASSERT_TRUE(lanvera::ScriviIniFile(ini, u"Setup"_s, u"Host"_s, impostazioni().host));
        ASSERT_TRUE(lanvera::ScriviIniFile(ini, u"Setup"_s, u"Port"_s, impostazioni().porta));

        QDir().mkpath(percorso(u"Studio Rossi"_s));
        m_archivio = generaArchivio(u"Studio Rossi/Clinora.mdb"_s, 8, CfRossi, {});
        ricorda(u"Giusta123"_s);
    }

    // The password the archive remembers (empty: none), under the key of the host's kind: with the
    // host's own ini file every doctor of the computer has a key of his own.
    void ricorda(const QString &password, bool k47 = false)
    {
        const QString ini = m_host + u"/K47.ini"_s;
        if (k47) {
            QFile f(ini);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        } else {
            QFile::remove(ini);
        }
        lanvera::dao::Database db;
        ASSERT_TRUE(db.apri(m_archivio));
        ASSERT_TRUE(db.esegui(u"DELETE FROM arcItems WHERE [Key] LIKE 'QUOR.PasswordMedico%'"_s));
        ASSERT_TRUE(db.esegui(
            u"INSERT INTO arcItems ([Key], Item) VALUES (?, ?)"_s,
            {k47 ? u"QUOR.PasswordMedico."_s + CfRossi : u"QUOR.PasswordMedico"_s, Module1::CifraPassword(password)}));
    }

    QString item(const QString &chiave) const
    {
        return valore(m_archivio, u"SELECT Item FROM arcItems WHERE [Key]='%1' ORDER BY ID DESC"_s.arg(chiave))
            .toString();
    }

    QString passwordServer()
    {
        AdminConnection admin;
        return admin.scalar(u"SELECT Password FROM quor.tblmedici WHERE CF='%1'"_s.arg(CfRossi)).toString();
    }

    // The host's output lines for a script; its exit status in `stato`.
    QStringList host(const QString &script, int *stato = nullptr)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, percorso(u"dati"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QDir().mkpath(percorso(u"tmp"_s));
        env.insert(u"TMPDIR"_s, percorso(u"tmp"_s));
        p.setProcessEnvironment(env);
        p.start(m_host + u"/clinora-host"_s, {u"--archivio"_s, m_archivio, u"--script"_s, u"-"_s});
        p.write(script.toUtf8());
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(300000));
        if (stato) {
            *stato = p.exitCode();
        }
        const QStringList righe = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        return righe;
    }

    static bool contiene(const QStringList &righe, const QString &testo)
    {
        return std::any_of(righe.cbegin(), righe.cend(), [&](const QString &r) { return r.contains(testo); });
    }

    // The archive in use becomes Bianchi's, at his own computer, his password remembered.
    void diventaBianchi()
    {
        AdminConnection admin;
        admin.exec(u"UPDATE quor.tblmedici SET Password='%1' WHERE CF='%2'"_s.arg(
            Module1::CifraPassword(u"Bianchi12"_s), CfBianchi));
        m_studio = m_archivio;
        m_archivio = secondaInstallazione(u"Bianchi.mdb"_s);
        lanvera::dao::Database db;
        EXPECT_TRUE(db.apri(m_archivio));
        EXPECT_TRUE(db.esegui(u"UPDATE tblMedico SET CodiceFiscale=?"_s, {CfBianchi}));
        db.chiudi();
        ricorda(u"Bianchi12"_s);
    }

    // Rossi authorises Bianchi for his first patient and the panel's Sync publishes the chart; then
    // Bianchi is at the keyboard. The patient's name.
    QString condividiConBianchi()
    {
        const QStringList tabella = host(u"gestione\ntabella\n"_s);
        EXPECT_GE(tabella.size(), 2);
        const QString nome = tabella.value(1).section(u'\t', 0, 0);
        host(u"gestione\ncella \"%1\" Bianchi\npulsante 2\npulsante 4\nattendi-sync\n"_s.arg(nome));
        diventaBianchi();
        return nome;
    }

    // Rossi's unattended Sync on his archive.
    void syncRossi()
    {
        QProcess sync;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, percorso(u"dati"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        sync.setProcessEnvironment(env);
        sync.start(m_programmi + u"/Sync"_s, {m_studio});
        EXPECT_TRUE(sync.waitForFinished(120000));
    }

    int m_idRossi = 0;
    QString m_studio;
    QString m_host;
    QString m_programmi;
    QString m_archivio;
};

TEST_F(PannelloTest, EveryWayThroughTheAccess)
{
    const QString cifrata = Module1::CifraPassword(u"Giusta123"_s);
    const struct
    {
        const char *caso;
        QString server;    // the password on the server, as stored
        QString ricordata; // what the archive remembers, in clear
        QString script;
        bool caricata;     // the table was read
        QString messaggio; // a message box that must show
        bool k47;          // the host's own ini file is there
    } casi[] = {
        {"same as the server's", cifrata, u"Giusta123"_s, {}, true, {}, false},
        {"same, under the doctor's own key", cifrata, u"Giusta123"_s, {}, true, {}, true},
        {"another, typed right", cifrata, u"Vecchia99"_s, u"password Giusta123 ricorda\n"_s, true, {}, false},
        {"another, typed wrong", cifrata, u"Vecchia99"_s, u"password Sbagliata1\n"_s, false,
         u"MESSAGGIO attenzione: Password non valida"_s, false},
        {"another, cancelled", cifrata, u"Vecchia99"_s, u"password annulla\n"_s, false, {}, false},
        {"none on the server, created", {}, {}, u"nuova-password Nuova1234 Nuova1234 ricorda\n"_s, true, {}, false},
        {"none on the server, cancelled",
         {},
         {},
         u"nuova-password annulla\n"_s,
         false,
         u"MESSAGGIO attenzione: Password di accesso non impostata"_s,
         false},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        AdminConnection admin;
        QSqlQuery q(admin.database());
        q.prepare(u"UPDATE quor.tblmedici SET Password=? WHERE CF=?"_s);
        q.addBindValue(c.server);
        q.addBindValue(CfRossi);
        ASSERT_TRUE(q.exec());
        ricorda(c.ricordata, c.k47);
        {
            lanvera::dao::Database db;
            ASSERT_TRUE(db.apri(m_archivio));
            ASSERT_TRUE(db.esegui(u"DELETE FROM arcItems WHERE [Key]='QUOR.PasswordMedicoSync'"_s));
        }
        const QStringList righe = host(c.script + u"gestione\ntabella\n"_s);
        EXPECT_EQ(contiene(righe, u"Bianchi Lucia\tVerdi Giuseppe"_s), c.caricata) << righe.join(u'\n').toStdString();
        if (!c.messaggio.isEmpty()) {
            EXPECT_TRUE(righe.contains(c.messaggio)) << righe.join(u'\n').toStdString();
        }
    }
    // The last created password is the server's, the unattended one and the remembered one.
    const QString nuova = Module1::CifraPassword(u"Nuova1234"_s);
    ricorda(u"Nuova1234"_s);
    AdminConnection admin;
    admin.exec(u"UPDATE quor.tblmedici SET Password='%1' WHERE CF='%2'"_s.arg(nuova, CfRossi));
    // The password changed from the panel, not remembered.
    const QStringList righe = host(u"gestione\nnuova-password Cambiata1 Cambiata1\npulsante 6\n"_s);
    EXPECT_FALSE(contiene(righe, u"MESSAGGIO"_s)) << righe.join(u'\n').toStdString();
    EXPECT_EQ(passwordServer(), Module1::CifraPassword(u"Cambiata1"_s));
    EXPECT_EQ(item(u"QUOR.PasswordMedicoSync"_s), Module1::CifraPassword(u"Cambiata1"_s));
    EXPECT_EQ(item(u"QUOR.PasswordMedico"_s), QString());
}

TEST_F(PannelloTest, AuthorisationsGoUpOnlyWhenChangedAndSyncPublishes)
{
    const QStringList tabella = host(u"gestione\ntabella\n"_s);
    ASSERT_GE(tabella.size(), 3) << tabella.join(u'\n').toStdString();
    EXPECT_EQ(tabella.first(), u"Bianchi Lucia\tVerdi Giuseppe"_s);
    const QString primo = tabella.at(1).section(u'\t', 0, 0);
    const QString secondo = tabella.at(2).section(u'\t', 0, 0);

    // First patient: Bianchi alone; second: both (a block); nobody else is touched.
    int stato = -1;
    const QStringList righe = host(u"gestione\ncella \"%1\" Bianchi\npulsante 2\nblocco 2 1 2 2\npulsante 2\n"
                                   "pulsante 4\nattendi-sync\ntabella\n"_s.arg(primo),
                                   &stato);
    EXPECT_EQ(stato, 0) << righe.join(u'\n').toStdString();
    AdminConnection admin;
    EXPECT_EQ(admin.column(u"SELECT Autorizzazioni FROM quor.tblanagrafica ORDER BY Cognome, Nome"_s).size(), 2);
    const auto autorizzazioni = [&admin](const QString &nome) {
        return admin
            .scalar(u"SELECT Autorizzazioni FROM quor.tblanagrafica WHERE concat(Cognome,' ',Nome)='%1'"_s.arg(nome))
            .toString();
    };
    EXPECT_EQ(autorizzazioni(primo), u"01000"_s) << "padded to the second colleague's position";
    EXPECT_EQ(autorizzazioni(secondo), u"01001"_s);
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor_%1.tblcartella"_s.arg(m_idRossi)).toInt(), 2)
        << "Sync, started from the panel, published both charts";

    // Denied again, and nothing else changed: only that patient goes up.
    const QString log = m_archivio.section(u'/', 0, -2) + u"/Lanvera.log"_s;
    const int prima = messaggi(log).size();
    host(u"gestione\nblocco 2 1 2 1\npulsante 3\npulsante 4\nattendi-sync\n"_s);
    EXPECT_EQ(autorizzazioni(secondo), u"00001"_s);
    const QStringList nuove = messaggi(log).mid(prima);
    EXPECT_EQ(std::count_if(nuove.cbegin(), nuove.cend(),
                            [](const QString &r) { return r.startsWith(u"Aggiorno autorizzazion"_s); }),
              1)
        << nuove.join(u'\n').toStdString();

    // Closing the panel with a change asks, and Yes sends it.
    host(u"gestione\nblocco 2 1 2 1\npulsante 2\nrispondi si\nchiudi-pannello\n"_s);
    EXPECT_EQ(autorizzazioni(secondo), u"01001"_s);

    // A selection that starts in the names is refused; the log shows; the host's "chiuditutto"
    // closes the panel.
    const QStringList altre = host(u"gestione\nblocco 0 0 1 1\npulsante 2\npulsante 1\ncomando chiuditutto\n"
                                   "pulsante 2\n"_s);
    EXPECT_TRUE(altre.contains(u"MESSAGGIO attenzione: Selezionare prima una o più celle"_s));
    EXPECT_TRUE(contiene(altre, u"LOG "_s)) << altre.join(u'\n').toStdString();
    EXPECT_EQ(altre.last(), u"ERRORE il pannello non è aperto"_s);
}

TEST_F(PannelloTest, ASendThatFailsKeepsTheChangesAndStartsNoSync)
{
    const QStringList tabella = host(u"gestione\ntabella\n"_s);
    ASSERT_GE(tabella.size(), 2);
    // The server refuses the first patient's row.
    AdminConnection admin;
    ASSERT_TRUE(admin.exec(u"CREATE TRIGGER quor.Rifiuta BEFORE INSERT ON quor.tblanagrafica FOR EACH ROW "
                           "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'rifiutato'"_s))
        << admin.lastError().toStdString();

    int stato = 0;
    const QStringList righe = host(u"gestione\nblocco 1 1 1 1\npulsante 2\npulsante 4\nchiudi-pannello\n"_s, &stato);
    EXPECT_EQ(stato, 1);
    EXPECT_TRUE(righe.last().startsWith(u"ERRORE domanda senza risposta: Le modifiche apportate"_s))
        << "the changes are still to be sent" << righe.join(u'\n').toStdString();
    const QStringList log = messaggi(m_archivio.section(u'/', 0, -2) + u"/Lanvera.log"_s);
    const qsizetype avvio = log.lastIndexOf(frmInviaRicevi::RigaAvvio());
    ASSERT_GE(avvio, 0);
    const QStringList invio = log.mid(avvio);
    EXPECT_TRUE(std::any_of(invio.cbegin(), invio.cend(), [](const QString &r) {
        return r == u"Invio Cartella: Errore rifiutato"_s;
    })) << invio.join(u'\n').toStdString();
    EXPECT_FALSE(invio.contains(u"Operazione conclusa"_s));
    EXPECT_FALSE(QFile::exists(percorso(u"dati/Dorvane/Quor/Quor.log"_s))) << "no Sync was started";
}

TEST_F(PannelloTest, AColleagueFindsExactlyThePatientsAuthorisedForHim)
{
    // Rossi's patients on the server, as Bianchi (position 2) may or may not see them.
    AdminConnection admin;
    const struct
    {
        const char *cognome;
        const char *nome;
        const char *autorizzazioni;
    } righe[] = {{"Alfa", "Anna", "01"}, {"Beta", "Bruno", "00"}, {"Gamma", "Gino", "1"}, {"D'Angelo", "Dora", "11"}};
    for (const auto &r : righe) {
        QSqlQuery q(admin.database());
        q.prepare(u"INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, IDDatabase, "
                  "Autorizzazioni, DataNascita) VALUES (?, 'XXXYYY80A01H501Z', ?, ?, ?, ?, ?, '01/02/1980')"_s);
        for (const QVariant &v :
             {QVariant(u"xxxyyy80a01h501z;%1;%2"_s.arg(QString::fromUtf8(r.cognome).toLower(),
                                                       QString::fromUtf8(r.nome).toLower())),
              QVariant(QString::fromUtf8(r.cognome)), QVariant(QString::fromUtf8(r.nome)), QVariant(CfRossi),
              QVariant(m_idRossi), QVariant(QString::fromLatin1(r.autorizzazioni))}) {
            q.addBindValue(v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }
    diventaBianchi();

    const QStringList tutti = host(u"medico %1\ncerca *\nelenco\n"_s.arg(CfRossi));
    ASSERT_EQ(tutti.size(), 2) << tutti.join(u'\n').toStdString();
    EXPECT_EQ(tutti.at(0), u"1\tAlfa\tAnna\tRossi Mario\t\t\t\t01/02/1980\t\t%1\t\t\t\t\t\t"
                           "plgLanvera.xxxyyy80a01h501z;alfa;anna\tXXXYYY80A01H501Z"_s.arg(
                               Module1::EtaDaData(u"01/02/1980"_s, QDate::currentDate())));
    EXPECT_TRUE(tutti.at(1).startsWith(u"2\tD'Angelo\tDora\t"_s));

    for (const auto &[testo, atteso] : {std::pair{u"D'Ang"_s, 1}, std::pair{u"*a A"_s, 1}, std::pair{u"Beta"_s, 0}}) {
        const QStringList trovati = host(u"medico %1\ncerca %2\nelenco\n"_s.arg(CfRossi, testo));
        EXPECT_EQ(trovati.size(), atteso) << testo.toStdString() << "\n" << trovati.join(u'\n').toStdString();
    }
    // A suspended owner is not among the doctors to choose: the search ends without a list.
    admin.exec(u"UPDATE quor.tblmedici SET Sospeso=1 WHERE CF='%1'"_s.arg(CfRossi));
    EXPECT_TRUE(host(u"medico %1\ncerca *\nelenco\n"_s.arg(CfRossi)).isEmpty());
}

TEST_F(PannelloTest, AColleagueOpensASharedChartWithEveryRowAsSent)
{
    const QString studio = m_archivio;
    const QString nome = condividiConBianchi();
    const int diari = valore(studio, u"SELECT count(*) FROM tblDiario d JOIN tblAnagrafica a ON a.ID=d.IDPaziente "
                                     "WHERE a.Cognome || ' ' || a.Nome = '%1'"_s.arg(nome))
                          .toInt();
    AdminConnection admin;
    int stato = -1;
    const QStringList righe = host(u"medico %1\ncerca %2\navanti 1\n"_s.arg(CfRossi, nome.section(u' ', 0, 0)), &stato);
    EXPECT_EQ(stato, 0) << righe.join(u'\n').toStdString();
    const QString rete = percorso(u"tmp/Lanvera/ClinoraQUOR.mdb"_s);
    ASSERT_TRUE(QFile::exists(rete)) << righe.join(u'\n').toStdString();
    EXPECT_EQ(valore(rete, u"SELECT Cognome || ' ' || Nome FROM tblAnagrafica"_s).toString(), nome);
    EXPECT_EQ(valore(rete, u"SELECT count(*) FROM tblDiario"_s).toInt(), diari);
    EXPECT_EQ(valore(rete, u"SELECT count(*) FROM tblDiario WHERE ToSend<>-1"_s).toInt(), 0);
    EXPECT_EQ(valore(rete, u"SELECT count(*) FROM tblMedico WHERE CodiceFiscale='%1'"_s.arg(CfBianchi)).toInt(), 1)
        << "the host's own tables came from his archive";
    EXPECT_FALSE(QFile::exists(PacchettoCartella::FileMdb()));

    // His diary entry goes back when he closes the chart; Rossi's Sync merges it and sends the chart out.
    // Then, in the same session and from the network archive, the chart once more: the host's own
    // archive still gives the network archive its tables.
    const QStringList invio = host(u"medico %1\ncerca %2\navanti 1\ndiario Visto dal collega\nchiudi-cartella\n"
                                   "medico %1\ncerca %2\navanti 1\n"_s.arg(CfRossi, nome.section(u' ', 0, 0)));
    EXPECT_FALSE(contiene(invio, u"MESSAGGIO"_s)) << invio.join(u'\n').toStdString();
    EXPECT_EQ(admin
                  .scalar(u"SELECT count(*) FROM quor.tblmodifiche WHERE CFMedico='%1' AND CFMedicoTitolare='%2'"_s.arg(
                      CfBianchi, CfRossi))
                  .toInt(),
              1)
        << invio.join(u'\n').toStdString();
    EXPECT_EQ(valore(rete, u"SELECT count(*) FROM tblDiario WHERE ToSend<>-1"_s).toInt(), 0) << "as sent";
    syncRossi();
    EXPECT_EQ(valore(studio, u"SELECT ModificatoDa FROM tblDiario WHERE Diario='Visto dal collega'"_s).toString(),
              u"Bianchi Lucia"_s);
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblmodifiche"_s).toInt(), 0);

    // A host that does not switch to the network archive: the download ends without a chart.
    const QStringList rifiutato =
        host(u"medico %1\ncerca %2\nrifiuta-cambio\navanti 1\ndiario mai\n"_s.arg(CfRossi, nome.section(u' ', 0, 0)));
    EXPECT_EQ(rifiutato.value(rifiutato.size() - 1), u"ERRORE nessuna cartella aperta"_s)
        << rifiutato.join(u'\n').toStdString();

    // A chart that is not on the server: said so, and the network archive is left as it was.
    admin.exec(u"DELETE FROM quor_%1.tblcartella"_s.arg(m_idRossi));
    const QStringList mancante = host(u"medico %1\ncerca %2\navanti 1\n"_s.arg(CfRossi, nome.section(u' ', 0, 0)));
    EXPECT_TRUE(mancante.contains(u"MESSAGGIO attenzione: Scarica paziente dal server: La cartella non esiste"_s))
        << mancante.join(u'\n').toStdString();
}

TEST_F(PannelloTest, ChangesThatCannotBeSentWaitInTheOutboxAndGoAtTheNextAccess)
{
    const QString nome = condividiConBianchi();
    const QString cerca = u"medico %1\ncerca %2\n"_s.arg(CfRossi, nome.section(u' ', 0, 0));
    AdminConnection admin;
    ASSERT_TRUE(admin.exec(u"CREATE TRIGGER quor.Spento BEFORE INSERT ON quor.tblmodifiche FOR EACH ROW "
                           "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'server spento'"_s));
    const QStringList righe = host(cerca + u"avanti 1\ndiario Visita del collega\nrispondi no\nchiudi-cartella\n"_s);
    EXPECT_TRUE(contiene(righe, u"NB: Le modifiche non inviate saranno inviate al prossimo accesso al server."_s))
        << righe.join(u'\n').toStdString();
    const QDir uscita(percorso(u"dati/Clinora/User/Plugins/plgLanvera/Uscita"_s));
    EXPECT_EQ(uscita.entryList(QDir::Files).size(), 1);
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblmodifiche"_s).toInt(), 0);

    // The next access sends it, and the owner's Sync merges it once.
    ASSERT_TRUE(admin.exec(u"DROP TRIGGER quor.Spento"_s));
    host(cerca);
    EXPECT_EQ(uscita.entryList(QDir::Files).size(), 0);
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblmodifiche"_s).toInt(), 1);
    syncRossi();
    EXPECT_EQ(valore(m_studio, u"SELECT count(*) FROM tblDiario WHERE Diario='Visita del collega'"_s).toInt(), 1);
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblmodifiche"_s).toInt(), 0);
}

TEST_F(PannelloTest, UnsentRowsOfAChartLeftOpenAreKeptBeforeTheNextDownload)
{
    const QString nome = condividiConBianchi();
    const QString cerca = u"medico %1\ncerca %2\n"_s.arg(CfRossi, nome.section(u' ', 0, 0));
    // The host ends with the chart still open: its new entry was never sent.
    host(cerca + u"avanti 1\ndiario Scritta e mai inviata\n"_s);
    EXPECT_EQ(valore(percorso(u"tmp/Lanvera/ClinoraQUOR.mdb"_s), u"SELECT count(*) FROM tblDiario WHERE ToSend<>-1"_s)
                  .toInt(),
              1);
    // The next download keeps it in the outbox before it replaces the archive; the access after
    // that sends it.
    int stato = -1;
    const QStringList seconda = host(cerca + u"avanti 1\ndiario la cartella è aperta\n"_s, &stato);
    EXPECT_EQ(stato, 0) << seconda.join(u'\n').toStdString();
    const QDir uscita(percorso(u"dati/Clinora/User/Plugins/plgLanvera/Uscita"_s));
    EXPECT_EQ(uscita.entryList(QDir::Files).size(), 1);
    host(cerca);
    EXPECT_EQ(uscita.entryList(QDir::Files).size(), 0);
    AdminConnection admin;
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblmodifiche WHERE CFMedico='%1'"_s.arg(CfBianchi)).toInt(), 1);
    syncRossi();
    EXPECT_EQ(valore(m_studio, u"SELECT count(*) FROM tblDiario WHERE Diario='Scritta e mai inviata'"_s).toInt(), 1);
}

TEST_F(PannelloTest, AHostileChartIsRefusedAndLeavesNothingBehind)
{
    const QString nome = condividiConBianchi();
    // A well-formed package whose one entry would be written outside the work folder.
    const QString zip = percorso(u"ostile.zip"_s);
    int codice = 0;
    zip_t *archivio = zip_open(QFile::encodeName(zip).constData(), ZIP_CREATE | ZIP_EXCL, &codice);
    ASSERT_NE(archivio, nullptr);
    static const char dati[] = "non un database";
    ASSERT_GE(zip_file_add(archivio, "../Cartella.mdb", zip_source_buffer(archivio, dati, sizeof dati, 0), 0), 0);
    ASSERT_EQ(zip_close(archivio), 0);
    QFile f(zip);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString testo;
    clsBase64().Base64EncoderString(f.readAll(), testo);
    AdminConnection admin;
    QSqlQuery q(admin.database());
    q.prepare(u"UPDATE quor_%1.tblcartella SET Cartella=?"_s.arg(m_idRossi));
    q.addBindValue(testo);
    ASSERT_TRUE(q.exec());

    const QStringList righe = host(u"medico %1\ncerca %2\navanti 1\n"_s.arg(CfRossi, nome.section(u' ', 0, 0)));
    EXPECT_TRUE(righe.contains(u"MESSAGGIO attenzione: Scarica paziente dal server: Errore UNZIP 2"_s))
        << righe.join(u'\n').toStdString();
    EXPECT_FALSE(QFile::exists(percorso(u"tmp/Lanvera/ClinoraQUOR.mdb"_s)));
    EXPECT_FALSE(QFile::exists(percorso(u"tmp/Cartella.mdb"_s)));
    EXPECT_TRUE(QDir(percorso(u"tmp/Sync"_s)).entryList(QDir::Files).isEmpty());
}

TEST_F(PannelloTest, RemovalNeedsBothConfirmations)
{
    const QStringList tabella = host(u"gestione\ntabella\n"_s);
    ASSERT_GE(tabella.size(), 2);
    host(u"gestione\nblocco 1 1 1 2\npulsante 2\npulsante 4\nattendi-sync\n"_s);
    AdminConnection admin;
    ASSERT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblanagrafica"_s).toInt(), 1);
    const QString cf = admin.scalar(u"SELECT CF FROM quor.tblanagrafica"_s).toString();

    for (const QString &risposte : {u"rispondi no\n"_s, u"rispondi si\nrispondi no\n"_s}) {
        host(u"gestione\nrimuovi %1\n%2pulsante 7\n"_s.arg(cf, risposte));
        EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblanagrafica"_s).toInt(), 1) << risposte.toStdString();
    }
    host(u"gestione\nrimuovi %1\nrispondi si\nrispondi si\npulsante 7\n"_s.arg(cf));
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor.tblanagrafica"_s).toInt(), 0);
    EXPECT_EQ(admin.scalar(u"SELECT count(*) FROM quor_%1.tblcartella"_s.arg(m_idRossi)).toInt(), 0);
}

} // namespace

// Dr Romano keeps his patients behind the stand-in Ulmet service; Rossi works on one of them.
class UlmetTest : public PannelloTest
{
protected:
    static inline const QString CfRomano = u"RMNLRA55D50H501Q"_s;

    void SetUp() override
    {
        PannelloTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        registraMedico(CfRomano, u"Romano"_s, u"Laura"_s, {}, 1, 7);
        AdminConnection admin;
        ASSERT_TRUE(admin.exec(u"UPDATE quor.tblmedici SET Ulmet='ulmet-romano' WHERE CF='%1'"_s.arg(CfRomano)));
        QDir().mkpath(percorso(u"Romano"_s));
        m_romano = generaArchivio(u"Romano/Clinora.mdb"_s, 3, CfRomano, {}, 0.3);
        m_cognome = valore(m_romano, u"SELECT Cognome FROM tblAnagrafica ORDER BY ID LIMIT 1"_s).toString();
        m_idPaziente = valore(m_romano, u"SELECT ID FROM tblAnagrafica ORDER BY ID LIMIT 1"_s).toInt();
        avviaUlmet(Module1::CifraPassword(u"Giusta123"_s));
        ASSERT_TRUE(lanvera::ScriviIniFile(m_programmi + u"/plgLanvera.ini"_s, u"Setup"_s, u"TimeoutUlmet"_s, u"5"_s));
    }

    void TearDown() override
    {
        fermaUlmet();
        PannelloTest::TearDown();
    }

    // The service on a free port, Rossi's stored password the one it expects of him.
    void avviaUlmet(const QString &passwordRossi)
    {
        fermaUlmet();
        m_servizio = std::make_unique<QProcess>();
        m_servizio->start(qEnvironmentVariable("LANVERA_OUTPUT_DIR") + u"/ulmet-service"_s,
                          {u"--port"_s, m_porta.isEmpty() ? u"0"_s : m_porta, u"--medico"_s, CfRomano + u'=' + m_romano,
                           u"--password"_s, CfRossi + u'=' + passwordRossi, u"--ricevuti"_s, percorso(u"ricevuti"_s),
                           u"--log"_s, percorso(u"ulmet.log"_s)});
        ASSERT_TRUE(m_servizio->waitForReadyRead(10000));
        const QString riga = QString::fromUtf8(m_servizio->readLine()).trimmed();
        ASSERT_TRUE(riga.startsWith(u"in ascolto sulla porta "_s)) << riga.toStdString();
        m_porta = riga.section(u' ', -1);
        ASSERT_TRUE(lanvera::ScriviIniFile(m_programmi + u"/plgLanvera.ini"_s, u"Setup"_s, u"PortUlmet"_s, m_porta));
    }

    void fermaUlmet()
    {
        if (m_servizio) {
            m_servizio->kill();
            m_servizio->waitForFinished();
            m_servizio.reset();
        }
    }

    QString cerca() const { return u"medico %1\ncerca %2\n"_s.arg(CfRomano, m_cognome); }
    int diari(const QString &testo) const
    {
        return valore(m_romano, u"SELECT count(*) FROM tblDiario WHERE IDPaziente=? AND Diario LIKE ?"_s,
                      {QVariant(m_idPaziente), QVariant(u'%' + testo + u'%')})
            .toInt();
    }
    int ricevuti() const { return int(QDir(percorso(u"ricevuti"_s)).entryList(QDir::Files).size()); }

    std::unique_ptr<QProcess> m_servizio;
    QString m_porta;
    QString m_romano;
    QString m_cognome;
    int m_idPaziente = 0;
};

TEST_F(UlmetTest, AColleaguesUlmetChartIsFoundOpenedAndItsNewEntryReachesTheService)
{
    const QStringList elenco = host(cerca() + u"elenco\n"_s);
    ASSERT_TRUE(contiene(elenco, u"plgLanvera.Ulmet.%1"_s.arg(m_idPaziente))) << elenco.join(u'\n').toStdString();
    EXPECT_FALSE(contiene(elenco, u"MESSAGGIO"_s));

    // Opened and closed unchanged: nothing travels.
    int stato = -1;
    const QStringList aperta = host(cerca() + u"avanti 1\nchiudi-cartella\n"_s, &stato);
    EXPECT_EQ(stato, 0) << aperta.join(u'\n').toStdString();
    const QString rete = percorso(u"tmp/Lanvera/ClinoraQUOR.mdb"_s);
    EXPECT_EQ(valore(rete, u"SELECT Cognome FROM tblAnagrafica"_s).toString(), m_cognome);
    EXPECT_GT(valore(rete, u"SELECT count(*) FROM tblDiario"_s).toInt(), 0);
    EXPECT_EQ(valore(rete, u"SELECT count(*) FROM tblDiario WHERE ToSend<>-1"_s).toInt(), 0);
    EXPECT_EQ(ricevuti(), 0);
    for (const QString &f : {u"Dati.xml"_s, u"Cartella.zip"_s, u"Cartella.b64"_s}) {
        EXPECT_FALSE(QFile::exists(percorso(u"tmp/Lanvera/"_s + f))) << f.toStdString();
    }

    // A new entry goes back once, into Romano's archive.
    const QStringList invio = host(cerca() + u"avanti 1\ndiario Visto da Rossi su Ulmet\nchiudi-cartella\n"_s);
    EXPECT_FALSE(contiene(invio, u"MESSAGGIO"_s)) << invio.join(u'\n').toStdString();
    EXPECT_EQ(diari(u"Visto da Rossi su Ulmet"_s), 1);
    EXPECT_EQ(ricevuti(), 1);
}

TEST_F(UlmetTest, RefusalsAndASilentServiceLoseNothing)
{
    // A password the service does not accept: its error is shown, nothing is listed.
    avviaUlmet(u"{AES}altra"_s);
    const QStringList rifiutata = host(cerca() + u"elenco\n"_s);
    EXPECT_TRUE(contiene(rifiutata, u"Ulmet ha sollevato il seguente errore:"_s))
        << rifiutata.join(u'\n').toStdString();
    EXPECT_FALSE(contiene(rifiutata, u"plgLanvera.Ulmet."_s));

    // No service at all: an empty search, without a message.
    fermaUlmet();
    const QStringList muta = host(cerca() + u"elenco\n"_s);
    EXPECT_FALSE(contiene(muta, u"MESSAGGIO"_s)) << muta.join(u'\n').toStdString();
    EXPECT_FALSE(contiene(muta, u"plgLanvera.Ulmet."_s));

    // A chart left open with a new entry (the host closed before its window): the next download
    // keeps the entry in the outbox as a chart document, and the access after it sends it, once.
    avviaUlmet(Module1::CifraPassword(u"Giusta123"_s));
    host(cerca() + u"avanti 1\ndiario Nota rimasta aperta\n"_s);
    const QStringList di_nuovo = host(cerca() + u"avanti 1\n"_s);
    EXPECT_FALSE(contiene(di_nuovo, u"MESSAGGIO"_s)) << di_nuovo.join(u'\n').toStdString();
    const QDir uscita(percorso(u"dati/Clinora/User/Plugins/plgLanvera/Uscita"_s));
    EXPECT_EQ(uscita.entryList(QDir::Files).size(), 1);
    EXPECT_EQ(diari(u"Nota rimasta aperta"_s), 0);
    host(cerca());
    EXPECT_EQ(uscita.entryList(QDir::Files).size(), 0);
    EXPECT_EQ(diari(u"Nota rimasta aperta"_s), 1);
    host(cerca());
    EXPECT_EQ(diari(u"Nota rimasta aperta"_s), 1);

    // A doctor never asks his own Ulmet archive.
    AdminConnection admin;
    ASSERT_TRUE(admin.exec(u"UPDATE quor.tblmedici SET Ulmet='ulmet-rossi' WHERE CF='%1'"_s.arg(CfRossi)));
    const auto richieste = [this] {
        QFile log(percorso(u"ulmet.log"_s));
        return log.open(QIODevice::ReadOnly) ? log.readAll().count("cercapaziente") : -1;
    };
    const qsizetype prima = richieste();
    host(u"medico %1\ncerca *\n"_s.arg(CfRossi));
    EXPECT_EQ(richieste(), prima);
}

// A service that answers every search with one patient and every download with the "dati" given:
// blocking sockets on a thread of its own, as the host runs in another process.
class ServizioFinto : public QThread
{
public:
    explicit ServizioFinto(QByteArray dati) : m_dati(std::move(dati)) {}
    ~ServizioFinto() override
    {
        requestInterruption();
        wait();
    }
    quint16 porta() const { return m_porta; }
    void avvia()
    {
        start();
        while (m_porta == 0) {
            QThread::msleep(5);
        }
    }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_porta = server.serverPort();
        while (!isInterruptionRequested()) {
            if (!server.waitForNewConnection(50)) {
                continue;
            }
            std::unique_ptr<QTcpSocket> s(server.nextPendingConnection());
            QByteArray richiesta;
            while (!richiesta.contains("</ulmet>") && s->waitForReadyRead(2000)) {
                richiesta += s->readAll();
            }
            const QByteArray corpo =
                "<ulmet><header><esito>OK</esito></header><dati>" +
                (richiesta.contains("cercapaziente")
                     ? QByteArray(
                           "<record><idcartella>7</idcartella><cognome>Finto</cognome><nome>Nome</nome></record>")
                     : m_dati) +
                "</dati></ulmet>";
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
                     QByteArray::number(corpo.size()) + "\r\n\r\n" + corpo);
            s->waitForBytesWritten(2000);
            s->disconnectFromHost();
        }
    }

private:
    QByteArray m_dati;
    std::atomic<quint16> m_porta = 0;
};

// A zip archive of one entry, as Base64.
QByteArray ZipBase64(const char *nome, const QByteArray &contenuto)
{
    zip_error_t e;
    zip_error_init(&e);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &e);
    zip_t *z = zip_open_from_source(buffer, ZIP_TRUNCATE, &e);
    zip_source_keep(buffer);
    zip_file_add(z, nome, zip_source_buffer(z, contenuto.constData(), zip_uint64_t(contenuto.size()), 0), 0);
    zip_close(z);
    zip_source_open(buffer);
    zip_source_seek(buffer, 0, SEEK_END);
    const zip_int64_t n = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    QByteArray dati(qsizetype(n), '\0');
    zip_source_read(buffer, dati.data(), zip_uint64_t(n));
    zip_source_close(buffer);
    zip_source_free(buffer);
    return dati.toBase64();
}

TEST_F(UlmetTest, EveryBrokenDownloadSaysWhyAndLeavesNoFile)
{
    struct Caso
    {
        QByteArray dati;
        const char *messaggio;
        bool senzaModello = false;
    };
    const Caso casi[] = {
        {"", "Scarica paziente dal server Ulmet: Errore B64"},
        {"bm9uIMOoIHVuIHppcA==", "Scarica paziente dal server Ulmet: Errore UNZIP 1"},
        {ZipBase64("../Dati.xml", "<dati/>"), "Scarica paziente dal server Ulmet: Errore UNZIP 2"},
        {ZipBase64("Dati.xml", "<anagrafica>non chiuso"), "Scarica paziente dal server Ulmet: Errore apertura dati"},
        {ZipBase64("Dati.xml", "<dati/>"), "Scarica paziente dal server Ulmet: Errore verifica struttura", true},
    };
    const QString modello = m_programmi + u"/ClinoraTemp.mdb"_s;
    for (const Caso &c : casi) {
        SCOPED_TRACE(c.messaggio);
        ServizioFinto finto(c.dati);
        finto.avvia();
        ASSERT_TRUE(lanvera::ScriviIniFile(m_programmi + u"/plgLanvera.ini"_s, u"Setup"_s, u"PortUlmet"_s,
                                           QString::number(finto.porta())));
        if (c.senzaModello) {
            QFile::rename(modello, modello + u".via"_s);
        }
        const QStringList righe = host(cerca() + u"avanti 1\n"_s);
        QFile::rename(modello + u".via"_s, modello);
        EXPECT_TRUE(righe.contains(u"MESSAGGIO attenzione: "_s + QLatin1StringView(c.messaggio)))
            << righe.join(u'\n').toStdString();
        EXPECT_EQ(QDir(percorso(u"tmp/Lanvera"_s)).entryList(QDir::Files), QStringList()) << "no work file is left";
    }
}
