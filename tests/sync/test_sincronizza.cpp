#include "Recordset.h"
#include "SyncFixture.h"
#include "clsSincronizza.h"
#include "modLog.h"

#include <QDir>

#include <optional>

using namespace lanvera;
using lanvera::dao::Database;
using lanvera::dao::Recordset;
using lanvera::test::AdminConnection;

namespace {

class SincronizzaTest : public lanvera::test::SyncFixture
{
protected:
    void SetUp() override
    {
        SyncFixture::SetUp();
        m_sync.Init(m_server);
        m_sync.impostaOrologio([] { return Adesso; });
        QObject::connect(&m_sync, &clsSincronizza::Log, [this](const QString &riga) {
            m_righe << riga;
            if (m_alRigo && riga.endsWith(*m_alRigo)) {
                m_alRigo.reset();
                m_sync.Annulla();
            }
        });
    }

    // Runs one archive and gives the messages of its archive-log lines.
    QStringList sincronizza(const QString &archivio, bool *esito = nullptr)
    {
        m_righe.clear();
        const bool ok = m_sync.Sincronizza(archivio);
        if (esito) {
            *esito = ok;
        }
        QStringList messaggi;
        for (const QString &riga : std::as_const(m_righe)) {
            messaggi << riga.mid(29);
        }
        return messaggi;
    }

    void esegui(const QString &archivio, const QString &sql, const QVariantList &valori = {})
    {
        Database db;
        ASSERT_TRUE(db.apri(archivio));
        ASSERT_TRUE(db.esegui(sql, valori)) << db.ultimoErrore().testo().toStdString();
    }

    clsSincronizza m_sync;
    QStringList m_righe;
    std::optional<QString> m_alRigo; // cancel when a line ending so is written
};

TEST_F(SincronizzaTest, KnownDoctorRunsThroughBothListsWithEveryLine)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi, 3, 2);
    const QString archivio = generaArchivio(QStringLiteral("Rossi.mdb"), 20);
    bool esito = false;
    const QStringList righe = sincronizza(archivio, &esito);
    EXPECT_TRUE(esito);
    const QString avvio = QStringLiteral("Avvio Sincronizzazione V.1.0.0");
    EXPECT_EQ(righe,
              (QStringList{avvio, QString(avvio.size(), QLatin1Char('-')), QStringLiteral("Accesso al server remoto"),
                           QStringLiteral("Identificazione"), CfRossi + QStringLiteral(" - Rossi Mario"),
                           QStringLiteral("Analisi pazienti su server"), QStringLiteral("Analisi pazienti in locale"),
                           QStringLiteral("Sincronizzazione"), QStringLiteral("Verifico modifiche su server"),
                           QStringLiteral("Verifico dati da sincronizzare"), QStringLiteral("Operazione conclusa"),
                           QString()}));
    EXPECT_EQ(m_sync.Errori(), 0);
    EXPECT_EQ(m_sync.IDGruppo(), 3);
    EXPECT_EQ(m_sync.Progressivo(), 2);
    EXPECT_GT(m_sync.IDMedico(), 0);

    // the archive log beside the archive holds the same entries, tagged and stamped
    const QString log = FileLogArchivio(CartellaArchivio(archivio));
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString atteso = m_righe.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    EXPECT_EQ(QString::fromUtf8(f.readAll()), atteso);
    EXPECT_TRUE(m_righe.first().startsWith(QStringLiteral("    SYNC 05/12/2026 18.02.07 ")));
}

struct CasoIdentificazione
{
    const char *nome;
    const char *messaggio;
};

