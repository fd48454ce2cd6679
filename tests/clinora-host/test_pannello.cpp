#include "Module1.h"
#include "SyncFixture.h"
#include "frmInviaRicevi.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <optional>
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
        m_idRossi = dalServer(u"SELECT ID FROM quor.tblmedici WHERE CF='%1'"_s.arg(CfRossi)).toInt();

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
    // host's own ini file every doctor of the computer has a key of his own. The unattended one goes.
    void ricorda(const QString &password, bool k47 = false)
    {
        QFile ini(m_host + u"/K47.ini"_s);
        ASSERT_TRUE(k47 ? ini.open(QIODevice::WriteOnly) : !ini.exists() || ini.remove());
        lanvera::dao::Database db;
        ASSERT_TRUE(db.apri(m_archivio));
        ASSERT_TRUE(db.esegui(u"DELETE FROM arcItems WHERE [Key] LIKE 'QUOR.PasswordMedico%'"_s));
        ASSERT_TRUE(db.esegui(
            u"INSERT INTO arcItems ([Key], Item) VALUES (?, ?)"_s,
            {k47 ? u"QUOR.PasswordMedico."_s + CfRossi : u"QUOR.PasswordMedico"_s, Module1::CifraPassword(password)}));
    }

    // A zip archive of one entry, as Base64.
    QByteArray zipBase64(const char *nome, const QByteArray &contenuto) const
    {
        const QString file = percorso(u"pacchetto.zip"_s);
        int errore = 0;
        zip_t *z = zip_open(QFile::encodeName(file).constData(), ZIP_CREATE | ZIP_TRUNCATE, &errore);
        zip_file_add(z, nome, zip_source_buffer(z, contenuto.constData(), zip_uint64_t(contenuto.size()), 0), 0);
        zip_close(z);
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll().toBase64() : QByteArray();
    }

    QString item(const QString &chiave) const
    {
        return valore(m_archivio, u"SELECT Item FROM arcItems WHERE [Key]='%1' ORDER BY ID DESC"_s.arg(chiave))
            .toString();
    }

    // One statement on the server, its values bound; the server's error when it fails.
    static testing::AssertionResult sulServer(const QString &sql, const QVariantList &valori = {})
    {
        AdminConnection admin;
        QSqlQuery q(admin.database());
        q.prepare(sql);
        for (const QVariant &v : valori) {
            q.addBindValue(v);
        }
        return q.exec() ? testing::AssertionSuccess()
                        : testing::AssertionFailure() << q.lastError().text().toStdString();
    }
    static QVariant dalServer(const QString &sql) { return AdminConnection().scalar(sql); }
    static int modifiche(const QString &condizione = u"1"_s)
    {
        return dalServer(u"SELECT count(*) FROM quor.tblmodifiche WHERE "_s + condizione).toInt();
    }

    // What a doctor's session leaves: the network archive, its rows not sent, the outbox.
    QString rete() const { return percorso(u"tmp/Lanvera/ClinoraQUOR.mdb"_s); }
    int nonInviate() const { return valore(rete(), u"SELECT count(*) FROM tblDiario WHERE ToSend<>-1"_s).toInt(); }
    qsizetype inUscita() const
    {
        return QDir(percorso(u"dati/Clinora/User/Plugins/plgLanvera/Uscita"_s)).entryList(QDir::Files).size();
    }

    // A program run to its end, without a display, the script on its input: its output lines, its exit
    // status checked when `stato` is given.
    QStringList esegui(const QString &programma, const QStringList &argomenti, const QString &script = {},
                       std::optional<int> stato = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, percorso(u"dati"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QDir().mkpath(percorso(u"tmp"_s));
        env.insert(u"TMPDIR"_s, percorso(u"tmp"_s));
        p.setProcessEnvironment(env);
        p.start(programma, argomenti);
        p.write(script.toUtf8());
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(300000));
        const QStringList righe = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        if (stato) {
            EXPECT_EQ(p.exitCode(), *stato) << script.toStdString() << uniti(righe);
        }
        return righe;
    }
    QStringList host(const QString &script, std::optional<int> stato = {})
    {
        return esegui(m_host + u"/clinora-host"_s, {u"--archivio"_s, m_archivio, u"--script"_s, u"-"_s}, script, stato);
    }
    // Rossi's unattended Sync on his archive.
    void syncRossi() { esegui(m_programmi + u"/Sync"_s, {m_studio}); }

    static std::string uniti(const QStringList &righe) { return righe.join(u'\n').toStdString(); }
    // Whether the output has a line holding `testo` (`intera`: that very line); the output goes with
    // the result, so a failed check either way shows it.
    static testing::AssertionResult contiene(const QStringList &righe, const QString &testo, bool intera = false)
    {
        const auto c = [&](const QString &r) { return intera ? r == testo : r.contains(testo); };
        return (std::any_of(righe.cbegin(), righe.cend(), c) ? testing::AssertionSuccess()
                                                             : testing::AssertionFailure())
               << "output:\n"
               << uniti(righe);
    }
    // The host showed the message box `testo`.
    static testing::AssertionResult avvisa(const QStringList &righe, const QString &testo)
    {
        return contiene(righe, u"MESSAGGIO attenzione: "_s + testo, true);
    }

    // The archive in use becomes Bianchi's, at his own computer, his password remembered.
    void diventaBianchi()
    {
        EXPECT_TRUE(sulServer(u"UPDATE quor.tblmedici SET Password=? WHERE CF=?"_s,
                              {Module1::CifraPassword(u"Bianchi12"_s), CfBianchi}));
        m_studio = m_archivio;
        m_archivio = secondaInstallazione(u"Bianchi.mdb"_s);
        lanvera::dao::Database db;
        EXPECT_TRUE(db.apri(m_archivio));
        EXPECT_TRUE(db.esegui(u"UPDATE tblMedico SET CodiceFiscale=?"_s, {CfBianchi}));
        db.chiudi();
        ricorda(u"Bianchi12"_s);
    }

    // Rossi authorises Bianchi for his first patient and the panel's Sync publishes the chart; then
    // Bianchi is at the keyboard, `m_cerca` finding the patient. The patient's name.
    QString condividiConBianchi()
    {
        const QStringList tabella = host(u"gestione\ntabella\n"_s);
        EXPECT_GE(tabella.size(), 2);
        const QString nome = tabella.value(1).section(u'\t', 0, 0);
        host(u"gestione\ncella \"%1\" Bianchi\npulsante 2\npulsante 4\nattendi-sync\n"_s.arg(nome));
        diventaBianchi();
        m_cerca = u"medico %1\ncerca %2\n"_s.arg(CfRossi, nome.section(u' ', 0, 0));
        return nome;
    }

    int m_idRossi = 0;
    QString m_studio;
    QString m_host;
    QString m_programmi;
    QString m_archivio;
    QString m_cerca;
};