TEST_F(SincronizzaTest, IdentificationFailuresEndTheArchiveWithTheirReason)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    registraMedico(QStringLiteral("BNCLCU65B41F205X"), QStringLiteral("Bianchi"), QStringLiteral("Lucia"),
                   QStringLiteral("x"), 1, 2, 1);
    registraMedico(QStringLiteral("VRDGPP60C10L219K"), QStringLiteral("Verdi"), QStringLiteral("Giuseppe"), QString(),
                   1, 3);

    // no doctor row at all
    const QString senzaRiga = generaArchivio(QStringLiteral("a.mdb"), 2);
    esegui(senzaRiga, QStringLiteral("DELETE FROM tblMedico"));
    // a code one character short
    const QString corto = generaArchivio(QStringLiteral("b.mdb"), 2, QStringLiteral("RSSMRA70A01H501"));
    // unknown on the server
    const QString ignoto = generaArchivio(QStringLiteral("c.mdb"), 2, QStringLiteral("NRINNA80A41H501Q"));
    // suspended on the server
    const QString sospeso =
        generaArchivio(QStringLiteral("d.mdb"), 2, QStringLiteral("BNCLCU65B41F205X"), QStringLiteral("x"));
    // no password on the server
    const QString senzaPassword = generaArchivio(QStringLiteral("e.mdb"), 2, QStringLiteral("VRDGPP60C10L219K"));
    // a password changed from another archive, and none at all
    const QString altraPassword = generaArchivio(QStringLiteral("f.mdb"), 2, CfRossi, QStringLiteral("{AES}vecchia"));
    const QString nessunaPassword = generaArchivio(QStringLiteral("g.mdb"), 2, CfRossi, QString());
    // the same password in another letter case is another password
    const QString maiuscole = generaArchivio(QStringLiteral("h.mdb"), 2, CfRossi, PasswordRossi.toUpper());

    const std::pair<QString, QString> casi[] = {
        {senzaRiga, QStringLiteral("Codice fiscale del medico non corretto")},
        {corto, QStringLiteral("Codice fiscale del medico non corretto")},
        {ignoto, QStringLiteral("Medico non trovato")},
        {sospeso, QStringLiteral("Medico non trovato")},
        {senzaPassword, QStringLiteral("Password di accesso non impostata")},
        {altraPassword, QStringLiteral("Password non valida")},
        {nessunaPassword, QStringLiteral("Password non valida")},
        {maiuscole, QStringLiteral("Password non valida")},
    };
    for (const auto &[archivio, messaggio] : casi) {
        bool esito = true;
        const QStringList righe = sincronizza(archivio, &esito);
        EXPECT_FALSE(esito) << archivio.toStdString();
        ASSERT_GE(righe.size(), 2);
        EXPECT_EQ(righe.at(righe.size() - 2), messaggio) << archivio.toStdString();
        EXPECT_TRUE(m_righe.at(m_righe.size() - 2).startsWith(QStringLiteral("ERR SYNC ")));
        EXPECT_EQ(m_sync.Errori(), 1);
        EXPECT_FALSE(righe.contains(QStringLiteral("Analisi pazienti su server")));
    }
}

TEST_F(SincronizzaTest, FiscalCodeIsCleanedAndFilledFromTheExtension)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    const QString minuscolo = generaArchivio(QStringLiteral("a.mdb"), 2, QStringLiteral("  rssmra70a01h501u "));
    bool esito = false;
    EXPECT_TRUE(sincronizza(minuscolo, &esito).contains(CfRossi + QStringLiteral(" - Rossi Mario")));
    EXPECT_TRUE(esito);
    EXPECT_EQ(m_sync.CFMedico(), CfRossi);

    // an empty code is taken from the extension's configuration and written back for good
    host::OpzioniGeneratore o;
    o.cf = QString();
    o.pazienti = 2;
    o.oggi = Adesso.date();
    o.passwordSync = PasswordRossi;
    o.sole = true;
    const QString sole = percorso(QStringLiteral("sole.mdb"));
    QString errore;
    ASSERT_TRUE(host::GeneraArchivio(sole, o, &errore)) << errore.toStdString();
    esegui(sole, QStringLiteral("UPDATE SOLE_tblConfig SET Valore=? WHERE Key='CodiceFiscaleMedico'"),
           {QStringLiteral(" rssmra70a01h501u")});
    EXPECT_TRUE(sincronizza(sole, &esito).contains(CfRossi + QStringLiteral(" - Rossi Mario")));
    EXPECT_TRUE(esito);
    Database db;
    ASSERT_TRUE(db.apri(sole));
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT CodiceFiscale FROM tblMedico WHERE IDRete=1")));
    EXPECT_EQ(rs.testo(QStringLiteral("CodiceFiscale")), CfRossi);
}