TEST_F(PannelloTest, EveryWayThroughTheAccess)
{
    const QString cifrata = Module1::CifraPassword(u"Giusta123"_s);
    const struct
    {
        const char *caso;
        QString server;    // the password on the server, as stored
        QString ricordata; // what the archive remembers, in clear
        const char *script;
        bool caricata;         // the table was read
        const char *messaggio; // a message box that must show
        bool k47;              // the host's own ini file is there
    } casi[] = {
        {"same as the server's", cifrata, u"Giusta123"_s, {}, true, {}, false},
        {"same, under the doctor's own key", cifrata, u"Giusta123"_s, {}, true, {}, true},
        {"another, typed right", cifrata, u"Vecchia99"_s, "password Giusta123 ricorda\n", true, {}, false},
        {"another, typed wrong", cifrata, u"Vecchia99"_s, "password Sbagliata1\n", false, "Password non valida", false},
        {"another, cancelled", cifrata, u"Vecchia99"_s, "password annulla\n", false, {}, false},
        {"unset, created", {}, {}, "nuova-password Nuova1234 Nuova1234 ricorda\n", true, {}, false},
        {"unset, cancelled", {}, {}, "nuova-password annulla\n", false, "Password di accesso non impostata", false},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        ASSERT_TRUE(sulServer(u"UPDATE quor.tblmedici SET Password=? WHERE CF=?"_s, {c.server, CfRossi}));
        ASSERT_NO_FATAL_FAILURE(ricorda(c.ricordata, c.k47));
        const QStringList righe = host(QString::fromUtf8(c.script) + u"gestione\ntabella\n"_s);
        EXPECT_EQ(bool(contiene(righe, u"Bianchi Lucia\tVerdi Giuseppe"_s)), c.caricata) << uniti(righe);
        if (c.messaggio) {
            EXPECT_TRUE(avvisa(righe, QString::fromUtf8(c.messaggio)));
        }
    }
    // The last created password is the server's, the unattended one and the remembered one.
    ricorda(u"Nuova1234"_s);
    EXPECT_TRUE(sulServer(u"UPDATE quor.tblmedici SET Password=? WHERE CF=?"_s,
                          {Module1::CifraPassword(u"Nuova1234"_s), CfRossi}));
    // The password changed from the panel, not remembered.
    EXPECT_FALSE(contiene(host(u"gestione\nnuova-password Cambiata1 Cambiata1\npulsante 6\n"_s), u"MESSAGGIO"_s));
    EXPECT_EQ(dalServer(u"SELECT Password FROM quor.tblmedici WHERE CF='%1'"_s.arg(CfRossi)).toString(),
              Module1::CifraPassword(u"Cambiata1"_s));
    EXPECT_EQ(item(u"QUOR.PasswordMedicoSync"_s), Module1::CifraPassword(u"Cambiata1"_s));
    EXPECT_EQ(item(u"QUOR.PasswordMedico"_s), QString());
}

TEST_F(PannelloTest, AuthorisationsGoUpOnlyWhenChangedAndSyncPublishes)
{
    const QStringList tabella = host(u"gestione\ntabella\n"_s);
    ASSERT_GE(tabella.size(), 3) << uniti(tabella);
    EXPECT_EQ(tabella.first(), u"Bianchi Lucia\tVerdi Giuseppe"_s);
    const QString primo = tabella.at(1).section(u'\t', 0, 0);
    const QString secondo = tabella.at(2).section(u'\t', 0, 0);

    // First patient: Bianchi alone; second: both (a block); nobody else is touched.
    host(u"gestione\ncella \"%1\" Bianchi\npulsante 2\nblocco 2 1 2 2\npulsante 2\npulsante 4\nattendi-sync\n"
         "tabella\n"_s.arg(primo),
         0);
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
    EXPECT_EQ(nuove.filter(QRegularExpression(u"^Aggiorno autorizzazion"_s)).size(), 1) << uniti(nuove);

    // Closing the panel with a change asks, and Yes sends it.
    host(u"gestione\nblocco 2 1 2 1\npulsante 2\nrispondi si\nchiudi-pannello\n"_s);
    EXPECT_EQ(autorizzazioni(secondo), u"01001"_s);

    // A selection that starts in the names is refused; the log shows; the host's "chiuditutto"
    // closes the panel.
    const QStringList altre = host(u"gestione\nblocco 0 0 1 1\npulsante 2\npulsante 1\ncomando chiuditutto\n"
                                   "pulsante 2\n"_s);
    EXPECT_TRUE(avvisa(altre, u"Selezionare prima una o più celle"_s));
    EXPECT_TRUE(contiene(altre, u"LOG "_s));
    EXPECT_EQ(altre.last(), u"ERRORE il pannello non è aperto"_s);
}