TEST_F(SincronizzaTest, UnreadableArchiveFailsWithoutAReasonLineAndIsUntouched)
{
    const QString senzaTabella = generaArchivio(QStringLiteral("a.mdb"), 2);
    esegui(senzaTabella, QStringLiteral("DROP TABLE tblMedico"));
    const QByteArray prima = impronta(senzaTabella);
    bool esito = true;
    const QStringList righe = sincronizza(senzaTabella, &esito);
    EXPECT_FALSE(esito);
    EXPECT_EQ(righe.last(), QStringLiteral("Accesso al server remoto")) << "no closing line, no empty line";
    EXPECT_FALSE(m_sync.ErroreNonGestito().isEmpty());
    EXPECT_EQ(impronta(senzaTabella), prima);

    const QString mancante = percorso(QStringLiteral("manca/Archivio.mdb"));
    EXPECT_TRUE(sincronizza(mancante, &esito).isEmpty());
    EXPECT_FALSE(esito);
    EXPECT_FALSE(QFile::exists(mancante));
    EXPECT_TRUE(m_sync.ErroreNonGestito().contains(QStringLiteral("3024")));
}

TEST_F(SincronizzaTest, StopDuringLoginStillWritesTheDoctorButEndsCancelled)
{
    registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
    const QString archivio = generaArchivio(QStringLiteral("a.mdb"), 5);
    m_alRigo = QStringLiteral("Identificazione");
    bool esito = true;
    const QStringList righe = sincronizza(archivio, &esito);
    EXPECT_FALSE(esito);
    EXPECT_EQ(righe.mid(3), (QStringList{QStringLiteral("Identificazione"),
                                         QStringLiteral("Richiesta annullamento da parte dell'utente"),
                                         CfRossi + QStringLiteral(" - Rossi Mario"),
                                         QStringLiteral("Operazione annullata dall'utente"), QString()}));
    EXPECT_EQ(m_sync.Errori(), 1);
}

// Patients written by hand, one rule each.
class ListeTest : public SincronizzaTest
{
protected:
    void SetUp() override
    {
        SincronizzaTest::SetUp();
        registraMedico(CfRossi, QStringLiteral("Rossi"), QStringLiteral("Mario"), PasswordRossi);
        m_archivio = archivioVuoto(QStringLiteral("Rossi.mdb"));
        esegui(m_archivio, QStringLiteral("INSERT INTO tblMedico (IDRete, CodiceFiscale) VALUES (1, ?)"), {CfRossi});
        esegui(m_archivio, QStringLiteral("INSERT INTO arcItems (Key, Item) VALUES ('QUOR.PasswordMedicoSync', ?)"),
               {PasswordRossi});
    }

    int paziente(const QString &cf, const QString &cognome, const QVariant &nome, const QVariant &proprio = QVariant(0),
                 const QVariant &uidc = QVariant())
    {
        Database db;
        EXPECT_TRUE(db.apri(m_archivio));
        EXPECT_TRUE(db.esegui(QStringLiteral("INSERT INTO tblAnagrafica (CodiceFiscale, Cognome, Nome, Proprio, "
                                             "UIDCMedico, DataNascita) VALUES (?, ?, ?, ?, ?, '1970-03-04 00:00:00')"),
                              {cf, cognome, nome, proprio, uidc}))
            << db.ultimoErrore().testo().toStdString();
        Recordset rs(db);
        EXPECT_TRUE(rs.apri(QStringLiteral("SELECT max(ID) AS n FROM tblAnagrafica")));
        return rs.valore(QStringLiteral("n")).toInt();
    }

    void rapporto(int id, const QDate &inizio, const QDate &fine, const QString &motivo)
    {
        esegui(m_archivio,
               QStringLiteral("INSERT INTO tblRapporti (IDPaziente, DataInizio, DataFine, Motivo) VALUES (?, ?, ?, ?)"),
               {id, inizio.isValid() ? QVariant(inizio) : QVariant(), fine.isValid() ? QVariant(fine) : QVariant(),
                motivo});
    }

    clsPaziente locale(const QString &cf, const QString &cognome, const QString &nome, bool *trovato = nullptr)
    {
        clsPaziente p;
        const bool ok = m_sync.TrovaPazienteLocale(clsSincronizza::ChiavePaziente(cf, cognome, nome), p);
        if (trovato) {
            *trovato = ok;
        }
        return p;
    }

    QString m_archivio;
};