TEST_F(PannelloTest, ASendThatFailsKeepsTheChangesAndStartsNoSync)
{
    ASSERT_GE(host(u"gestione\ntabella\n"_s).size(), 2);
    // The server refuses the first patient's row.
    ASSERT_TRUE(sulServer(u"CREATE TRIGGER quor.Rifiuta BEFORE INSERT ON quor.tblanagrafica FOR EACH ROW "
                          "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'rifiutato'"_s));

    const QStringList righe = host(u"gestione\nblocco 1 1 1 1\npulsante 2\npulsante 4\nchiudi-pannello\n"_s, 1);
    EXPECT_TRUE(righe.last().startsWith(u"ERRORE domanda senza risposta: Le modifiche apportate"_s))
        << "the changes are still to be sent" << uniti(righe);
    const QStringList log = messaggi(m_archivio.section(u'/', 0, -2) + u"/Lanvera.log"_s);
    const qsizetype avvio = log.lastIndexOf(frmInviaRicevi::RigaAvvio());
    ASSERT_GE(avvio, 0);
    const QStringList invio = log.mid(avvio);
    EXPECT_TRUE(invio.contains(u"Invio Cartella: Errore rifiutato"_s)) << uniti(invio);
    EXPECT_FALSE(invio.contains(u"Operazione conclusa"_s));
    EXPECT_FALSE(QFile::exists(percorso(u"dati/Dorvane/Quor/Quor.log"_s))) << "no Sync was started";
}

TEST_F(PannelloTest, AColleagueFindsExactlyThePatientsAuthorisedForHim)
{
    // Rossi's patients on the server, as Bianchi (position 2) may or may not see them.
    const struct
    {
        QString cognome, nome, autorizzazioni;
    } righe[] = {{u"Alfa"_s, u"Anna"_s, u"01"_s},
                 {u"Beta"_s, u"Bruno"_s, u"00"_s},
                 {u"Gamma"_s, u"Gino"_s, u"1"_s},
                 {u"D'Angelo"_s, u"Dora"_s, u"11"_s}};
    for (const auto &r : righe) {
        ASSERT_TRUE(
            sulServer(u"INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, CFMedico, IDDatabase, "
                      "Autorizzazioni, DataNascita) VALUES (?, 'XXXYYY80A01H501Z', ?, ?, ?, ?, ?, '01/02/1980')"_s,
                      {u"xxxyyy80a01h501z;%1;%2"_s.arg(r.cognome.toLower(), r.nome.toLower()), r.cognome, r.nome,
                       CfRossi, m_idRossi, r.autorizzazioni}));
    }
    diventaBianchi();

    const QStringList tutti = host(u"medico %1\ncerca *\nelenco\n"_s.arg(CfRossi));
    ASSERT_EQ(tutti.size(), 2) << uniti(tutti);
    EXPECT_EQ(tutti.at(0), u"1\tAlfa\tAnna\tRossi Mario\t\t\t\t01/02/1980\t\t%1\t\t\t\t\t\t"
                           "plgLanvera.xxxyyy80a01h501z;alfa;anna\tXXXYYY80A01H501Z"_s.arg(
                               Module1::EtaDaData(u"01/02/1980"_s, QDate::currentDate())));
    EXPECT_TRUE(tutti.at(1).startsWith(u"2\tD'Angelo\tDora\t"_s));

    for (const auto &[testo, atteso] : {std::pair{u"D'Ang"_s, 1}, std::pair{u"*a A"_s, 1}, std::pair{u"Beta"_s, 0}}) {
        const QStringList trovati = host(u"medico %1\ncerca %2\nelenco\n"_s.arg(CfRossi, testo));
        EXPECT_EQ(trovati.size(), atteso) << testo.toStdString() << "\n" << uniti(trovati);
    }
    // A suspended owner is not among the doctors to choose: the search ends without a list.
    EXPECT_TRUE(sulServer(u"UPDATE quor.tblmedici SET Sospeso=1 WHERE CF='%1'"_s.arg(CfRossi)));
    EXPECT_TRUE(host(u"medico %1\ncerca *\nelenco\n"_s.arg(CfRossi)).isEmpty());
}

// Bianchi on the chart Rossi shares with him: every row as sent, his entries back to Rossi whichever way
// they take, and a download that cannot be done leaves nothing behind.
TEST_F(PannelloTest, AColleagueWorksOnASharedChartAndNothingIsLost)
{
    const QString nome = condividiConBianchi();
    const int diari = valore(m_studio, u"SELECT count(*) FROM tblDiario d JOIN tblAnagrafica a ON a.ID=d.IDPaziente "
                                       "WHERE a.Cognome || ' ' || a.Nome = '%1'"_s.arg(nome))
                          .toInt();
    const QStringList righe = host(m_cerca + u"avanti 1\n"_s, 0);
    ASSERT_TRUE(QFile::exists(rete())) << uniti(righe);
    EXPECT_EQ(valore(rete(), u"SELECT Cognome || ' ' || Nome FROM tblAnagrafica"_s).toString(), nome);
    EXPECT_EQ(valore(rete(), u"SELECT count(*) FROM tblDiario"_s).toInt(), diari);
    EXPECT_EQ(nonInviate(), 0);
    EXPECT_EQ(valore(rete(), u"SELECT count(*) FROM tblMedico WHERE CodiceFiscale='%1'"_s.arg(CfBianchi)).toInt(), 1)
        << "the host's own tables came from his archive";
    EXPECT_FALSE(QFile::exists(PacchettoCartella::FileMdb()));

    // His diary entry goes back when he closes the chart; Rossi's Sync merges it and sends the chart out.
    // Then, in the same session and from the network archive, the chart once more: the host's own
    // archive still gives the network archive its tables.
    const QStringList invio =
        host(m_cerca + u"avanti 1\ndiario Visto dal collega\nchiudi-cartella\n"_s + m_cerca + u"avanti 1\n"_s);
    EXPECT_FALSE(contiene(invio, u"MESSAGGIO"_s));
    EXPECT_EQ(modifiche(u"CFMedico='%1' AND CFMedicoTitolare='%2'"_s.arg(CfBianchi, CfRossi)), 1) << uniti(invio);
    EXPECT_EQ(nonInviate(), 0) << "as sent";
    syncRossi();
    EXPECT_EQ(valore(m_studio, u"SELECT ModificatoDa FROM tblDiario WHERE Diario='Visto dal collega'"_s).toString(),
              u"Bianchi Lucia"_s);
    EXPECT_EQ(modifiche(), 0);

    // An entry left unsent, whichever way, is the one change in the outbox; the next access sends it,
    // Bianchi's, and Rossi's Sync merges it once.
    const auto consegnata = [this](const QString &diario) {
        EXPECT_EQ(inUscita(), 1);
        host(m_cerca);
        EXPECT_EQ(inUscita(), 0);
        EXPECT_EQ(dalServer(u"SELECT group_concat(CFMedico) FROM quor.tblmodifiche"_s).toString(), CfBianchi);
        syncRossi();
        EXPECT_EQ(valore(m_studio, u"SELECT count(*) FROM tblDiario WHERE Diario='%1'"_s.arg(diario)).toInt(), 1);
        EXPECT_EQ(modifiche(), 0);
    };
    {
        SCOPED_TRACE("the server refused it");
        ASSERT_TRUE(sulServer(u"CREATE TRIGGER quor.Spento BEFORE INSERT ON quor.tblmodifiche FOR EACH ROW "
                              "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'server spento'"_s));
        const QStringList spento =
            host(m_cerca + u"avanti 1\ndiario Visita del collega\nrispondi no\nchiudi-cartella\n"_s);
        EXPECT_TRUE(contiene(spento, u"NB: Le modifiche non inviate saranno inviate al prossimo accesso al server."_s));
        EXPECT_EQ(modifiche(), 0);
        ASSERT_TRUE(sulServer(u"DROP TRIGGER quor.Spento"_s));
        consegnata(u"Visita del collega"_s);
    }
    {
        // The host ends with the chart still open: the next download keeps its new entry in the
        // outbox before it replaces the archive.
        SCOPED_TRACE("the chart was left open");
        host(m_cerca + u"avanti 1\ndiario Scritta e mai inviata\n"_s);
        EXPECT_EQ(nonInviate(), 1);
        host(m_cerca + u"avanti 1\ndiario la cartella è aperta\n"_s, 0);
        consegnata(u"Scritta e mai inviata"_s);
    }

    // A host that does not switch to the network archive: the download ends without a chart.
    const QStringList rifiutato = host(m_cerca + u"rifiuta-cambio\navanti 1\ndiario mai\n"_s);
    EXPECT_EQ(rifiutato.value(rifiutato.size() - 1), u"ERRORE nessuna cartella aperta"_s) << uniti(rifiutato);

    // A well-formed package whose one entry would be written outside the work folder: refused, and
    // no file of it is left, not even the network archive.
    QFile::remove(rete());
    ASSERT_TRUE(sulServer(u"UPDATE quor_%1.tblcartella SET Cartella=?"_s.arg(m_idRossi),
                          {QString::fromLatin1(zipBase64("../Cartella.mdb", "non un database"))}));
    EXPECT_TRUE(avvisa(host(m_cerca + u"avanti 1\n"_s), u"Scarica paziente dal server: Errore UNZIP 2"_s));
    EXPECT_FALSE(QFile::exists(rete()));
    EXPECT_FALSE(QFile::exists(percorso(u"tmp/Cartella.mdb"_s)));
    EXPECT_TRUE(QDir(percorso(u"tmp/Sync"_s)).entryList(QDir::Files).isEmpty());

    // A chart that is not on the server: said so.
    EXPECT_TRUE(sulServer(u"DELETE FROM quor_%1.tblcartella"_s.arg(m_idRossi)));
    EXPECT_TRUE(avvisa(host(m_cerca + u"avanti 1\n"_s), u"Scarica paziente dal server: La cartella non esiste"_s));
}