TEST_F(ListeTest, RevocationFollowsTheEndDateAroundToday)
{
    const QDate oggi = Adesso.date();
    const struct
    {
        const char *cf;
        QDate inizio;
        QDate fine;
        const char *motivo;
        int revocato;
    } casi[] = {
        {"AAAAAA70A01H501A", oggi.addYears(-3), oggi, "Trasferimento", 1},            // ends today
        {"BBBBBB70A01H501B", oggi.addYears(-3), oggi.addDays(1), "Trasferimento", 0}, // ends tomorrow
        {"CCCCCC70A01H501C", oggi.addDays(-10), oggi.addDays(-10), "Scelta", 0},      // begun again that day
        {"DDDDDD70A01H501D", oggi.addDays(-11), oggi.addDays(-10), "Scelta", 1},      // begun the day before
        {"EEEEEE70A01H501E", oggi.addYears(-9), oggi.addYears(-1), "DECESSO", 2},
        {"FFFFFF70A01H501F", oggi.addYears(-9), oggi.addYears(-1), "per Morte", 2},
        {"GGGGGG70A01H501G", oggi.addYears(-9), QDate(), "", 0},                // never ended
        {"HHHHHH70A01H501H", oggi.addYears(-9), oggi.addDays(5), "decesso", 0}, // not yet ended
    };
    int n = 0;
    for (const auto &c : casi) {
        const int id =
            paziente(QString::fromLatin1(c.cf), QStringLiteral("Cognome%1").arg(++n), QStringLiteral("Nome"));
        rapporto(id, c.inizio, c.fine, QString::fromLatin1(c.motivo));
    }
    // the latest start and end count, the reason of the last relationship
    const int riaperto = paziente(QStringLiteral("IIIIII70A01H501I"), QStringLiteral("Riaperto"), QStringLiteral("N"));
    rapporto(riaperto, oggi.addYears(-5), oggi.addYears(-4), QStringLiteral("Decesso"));
    rapporto(riaperto, oggi.addYears(-1), oggi.addDays(-1), QStringLiteral("Trasferimento"));

    bool esito = false;
    sincronizza(m_archivio, &esito);
    ASSERT_TRUE(esito);
    n = 0;
    for (const auto &c : casi) {
        bool trovato = false;
        const clsPaziente p =
            locale(QString::fromLatin1(c.cf), QStringLiteral("Cognome%1").arg(++n), QStringLiteral("Nome"), &trovato);
        ASSERT_TRUE(trovato) << c.cf;
        EXPECT_EQ(p.Revocato, c.revocato) << c.cf;
    }
    EXPECT_EQ(locale(QStringLiteral("IIIIII70A01H501I"), QStringLiteral("Riaperto"), QStringLiteral("N")).Revocato, 1);
}

TEST_F(ListeTest, OnlyWellFormedOwnNetworkPatientsAreListed)
{
    paziente(QStringLiteral("RSSLGU80A01H501"), QStringLiteral("Corto"), QStringLiteral("Luigi"));   // 15 chars
    paziente(QStringLiteral("RSSLGU80A01H501XX"), QStringLiteral("Lungo"), QStringLiteral("Luigi")); // 17 chars
    paziente(QStringLiteral("RSSLGU80A01H501A"), QStringLiteral("SenzaNome"), QStringLiteral(""));
    paziente(QStringLiteral("RSSLGU80A01H501B"), QStringLiteral("NomeNull"), QVariant());
    paziente(QStringLiteral("RSSLGU80A01H501C"), QStringLiteral("Privato"), QStringLiteral("Pio"), -1);
    paziente(QStringLiteral("RSSLGU80A01H501E"), QStringLiteral("DaCollega"), QStringLiteral("Pio"), QVariant(0),
             QStringLiteral("BNCLCU65B41F205X"));
    const int buono =
        paziente(QStringLiteral("rsslgu80a01h501f"), QStringLiteral(" D'Angelo "), QStringLiteral("Àlvaro"));
    paziente(QStringLiteral("RSSLGU80A01H501G"), QStringLiteral("Vuoto"), QStringLiteral("Uid"), QVariant(0),
             QStringLiteral(""));
    // the same key twice: the first row stays
    const int primo = paziente(QStringLiteral("RSSLGU80A01H501H"), QStringLiteral("Doppio"), QStringLiteral("Dino"));
    paziente(QStringLiteral("RSSLGU80A01H501H"), QStringLiteral("Doppio"), QStringLiteral("Dino"));
    esegui(m_archivio, QStringLiteral("INSERT INTO QUOR_tblUpdate (IDPaziente, IDUpdate) VALUES (?, ?)"),
           {buono, QStringLiteral("{11111111-2222-3333-4444-555555555555}")});

    bool esito = false;
    sincronizza(m_archivio, &esito);
    ASSERT_TRUE(esito);
    QStringList chiavi;
    for (const clsPaziente &p : m_sync.PazientiLocali()) {
        chiavi << p.KeyPaziente;
    }
    EXPECT_EQ(chiavi, (QStringList{QStringLiteral("rsslgu80a01h501f;d'angelo;àlvaro"),
                                   QStringLiteral("rsslgu80a01h501h;doppio;dino"),
                                   QStringLiteral("rsslgu80a01h501g;vuoto;uid")}));
    const clsPaziente *p = m_sync.PazientiLocali().trova(chiavi.first());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->ID, buono);
    EXPECT_EQ(p->CF, QStringLiteral("rsslgu80a01h501f"));
    EXPECT_EQ(p->Cognome, QStringLiteral("D'Angelo"));
    EXPECT_EQ(p->DataNascita, QStringLiteral("04/03/1970"));
    EXPECT_EQ(p->CFMedico, CfRossi);
    EXPECT_EQ(p->IDUpdate, QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(p->Allineato);
    EXPECT_EQ(m_sync.PazientiLocali().trova(chiavi.at(1))->ID, primo);
}