TEST_F(PannelloTest, RemovalNeedsBothConfirmations)
{
    ASSERT_GE(host(u"gestione\ntabella\n"_s).size(), 2);
    host(u"gestione\nblocco 1 1 1 2\npulsante 2\npulsante 4\nattendi-sync\n"_s);
    const auto pazienti = [] { return dalServer(u"SELECT count(*) FROM quor.tblanagrafica"_s).toInt(); };
    ASSERT_EQ(pazienti(), 1);
    const QString cf = dalServer(u"SELECT CF FROM quor.tblanagrafica"_s).toString();

    for (const QString &risposte : {u"rispondi no\n"_s, u"rispondi si\nrispondi no\n"_s}) {
        host(u"gestione\nrimuovi %1\n%2pulsante 7\n"_s.arg(cf, risposte));
        EXPECT_EQ(pazienti(), 1) << risposte.toStdString();
    }
    host(u"gestione\nrimuovi %1\nrispondi si\nrispondi si\npulsante 7\n"_s.arg(cf));
    EXPECT_EQ(pazienti(), 0);
    EXPECT_EQ(dalServer(u"SELECT count(*) FROM quor_%1.tblcartella"_s.arg(m_idRossi)).toInt(), 0);
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
        ASSERT_TRUE(sulServer(u"UPDATE quor.tblmedici SET Ulmet='ulmet-romano' WHERE CF='%1'"_s.arg(CfRomano)));
        QDir().mkpath(percorso(u"Romano"_s));
        m_romano = generaArchivio(u"Romano/Clinora.mdb"_s, 3, CfRomano, {}, 0.3);
        m_cognome = valore(m_romano, u"SELECT Cognome FROM tblAnagrafica ORDER BY ID LIMIT 1"_s).toString();
        m_idPaziente = valore(m_romano, u"SELECT ID FROM tblAnagrafica ORDER BY ID LIMIT 1"_s).toInt();
        m_cerca = u"medico %1\ncerca %2\n"_s.arg(CfRomano, m_cognome);
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
        m_servizio.start(qEnvironmentVariable("LANVERA_OUTPUT_DIR") + u"/ulmet-service"_s,
                         {u"--port"_s, m_porta.isEmpty() ? u"0"_s : m_porta, u"--medico"_s, CfRomano + u'=' + m_romano,
                          u"--password"_s, CfRossi + u'=' + passwordRossi, u"--ricevuti"_s, percorso(u"ricevuti"_s),
                          u"--log"_s, percorso(u"ulmet.log"_s)});
        ASSERT_TRUE(m_servizio.waitForReadyRead(10000));
        const QString riga = QString::fromUtf8(m_servizio.readLine()).trimmed();
        ASSERT_TRUE(riga.startsWith(u"in ascolto sulla porta "_s)) << riga.toStdString();
        m_porta = riga.section(u' ', -1);
        ASSERT_TRUE(lanvera::ScriviIniFile(m_programmi + u"/plgLanvera.ini"_s, u"Setup"_s, u"PortUlmet"_s, m_porta));
    }

    void fermaUlmet()
    {
        m_servizio.kill();
        m_servizio.waitForFinished();
    }

    int diari(const QString &testo) const
    {
        return valore(m_romano, u"SELECT count(*) FROM tblDiario WHERE IDPaziente=? AND Diario LIKE ?"_s,
                      {QVariant(m_idPaziente), QVariant(u'%' + testo + u'%')})
            .toInt();
    }
    int ricevuti() const { return int(QDir(percorso(u"ricevuti"_s)).entryList(QDir::Files).size()); }

    QProcess m_servizio;
    QString m_porta;
    QString m_romano;
    QString m_cognome;
    int m_idPaziente = 0;
};