TEST_F(ListeTest, ServerListHoldsThisDoctorsPublishedPatients)
{
    AdminConnection admin;
    ASSERT_TRUE(admin.exec(QStringLiteral(
        "INSERT INTO quor.tblanagrafica (IDPaziente, CF, Cognome, Nome, DataNascita, CFMedico, IDUpdate, IDDatabase, "
        "Autorizzazioni, CFMedicoPrecedente) VALUES "
        "('zzzzzz70a01h501z;zeta;zoe', 'ZZZZZZ70A01H501Z', 'Zeta', 'Zoe', '01/02/1970', 'RSSMRA70A01H501U', '{U1}', "
        "7, '0110', ''),"
        "('aaaaaa70a01h501a;alfa;ada', 'AAAAAA70A01H501A', 'Alfa', 'Ada', '03/04/1980', 'RSSMRA70A01H501U', NULL, 0, "
        "'1', 'BNCLCU65B41F205X'),"
        "('bbbbbb70a01h501b;beta;bea', 'BBBBBB70A01H501B', 'Beta', 'Bea', '03/04/1980', 'BNCLCU65B41F205X', NULL, 0, "
        "'1', '')")))
        << admin.lastError().toStdString();
    bool esito = false;
    sincronizza(m_archivio, &esito);
    ASSERT_TRUE(esito);
    ASSERT_EQ(m_sync.PazientiServer().size(), 2);
    EXPECT_EQ(m_sync.PazientiServer().pazienti().at(0).KeyPaziente, QStringLiteral("aaaaaa70a01h501a;alfa;ada"));
    clsPaziente zoe;
    ASSERT_TRUE(m_sync.TrovaPazienteServer(QStringLiteral("zzzzzz70a01h501z;zeta;zoe"), zoe));
    EXPECT_EQ(zoe.ID, 0);
    EXPECT_EQ(zoe.IDDatabase, 7);
    EXPECT_EQ(zoe.Autorizzazioni, QStringLiteral("0110"));
    EXPECT_EQ(zoe.DataNascita, QStringLiteral("01/02/1970"));
    EXPECT_EQ(zoe.IDUpdate, QStringLiteral("{U1}"));
    clsPaziente ada;
    ASSERT_TRUE(m_sync.TrovaPazienteServer(QStringLiteral("aaaaaa70a01h501a;alfa;ada"), ada));
    EXPECT_TRUE(ada.IDUpdate.isEmpty());
    EXPECT_EQ(ada.CFMedicoPrecedente, QStringLiteral("BNCLCU65B41F205X"));
    EXPECT_FALSE(m_sync.TrovaPazienteServer(QStringLiteral("bbbbbb70a01h501b;beta;bea"), ada));
}

TEST_F(ListeTest, StopWhileReadingTheLocalListEndsTheBuild)
{
    for (int i = 0; i < 30; ++i) {
        paziente(QStringLiteral("RSSLGU80A01H5%1X").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("C%1").arg(i),
                 QStringLiteral("N"));
    }
    m_alRigo = QStringLiteral("Analisi pazienti in locale");
    bool esito = true;
    const QStringList righe = sincronizza(m_archivio, &esito);
    EXPECT_FALSE(esito);
    EXPECT_LT(m_sync.PazientiLocali().size(), 30);
    EXPECT_EQ(righe.at(righe.size() - 2), QStringLiteral("Operazione annullata dall'utente"));
}

} // namespace