TEST_F(UlmetTest, AColleaguesUlmetChartIsFoundOpenedAndItsNewEntryReachesTheService)
{
    const QStringList elenco = host(m_cerca + u"elenco\n"_s);
    ASSERT_TRUE(contiene(elenco, u"plgLanvera.Ulmet.%1"_s.arg(m_idPaziente)));
    EXPECT_FALSE(contiene(elenco, u"MESSAGGIO"_s));

    // Opened and closed unchanged: nothing travels.
    host(m_cerca + u"avanti 1\nchiudi-cartella\n"_s, 0);
    EXPECT_EQ(valore(rete(), u"SELECT Cognome FROM tblAnagrafica"_s).toString(), m_cognome);
    EXPECT_GT(valore(rete(), u"SELECT count(*) FROM tblDiario"_s).toInt(), 0);
    EXPECT_EQ(nonInviate(), 0);
    EXPECT_EQ(ricevuti(), 0);
    for (const QString &f : {u"Dati.xml"_s, u"Cartella.zip"_s, u"Cartella.b64"_s}) {
        EXPECT_FALSE(QFile::exists(percorso(u"tmp/Lanvera/"_s + f))) << f.toStdString();
    }

    // A new entry goes back once, into Romano's archive.
    EXPECT_FALSE(
        contiene(host(m_cerca + u"avanti 1\ndiario Visto da Rossi su Ulmet\nchiudi-cartella\n"_s), u"MESSAGGIO"_s));
    EXPECT_EQ(diari(u"Visto da Rossi su Ulmet"_s), 1);
    EXPECT_EQ(ricevuti(), 1);
}

TEST_F(UlmetTest, RefusalsAndASilentServiceLoseNothing)
{
    // A password the service does not accept: its error is shown, nothing is listed.
    avviaUlmet(u"{AES}altra"_s);
    const QStringList rifiutata = host(m_cerca + u"elenco\n"_s);
    EXPECT_TRUE(contiene(rifiutata, u"Ulmet ha sollevato il seguente errore:"_s));
    EXPECT_FALSE(contiene(rifiutata, u"plgLanvera.Ulmet."_s));

    // No service at all: an empty search, without a message.
    fermaUlmet();
    const QStringList muta = host(m_cerca + u"elenco\n"_s);
    EXPECT_FALSE(contiene(muta, u"MESSAGGIO"_s));
    EXPECT_FALSE(contiene(muta, u"plgLanvera.Ulmet."_s));

    // A chart left open with a new entry (the host closed before its window): the next download
    // keeps the entry in the outbox as a chart document, and the access after it sends it, once.
    avviaUlmet(Module1::CifraPassword(u"Giusta123"_s));
    host(m_cerca + u"avanti 1\ndiario Nota rimasta aperta\n"_s);
    EXPECT_FALSE(contiene(host(m_cerca + u"avanti 1\n"_s), u"MESSAGGIO"_s));
    EXPECT_EQ(inUscita(), 1);
    EXPECT_EQ(diari(u"Nota rimasta aperta"_s), 0);
    host(m_cerca);
    EXPECT_EQ(inUscita(), 0);
    EXPECT_EQ(diari(u"Nota rimasta aperta"_s), 1);
    host(m_cerca);
    EXPECT_EQ(diari(u"Nota rimasta aperta"_s), 1);

    // A doctor never asks his own Ulmet archive.
    ASSERT_TRUE(sulServer(u"UPDATE quor.tblmedici SET Ulmet='ulmet-rossi' WHERE CF='%1'"_s.arg(CfRossi)));
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
    explicit ServizioFinto(QByteArray dati) : m_dati(std::move(dati))
    {
        start();
        while (m_porta == 0) {
            QThread::msleep(5);
        }
    }
    ~ServizioFinto() override
    {
        requestInterruption();
        wait();
    }
    quint16 porta() const { return m_porta; }

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
            const QByteArray dati =
                richiesta.contains("cercapaziente")
                    ? "<record><idcartella>7</idcartella><cognome>Finto</cognome><nome>Nome</nome></record>"
                    : m_dati;
            const QByteArray corpo = "<ulmet><header><esito>OK</esito></header><dati>" + dati + "</dati></ulmet>";
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

TEST_F(UlmetTest, EveryBrokenDownloadSaysWhyAndLeavesNoFile)
{
    struct Caso
    {
        QByteArray dati;
        const char *messaggio;
        bool senzaModello = false;
    };
    const Caso casi[] = {
        {"", "Errore B64"},
        {"bm9uIMOoIHVuIHppcA==", "Errore UNZIP 1"},
        {zipBase64("../Dati.xml", "<dati/>"), "Errore UNZIP 2"},
        {zipBase64("Dati.xml", "<anagrafica>non chiuso"), "Errore apertura dati"},
        {zipBase64("Dati.xml", "<dati/>"), "Errore verifica struttura", true},
    };
    const QString modello = m_programmi + u"/ClinoraTemp.mdb"_s;
    for (const Caso &c : casi) {
        SCOPED_TRACE(c.messaggio);
        ServizioFinto finto(c.dati);
        ASSERT_TRUE(lanvera::ScriviIniFile(m_programmi + u"/plgLanvera.ini"_s, u"Setup"_s, u"PortUlmet"_s,
                                           QString::number(finto.porta())));
        if (c.senzaModello) {
            QFile::rename(modello, modello + u".via"_s);
        }
        const QStringList righe = host(m_cerca + u"avanti 1\n"_s);
        QFile::rename(modello + u".via"_s, modello);
        EXPECT_TRUE(avvisa(righe, u"Scarica paziente dal server Ulmet: "_s + QLatin1StringView(c.messaggio)));
        EXPECT_EQ(QDir(percorso(u"tmp/Lanvera"_s)).entryList(QDir::Files), QStringList()) << "no work file is left";
    }
}
