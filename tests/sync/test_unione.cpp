#include "Database.h"
#include "PacchettoCartella.h"
#include "PacchettoTest.h"
#include "Recordset.h"
#include "UnioneCartella.h"
#include "modArchivio.h"
#include "modArchivioHost.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using lanvera::CreaGUID;
using lanvera::dao::Database;
using lanvera::dao::Recordset;
using lanvera::test::Contenuto;
using lanvera::test::TestoPacchetto;

namespace {

const QString T0 = u"2024-01-10 10:00:00"_s;
const QString T1 = u"2024-02-10 10:00:00"_s; // later than T0
const QString Tprima = u"2023-12-01 08:00:00"_s;
const QString Momento = u"tblAnagrafica2.DateUpdate"_s; // the one value every import moves
const QString NonValido = u"pacchetto non valido: "_s;

// A new archive from the host's empty template, opened.
bool CreaArchivio(Database &db, const QString &percorso)
{
    QString errore;
    const bool ok = lanvera::host::CreaArchivioVuoto(percorso, &errore) && db.apri(percorso) &&
                    db.esegui(u"PRAGMA synchronous=OFF"_s); // tests need no disk flush after every statement
    EXPECT_TRUE(ok) << qPrintable(errore) << qPrintable(db.ultimoErrore().testo());
    return ok;
}

// The tables of a patient's chart: those that carry the patient's ID.
QStringList TabelleCartella(Database &db, const QStringList &anche = {})
{
    QStringList tabelle = anche;
    for (const QString &t : db.tabelle()) {
        if (db.esisteCampo(t, u"IDPaziente"_s) && db.esisteCampo(t, u"GUID"_s)) {
            tabelle << t;
        }
    }
    return tabelle;
}

QVariant Valore(Database &db, const QString &sql, const QVariantList &valori = {})
{
    Recordset rs(db);
    return rs.apri(sql, Recordset::Tipo::SoloAvanti, valori) && !rs.eof() ? rs.valore(rs.campi().first()) : QVariant();
}

QByteArray Leggi(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

void PrintTo(const QVariant &valore, std::ostream *os)
{
    *os << (valore.isNull() ? std::string("<null>") : valore.toString().toStdString());
}

// Two archives, "here" (merged into) and "there" (where packages come from), the engine state and
// the merge. Tests read: change there, package, merge here, compare.
class UnioneCartellaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(CreaArchivio(m_qui, m_dir.filePath(u"Qui.mdb"_s)));
        ASSERT_TRUE(CreaArchivio(m_la, m_dir.filePath(u"La.mdb"_s)));
        // Counters there start at 100, so that a key copied instead of translated shows.
        for (const QString &t : TabelleCartella(m_la, {u"tblAnagrafica"_s})) {
            ASSERT_TRUE(m_la.esegui(u"INSERT INTO [%1] (ID) VALUES (100)"_s.arg(t)) &&
                        m_la.esegui(u"DELETE FROM [%1]"_s.arg(t)));
        }
        // Someone else's chart here, so that this archive's counters have moved as well.
        const qint32 altro = Riga(m_qui, u"tblAnagrafica"_s, {{u"Cognome"_s, u"Altri"_s}});
        for (int i = 0; i < 3; ++i) {
            Riga(m_qui, u"tblDiario"_s, {{u"IDPaziente"_s, altro}});
        }
        m_stato.archivio = &m_qui;
        m_stato.attendiEventi = [this] { m_stato.annullato = m_stato.annullato || ++m_pause == m_annullaDopo; };
        m_stato.log = [this](const QString &riga, bool) { m_log << riga; };
        m_paziente = Paziente(m_la, u"Bianchi"_s, u"Anna"_s, u"BNCNNA80A41H501X"_s, CreaGUID(), T0);
    }

    // Adds a row; GUID, LastUpdate and ToSend of a row as last sent unless given.
    static qint32 Riga(Database &db, const QString &tabella, const QVariantMap &valori)
    {
        QVariantMap tutti{{u"GUID"_s, CreaGUID()}, {u"LastUpdate"_s, T0}, {u"ToSend"_s, -1}};
        tutti.insert(valori);
        Recordset rs(db);
        bool ok = rs.apri(u"SELECT * FROM [%1] WHERE 0"_s.arg(tabella), Recordset::Tipo::Dynaset) && rs.aggiungiNuovo();
        for (auto it = tutti.cbegin(); ok && it != tutti.cend(); ++it) {
            ok = !db.esisteCampo(tabella, it.key()) || rs.imposta(it.key(), it.value());
        }
        EXPECT_TRUE(ok && rs.aggiorna()) << qPrintable(rs.ultimoErrore().testo());
        return rs.valore(u"ID"_s).toInt();
    }
    // A row of the patient there.
    qint32 La(const QString &tabella, const QVariantMap &valori = {})
    {
        QVariantMap tutti{{u"IDPaziente"_s, m_paziente}};
        tutti.insert(valori);
        return Riga(m_la, tabella, tutti);
    }
    static qint32 Paziente(Database &db, const QString &cognome, const QString &nome, const QString &cf,
                           const QString &guid, const QString &aggiornato)
    {
        return Riga(db, u"tblAnagrafica"_s,
                    {{u"Cognome"_s, cognome},
                     {u"Nome"_s, nome},
                     {u"CodiceFiscale"_s, cf},
                     {u"GUID"_s, guid},
                     {u"LastUpdate"_s, aggiornato}});
    }
    void CambiaLa(const QString &sql, const QVariantList &valori = {}) { EXPECT_TRUE(m_la.esegui(sql, valori)); }
    void CambiaQui(const QString &sql, const QVariantList &valori = {}) { EXPECT_TRUE(m_qui.esegui(sql, valori)); }

    // The package of a patient (there, unless another archive is given): all his rows, or (a
    // colleague's changes) those not as sent.
    Database &Pacchetto(bool soloCambiate = false, qint32 idPaziente = 0, Database *origine = nullptr)
    {
        Database &da = origine ? *origine : m_la;
        m_pacchetto.chiudi();
        const QString file = m_dir.filePath(u"Cartella%1.mdb"_s.arg(++m_pacchetti));
        EXPECT_TRUE(Database().crea(file, true));
        for (const QString &t : TabelleCartella(da, {u"tblAnagrafica"_s})) {
            const QString chiave = t == u"tblAnagrafica"_s ? u"ID"_s : u"IDPaziente"_s;
            EXPECT_TRUE(da.esegui(u"SELECT [%1].* INTO [%1] IN \"%2\" FROM [%1] WHERE %3=?%4"_s.arg(
                                      t, file, chiave, soloCambiate ? u" AND ToSend<>-1"_s : QString()),
                                  {idPaziente ? idPaziente : m_paziente}));
        }
        da.staccaDestinazione();
        EXPECT_TRUE(m_pacchetto.apri(file));
        return m_pacchetto;
    }

    bool ImportaCartella(clsPaziente &paziente, Database &pacchetto)
    {
        return m_unione.ImportaCartellaDa(paziente, pacchetto);
    }
    bool ImportaModifiche(qint32 idLocale, Database &pacchetto)
    {
        clsPaziente paziente;
        paziente.ID = idLocale;
        return m_unione.ImportaModificheDa(paziente, u"Verdi Luca"_s, pacchetto);
    }
    qint32 NuovoID(const QString &chiave) const { return m_unione.NuovoID(chiave); }

    // The patient there merged here as new, or again (`idLocale`); his local ID.
    qint32 Importa(qint32 idLocale = 0)
    {
        clsPaziente paziente;
        paziente.ID = idLocale;
        paziente.IDUpdate = m_idUpdate;
        EXPECT_TRUE(ImportaCartella(paziente, Pacchetto())) << qPrintable(m_stato.messaggioErrore);
        EXPECT_NE(paziente.ID, 0);
        return paziente.ID;
    }

    // Here: a value, or a column of the row that carries the GUID of row `id` there.
    QVariant Qui(const QString &sql, const QVariantList &valori = {}) { return Valore(m_qui, sql, valori); }
    QVariant Qui(const QString &tabella, const QString &colonna, qint32 id)
    {
        return Qui(u"SELECT [%1] FROM [%2] WHERE GUID=?"_s.arg(colonna, tabella), {GuidLa(tabella, id)});
    }
    QString GuidLa(const QString &tabella, qint32 id)
    {
        return Valore(m_la, u"SELECT GUID FROM [%1] WHERE ID=?"_s.arg(tabella), {id}).toString();
    }

    QTemporaryDir m_dir;
    Database m_qui;
    Database m_la;
    Database m_pacchetto;
    int m_pacchetti = 0;
    StatoMotore m_stato;
    PacchettoCartella m_cartella{m_stato};
    UnioneCartella m_unione{m_stato, m_cartella};
    qint32 m_paziente = 0;
    QString m_idUpdate = CreaGUID();
    int m_pause = 0;
    int m_annullaDopo = 0;
    QStringList m_log;
};

using MergeRowsTest = UnioneCartellaTest;
using MergeModificationsTest = UnioneCartellaTest;
using WholeChartTest = UnioneCartellaTest;
using ImportTransactionTest = UnioneCartellaTest;
using MergeFaultsTest = UnioneCartellaTest;
using PackageImportTest = UnioneCartellaTest;

// Packages from the network: a package database made by hand, zipped and encoded as the server
// would hold it, merged through the engine's own entry points.
class UntrustedPackageTest : public UnioneCartellaTest
{
protected:
    void SetUp() override
    {
        UnioneCartellaTest::SetUp();
        m_altro = Qui(u"SELECT ID FROM tblAnagrafica WHERE Cognome='Altri'"_s).toInt();
        La(u"tblDiario"_s, {{u"Diario"_s, u"visita"_s}, {u"ToSend"_s, 0}});
        m_qui_id = Importa();
        m_prima = Contenuto(m_qui);
    }

    // The package as package text.
    static QString Testo(Database &pacchetto)
    {
        const QString file = pacchetto.percorso();
        pacchetto.chiudi();
        return TestoPacchetto(Leggi(file));
    }
    QString Testo(const std::function<void(Database &)> &cambia, bool soloCambiate = false)
    {
        Database &pacchetto = Pacchetto(soloCambiate);
        cambia(pacchetto);
        return Testo(pacchetto);
    }

    // The patient there, as the server files him.
    static clsPaziente Filato(qint32 id = 0)
    {
        clsPaziente p;
        p.ID = id;
        p.Cognome = u"Bianchi"_s;
        p.Nome = u"Anna"_s;
        p.KeyPaziente = u"bncnna80a41h501x;bianchi;anna"_s;
        p.IDUpdate = CreaGUID();
        return p;
    }

    // Refused on both roads, in time, with no work file left and this archive as it was; `motivo`
    // begins the reason after the name of the road.
    void Rifiutato(const QString &testo, const QString &motivo)
    {
        QElapsedTimer orologio;
        orologio.start();
        for (qint32 id : {0, m_qui_id}) {
            clsPaziente p = Filato(id);
            EXPECT_FALSE(m_unione.ImportaCartella(p, testo));
            EXPECT_TRUE(m_stato.messaggioErrore.startsWith(u"Importa Cartella: "_s + motivo))
                << qPrintable(m_stato.messaggioErrore);
            EXPECT_EQ(p.ID, id);
        }
        EXPECT_FALSE(m_unione.ImportaModifiche(Filato(m_qui_id), u"Verdi Luca"_s, testo));
        EXPECT_TRUE(m_stato.messaggioErrore.startsWith(u"Importa Modifiche: "_s + motivo))
            << qPrintable(m_stato.messaggioErrore);
        EXPECT_LT(orologio.elapsed(), 10000);
        EXPECT_EQ(Contenuto(m_qui), m_prima);
        EXPECT_EQ(Qui(u"PRAGMA integrity_check"_s), u"ok"_s);
        for (const QString &f :
             {PacchettoCartella::FileMdb(), PacchettoCartella::FileZip(), PacchettoCartella::FileB64()}) {
            EXPECT_FALSE(QFile::exists(f)) << qPrintable(f);
        }
    }

    qint32 m_altro = 0;
    qint32 m_qui_id = 0;
    QString m_prima;
};

// --- rows matched by GUID, the newer one wins ---------------------------------------------------

TEST_F(MergeRowsTest, NewerRowWinsOnEitherSideAndBrokenKeysArePutRight)
{
    const qint32 diario = La(u"tblDiario"_s, {{u"Diario"_s, u"v1"_s}});
    const qint32 ricetta = La(u"tblPrescrizioni"_s, {{u"IDDiario"_s, diario}});
    const qint32 qui = Importa();
    const QVariant idQui = Qui(u"tblDiario"_s, u"ID"_s, diario);
    EXPECT_NE(idQui.toInt(), diario);

    // Equal stamps: the row is not written at all.
    CambiaQui(u"UPDATE tblDiario SET Diario='qui', ToSend=0 WHERE GUID=?"_s, {GuidLa(u"tblDiario"_s, diario)});
    Importa(qui);
    EXPECT_EQ(Qui(u"tblDiario"_s, u"Diario"_s, diario), u"qui"_s);
    EXPECT_EQ(Qui(u"tblDiario"_s, u"ToSend"_s, diario), 0);

    // Equal stamps and a broken link, or the row under another patient: written again, keys right.
    CambiaQui(u"UPDATE tblPrescrizioni SET IDDiario=0, Descrizione='x'"_s);
    CambiaQui(u"UPDATE tblDiario SET IDPaziente=1 WHERE GUID=?"_s, {GuidLa(u"tblDiario"_s, diario)});
    Importa(qui);
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDDiario"_s, ricetta), idQui);
    EXPECT_TRUE(Qui(u"tblPrescrizioni"_s, u"Descrizione"_s, ricetta).isNull());
    EXPECT_EQ(Qui(u"tblDiario"_s, u"IDPaziente"_s, diario).toInt(), qui);

    // Newer here: kept and still to be sent, even when only its broken key is put right.
    CambiaQui(u"UPDATE tblPrescrizioni SET Descrizione='qui', LastUpdate=?, ToSend=0"_s, {T1});
    CambiaLa(u"UPDATE tblPrescrizioni SET Descrizione='la'"_s);
    for (const bool rotto : {false, true}) {
        if (rotto) {
            CambiaQui(u"UPDATE tblPrescrizioni SET IDDiario=NULL"_s);
        }
        Importa(qui);
        EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"Descrizione"_s, ricetta), u"qui"_s);
        EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDDiario"_s, ricetta), idQui);
        EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"ToSend"_s, ricetta), 0);
    }

    // Newer there: written over the row, which keeps its local ID and patient.
    CambiaLa(u"UPDATE tblDiario SET Diario='v2', LastUpdate=?"_s, {T1});
    Importa(qui);
    EXPECT_EQ(Qui(u"tblDiario"_s, u"Diario"_s, diario), u"v2"_s);
    EXPECT_EQ(Qui(u"tblDiario"_s, u"ID"_s, diario), idQui);
    EXPECT_EQ(Qui(u"tblDiario"_s, u"IDPaziente"_s, diario).toInt(), qui);
    EXPECT_EQ(Qui(u"SELECT Count(*) FROM tblDiario WHERE IDPaziente=?"_s, {qui}).toInt(), 1);
}

TEST_F(MergeRowsTest, NewParentsGetNewIDsTheirChildrenFollowAndOrphansGetZero)
{
    const qint32 qui = Importa();
    const qint32 diario = La(u"tblDiario"_s);
    const qint32 ricetta = La(u"tblRicette"_s, {{u"IDDiario"_s, diario}});
    const qint32 farmaco = La(u"tblPrescrizioni"_s, {{u"IDDiario"_s, diario}, {u"IDRicetta"_s, ricetta}});
    const qint32 storico = La(u"DIABETE_tblStorico"_s);
    const qint32 voce = La(u"DIABETE_tblStoricoItems"_s, {{u"IDStorico"_s, storico}});
    const qint32 primo = La(u"tblCertificatiINAIL"_s);
    const qint32 seguito = La(u"tblCertificatiINAIL"_s, {{u"IDCertificatoPadre"_s, primo}});
    const qint32 senza = La(u"tblPrescrizioni"_s);
    const qint32 orfana = La(u"tblPrescrizioni"_s, {{u"IDDiario"_s, 4242}});
    Importa(qui);

    const QVariant diarioQui = Qui(u"tblDiario"_s, u"ID"_s, diario);
    ASSERT_FALSE(diarioQui.isNull());
    EXPECT_NE(diarioQui.toInt(), diario);
    EXPECT_EQ(NuovoID(u"iddiario%1"_s.arg(diario)), diarioQui.toInt());
    EXPECT_EQ(Qui(u"tblRicette"_s, u"IDDiario"_s, ricetta), diarioQui) << "a parent's own IDDiario too";
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDDiario"_s, farmaco), diarioQui);
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDRicetta"_s, farmaco), Qui(u"tblRicette"_s, u"ID"_s, ricetta));
    EXPECT_EQ(Qui(u"DIABETE_tblStoricoItems"_s, u"IDStorico"_s, voce), Qui(u"DIABETE_tblStorico"_s, u"ID"_s, storico));
    EXPECT_TRUE(Qui(u"tblCertificatiINAIL"_s, u"IDCertificatoPadre"_s, primo).isNull());
    EXPECT_EQ(Qui(u"tblCertificatiINAIL"_s, u"IDCertificatoPadre"_s, seguito),
              Qui(u"tblCertificatiINAIL"_s, u"ID"_s, primo));
    // A child whose parent is Null or not in the package.
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDDiario"_s, senza), 0);
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDDiario"_s, orfana), 0);
    EXPECT_EQ(NuovoID(u"iddiario4242"_s), 0);
}

TEST_F(MergeRowsTest, SingleRowTablesMatchByPatientWithAnIdentityOfTheirOwn)
{
    const qint32 anamnesi = La(u"tblAnamnesi"_s, {{u"Anamnesi"_s, u"v1"_s}});
    La(u"tblAnamnesi"_s, {{u"Anamnesi"_s, u"seconda"_s}});
    const qint32 qui = Importa();
    const QString sql = u"SELECT %1 FROM tblAnamnesi WHERE IDPaziente=?"_s;
    EXPECT_EQ(Qui(sql.arg(u"Count(*)"_s), {qui}), 1) << "only the first package row";
    EXPECT_EQ(Qui(sql.arg(u"Anamnesi"_s), {qui}), u"v1"_s);
    const QString guid = Qui(sql.arg(u"GUID"_s), {qui}).toString();
    EXPECT_EQ(guid.size(), 38);
    EXPECT_NE(guid, GuidLa(u"tblAnamnesi"_s, anamnesi));

    CambiaLa(u"UPDATE tblAnamnesi SET Anamnesi='v0', LastUpdate=? WHERE ID=?"_s, {Tprima, anamnesi});
    Importa(qui);
    EXPECT_EQ(Qui(sql.arg(u"Anamnesi"_s), {qui}), u"v1"_s) << "not newer: left";

    CambiaLa(u"UPDATE tblAnamnesi SET Anamnesi='v2', LastUpdate=? WHERE ID=?"_s, {T1, anamnesi});
    Importa(qui);
    EXPECT_EQ(Qui(sql.arg(u"Anamnesi"_s), {qui}), u"v2"_s);
    EXPECT_EQ(Qui(sql.arg(u"GUID"_s), {qui}), guid) << "the GUID is never copied";
}

// --- a colleague's modifications ----------------------------------------------------------------

TEST_F(MergeModificationsTest, OnlyChangedRowsAreTakenWithTheColleaguesNameAndOurToSend)
{
    const qint32 a = La(u"tblAllergie"_s, {{u"Nota"_s, u"a"_s}});
    const qint32 b = La(u"tblAllergie"_s, {{u"Nota"_s, u"b"_s}});
    const qint32 c = La(u"tblAllergie"_s, {{u"Nota"_s, u"c"_s}});
    const qint32 diario = La(u"tblDiario"_s);
    const qint32 ricetta = La(u"tblPrescrizioni"_s, {{u"IDDiario"_s, diario}});
    const qint32 qui = Importa();
    CambiaQui(u"UPDATE tblAllergie SET ToSend=0 WHERE GUID=?"_s, {GuidLa(u"tblAllergie"_s, b)});

    // The colleague changes a, b and a prescription whose diary row stays behind (ToSend 0), c
    // carries another mark, and he adds d and a prescription of that diary row.
    CambiaLa(u"UPDATE tblAllergie SET Nota=Nota||'+', LastUpdate=?, ToSend=0, ModificatoDa='io'"_s, {T1});
    CambiaLa(u"UPDATE tblAllergie SET ToSend=1 WHERE ID=?"_s, {c});
    const qint32 d = La(u"tblAllergie"_s, {{u"ToSend"_s, 0}});
    CambiaLa(u"UPDATE tblPrescrizioni SET Descrizione='nuova', LastUpdate=?, ToSend=0"_s, {T1});
    const qint32 nuova = La(u"tblPrescrizioni"_s, {{u"IDDiario"_s, diario}, {u"ToSend"_s, 0}});
    CambiaLa(u"UPDATE tblAnagrafica SET Note='dal collega', LastUpdate=?, ToSend=0"_s, {T1});
    ASSERT_TRUE(ImportaModifiche(qui, Pacchetto(true))) << qPrintable(m_stato.messaggioErrore);

    EXPECT_EQ(Qui(u"tblAllergie"_s, u"Nota"_s, a), u"a+"_s);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"ModificatoDa"_s, a), u"Verdi Luca"_s);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"ToSend"_s, a), -1);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"ToSend"_s, b), 0);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"Nota"_s, c), u"c"_s);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"IDPaziente"_s, d), qui);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"ModificatoDa"_s, d), u"Verdi Luca"_s);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"ToSend"_s, d), 0) << "a new row is this archive's change to send";
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"Descrizione"_s, ricetta), u"nuova"_s);
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDDiario"_s, ricetta), Qui(u"tblDiario"_s, u"ID"_s, diario));
    EXPECT_EQ(Qui(u"tblPrescrizioni"_s, u"IDDiario"_s, nuova), 0) << "a new row's untravelled parent is unknown";

    EXPECT_TRUE(Qui(u"SELECT Note FROM tblAnagrafica WHERE ID=?"_s, {qui}).isNull()) << "the patient is not merged";
    EXPECT_EQ(Qui(u"SELECT TagStato FROM tblAnagrafica2 WHERE IDPaziente=?"_s, {qui}), 1);
    EXPECT_FALSE(Qui(u"SELECT DateUpdate FROM tblAnagrafica2 WHERE IDPaziente=?"_s, {qui}).isNull());
}

// --- a whole chart --------------------------------------------------------------------------------

TEST_F(WholeChartTest, ANewPatientAndEveryRowArriveAsSentAndStamped)
{
    for (int i = 0; i < 3; ++i) {
        La(u"tblDiario"_s, {{u"ToSend"_s, 0}, {u"ModificatoDa"_s, u"Rossi"_s}});
    }
    const qint32 qui = Importa();
    EXPECT_EQ(Qui(u"SELECT Count(*) FROM tblDiario WHERE IDPaziente=? AND ToSend=-1 AND ModificatoDa='Rossi'"_s, {qui}),
              3);
    EXPECT_EQ(Qui(u"SELECT IDUpdate FROM QUOR_tblUpdate WHERE IDPaziente=?"_s, {qui}), m_idUpdate);
    EXPECT_EQ(Qui(u"SELECT GUID||'|'||Cognome||'|'||ToSend||'|'||ToRepl||'|'||Coalesce(ModificatoDa, '') FROM "
                  "tblAnagrafica WHERE ID=?"_s,
                  {qui}),
              QString(GuidLa(u"tblAnagrafica"_s, m_paziente) + u"|Bianchi|-1|0|"_s));
    EXPECT_FALSE(Qui(u"SELECT LastInsert FROM tblAnagrafica WHERE ID=?"_s, {qui}).isNull());
    EXPECT_GT(Qui(u"SELECT LastUpdate FROM tblAnagrafica WHERE ID=?"_s, {qui}).toString(), T0);
    EXPECT_EQ(Qui(u"SELECT TagStato FROM tblAnagrafica2 WHERE IDPaziente=?"_s, {qui}), 0);
    EXPECT_FALSE(Qui(u"SELECT DateUpdate FROM tblAnagrafica2 WHERE IDPaziente=?"_s, {qui}).isNull());
}

TEST_F(WholeChartTest, MoreLocalRowsThanThePackageAsksForAResend)
{
    const qint32 primo = La(u"tblCertificatiINAIL"_s);
    La(u"tblCertificatiINAIL"_s, {{u"IDCertificatoPadre"_s, primo}});
    La(u"tblProblemi"_s);
    const qint32 qui = Importa();
    EXPECT_FALSE(m_stato.reinviaCartella) << "equal counts, each certificate half against its own rows";

    La(u"tblProblemi"_s, {{u"GUID"_s, QVariant()}});
    Riga(m_qui, u"tblProblemi"_s, {{u"IDPaziente"_s, 1}});
    Importa(qui);
    EXPECT_FALSE(m_stato.reinviaCartella) << "fewer here than in the package; other patients do not count";

    Riga(m_qui, u"tblProblemi"_s, {{u"IDPaziente"_s, qui}});
    Riga(m_qui, u"tblProblemi"_s, {{u"IDPaziente"_s, qui}});
    Importa(qui);
    EXPECT_TRUE(m_stato.reinviaCartella) << "three here, two in the package";
}

TEST_F(WholeChartTest, AnEmptyTableThereIsComparedOnlyWhenItHasTheRowIdentity)
{
    // What is known of one definition of a table is not taken for another.
    clsPaziente paziente;
    paziente.ID = Importa();
    paziente.IDUpdate = m_idUpdate;
    Riga(m_qui, u"tblProblemi"_s, {{u"IDPaziente"_s, paziente.ID}});
    for (const bool conIdentita : {true, false, true}) {
        Database &pacchetto = Pacchetto();
        if (!conIdentita) {
            ASSERT_TRUE(pacchetto.esegui(u"ALTER TABLE tblProblemi RENAME COLUMN GUID TO Identita"_s));
        }
        m_stato.reinviaCartella = false;
        EXPECT_TRUE(ImportaCartella(paziente, pacchetto)) << qPrintable(m_stato.messaggioErrore);
        EXPECT_EQ(m_stato.reinviaCartella, conIdentita);
    }
}

// --- the patient's own row, for a patient new here ------------------------------------------------

class PatientIdentityTest : public UnioneCartellaTest
{
protected:
    // A local patient under the package patient's GUID.
    qint32 Locale(const QString &cognome, const QString &nome, const QString &cf, const QString &aggiornato)
    {
        return Paziente(m_qui, cognome, nome, cf, GuidLa(u"tblAnagrafica"_s, m_paziente), aggiornato);
    }
    QVariant Di(qint32 id, const QString &colonna)
    {
        return Qui(u"SELECT [%1] FROM tblAnagrafica WHERE ID=?"_s.arg(colonna), {id});
    }
};

TEST_F(PatientIdentityTest, ALocalPatientUnderTheGuidIsHimByNameOrCodeElseGetsANewIdentityOrClashes)
{
    enum Esito
    {
        Stesso,  // the package's patient is the local one
        Nuovo,   // added beside him
        Scontro, // refused
    };
    const QString guid = GuidLa(u"tblAnagrafica"_s, m_paziente);
    const struct
    {
        const char *caso;
        QString cognome, nome, cf, aggiornato;
        Esito esito;
        QString colonna = {};   // a column of the local patient afterwards,
        QVariant valore = {};   // and its value
        bool senzaGuid = false; // the package's patient has an empty GUID
    } casi[] = {
        {"same name, no code here", u" bianchi"_s, u"ANNA "_s, QString(), T1, Stesso, u"CodiceFiscale"_s,
         u"BNCNNA80A41H501X"_s},
        {"same name, package newer", u"Bianchi"_s, u"Anna"_s, u"ALTRO"_s, Tprima, Stesso},
        {"same code, package newer", u"Bianchi-Neri"_s, u"Anna"_s, u"bncnna80a41h501x "_s, Tprima, Stesso, u"Cognome"_s,
         u"Bianchi"_s},
        {"other name and code", u"Neri"_s, u"Carla"_s, u"NRECRL"_s, T1, Nuovo, u"Cognome"_s, u"Neri"_s},
        {"no GUID in the package", u"Bianchi"_s, u"Anna"_s, u"BNCNNA80A41H501X"_s, T1, Nuovo, u"GUID"_s, QString(),
         true},
        {"same name, not newer", u"Bianchi"_s, u"Anna"_s, u"BNCNNA80A41H501X"_s, T1, Scontro},
        {"same code, not newer", u"Rossi"_s, u"Anna"_s, u"BNCNNA80A41H501X"_s, T1, Scontro},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        CambiaQui(u"DELETE FROM tblAnagrafica WHERE Cognome<>'Altri'"_s);
        CambiaLa(u"UPDATE tblAnagrafica SET GUID=?"_s, {c.senzaGuid ? QString() : guid});
        const qint32 locale = Locale(c.cognome, c.nome, c.cf, c.aggiornato);
        const QString prima = Contenuto(m_qui);
        clsPaziente paziente;
        EXPECT_EQ(ImportaCartella(paziente, Pacchetto()), c.esito != Scontro) << qPrintable(m_stato.messaggioErrore);
        if (c.esito == Scontro) {
            EXPECT_EQ(paziente.ID, 0);
            EXPECT_EQ(m_stato.messaggioErrore,
                      u"Importa Cartella: Errore 513 Chiave Cognome+Nome+CF diversa:\r\nPaziente su server: Bianchi "
                      "Anna - BNCNNA80A41H501X\r\nPaziente in locale: %1 Anna - BNCNNA80A41H501X\r\nCorreggere "
                      "manualmente i dati anagrafici"_s.arg(c.cognome));
            EXPECT_EQ(Contenuto(m_qui), prima);
            continue;
        }
        EXPECT_EQ(paziente.ID == locale, c.esito == Stesso);
        EXPECT_EQ(Qui(u"SELECT Count(*) FROM tblAnagrafica"_s), c.esito == Stesso ? 2 : 3);
        if (!c.colonna.isEmpty()) {
            EXPECT_EQ(Di(locale, c.colonna), c.valore);
        }
        if (c.esito == Nuovo) { // with a GUID of his own, the package's when it has one
            EXPECT_EQ(Di(paziente.ID, u"GUID"_s).toString().size(), 38);
            EXPECT_NE(Di(locale, u"GUID"_s), Di(paziente.ID, u"GUID"_s));
            if (!c.senzaGuid) {
                EXPECT_EQ(Di(paziente.ID, u"GUID"_s), guid);
                EXPECT_EQ(Di(locale, u"GUID"_s).toString().size(), 38);
            }
        }
    }
}

// --- one transaction per import -------------------------------------------------------------------

TEST_F(ImportTransactionTest, CancelDuringTheMergeRollsEverythingBack)
{
    for (int i = 0; i < 120; ++i) {
        La(u"tblAllergie"_s);
    }
    La(u"tblDiario"_s);
    const QString prima = Contenuto(m_qui);
    for (int dopo : {1, 5, 9}) { // before a table, between tables, inside the long table
        m_pause = 0;
        m_annullaDopo = dopo;
        m_stato.annullato = false;
        clsPaziente paziente;
        EXPECT_FALSE(ImportaCartella(paziente, Pacchetto()));
        EXPECT_EQ(paziente.ID, 0) << "the patient added by the cancelled import is gone";
        EXPECT_TRUE(m_stato.messaggioErrore.isEmpty());
        EXPECT_FALSE(m_qui.inTransazione());
        EXPECT_EQ(Contenuto(m_qui), prima) << "cancelled after " << dopo << " pauses";
    }
}

TEST_F(ImportTransactionTest, FailureInALaterTableUndoesTheEarlierOnes)
{
    La(u"tblDiario"_s);
    const qint32 qui = Importa();
    CambiaLa(u"UPDATE tblDiario SET Diario='nuovo', LastUpdate=?"_s, {T1});
    La(u"SOLE_tblConsenso"_s);
    CambiaQui(
        u"CREATE TRIGGER Rifiuta BEFORE INSERT ON SOLE_tblConsenso BEGIN SELECT RAISE(ABORT, 'rifiutata'); END"_s);
    const QString prima = Contenuto(m_qui);
    clsPaziente paziente;
    paziente.ID = qui;
    EXPECT_FALSE(ImportaCartella(paziente, Pacchetto()));
    EXPECT_EQ(m_stato.messaggioErrore, u"Importa Cartella: Errore 19 rifiutata"_s);
    EXPECT_EQ(Contenuto(m_qui), prima);
    EXPECT_EQ(paziente.ID, qui);
}

TEST_F(ImportTransactionTest, ImportingTheSamePackageTwiceChangesNothingTheSecondTime)
{
    const qint32 diario = La(u"tblDiario"_s);
    for (const QString &t : {u"tblPrescrizioni"_s, u"tblProblemiDiario"_s}) {
        La(t, {{u"IDDiario"_s, diario}});
        La(t, {{u"IDDiario"_s, 777}});
    }
    La(u"tblAppunti"_s);
    La(u"tblAnamnesi"_s);
    const qint32 qui = Importa();
    const QString prima = Contenuto(m_qui, {Momento});
    Importa(qui);
    EXPECT_EQ(Contenuto(m_qui, {Momento}), prima);

    CambiaLa(u"UPDATE tblDiario SET Diario='dopo', LastUpdate=?"_s, {T1});
    Importa(qui);
    const QString dopo = Contenuto(m_qui, {Momento});
    EXPECT_NE(dopo, prima);
    Importa(qui);
    EXPECT_EQ(Contenuto(m_qui, {Momento}), dopo);
}

// --- packages that do not fit ---------------------------------------------------------------------

TEST_F(MergeFaultsTest, ColumnsThatDifferAreLeftAloneOnBothSides)
{
    CambiaQui(u"ALTER TABLE tblAllergie ADD COLUMN SoloQui TEXT DEFAULT 'resta'"_s);
    CambiaLa(u"ALTER TABLE tblAllergie ADD COLUMN SoloLa TEXT"_s);
    const qint32 a = La(u"tblAllergie"_s, {{u"SoloLa"_s, u"x"_s}, {u"Nota"_s, u"n"_s}});
    const qint32 qui = Importa();
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"Nota"_s, a), u"n"_s);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"SoloQui"_s, a), u"resta"_s);

    CambiaQui(u"UPDATE tblAllergie SET SoloQui='mia'"_s);
    CambiaLa(u"UPDATE tblAllergie SET Nota='n2', SoloLa='y', LastUpdate=?"_s, {T1});
    Importa(qui);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"Nota"_s, a), u"n2"_s);
    EXPECT_EQ(Qui(u"tblAllergie"_s, u"SoloQui"_s, a), u"mia"_s);
}

TEST_F(MergeFaultsTest, RowsAndTablesWithoutIdentityAreNeitherMatchedNorAdded)
{
    // Tables without GUID there or without the patient here are skipped.
    CambiaLa(u"ALTER TABLE tblAllergie RENAME COLUMN GUID TO Identita"_s);
    La(u"tblAllergie"_s, {{u"Identita"_s, CreaGUID()}});
    CambiaQui(u"ALTER TABLE tblAppunti RENAME COLUMN IDPaziente TO Paz"_s);
    La(u"tblAppunti"_s);
    const qint32 qui = Importa();
    EXPECT_EQ(Qui(u"SELECT Count(*) FROM tblAllergie WHERE IDPaziente=?"_s, {qui}), 0);
    EXPECT_EQ(Qui(u"SELECT Count(*) FROM tblAppunti"_s), 0);

    // Rows with a Null, empty or blank GUID on either side.
    for (const QVariant &guid : {QVariant(), QVariant(QString())}) {
        Riga(m_qui, u"tblDiario"_s, {{u"IDPaziente"_s, qui}, {u"GUID"_s, guid}, {u"Diario"_s, u"qui"_s}});
    }
    for (const QVariant &guid : {QVariant(), QVariant(QString()), QVariant(u"  "_s)}) {
        La(u"tblDiario"_s, {{u"GUID"_s, guid}, {u"Diario"_s, u"dal pacchetto"_s}, {u"LastUpdate"_s, T1}});
    }
    const QString prima = Contenuto(m_qui, {Momento});
    Importa(qui);
    EXPECT_EQ(Contenuto(m_qui, {Momento}), prima);
}

TEST_F(MergeFaultsTest, APackageWithoutThePatientOrChangesForAnAbsentOneFail)
{
    La(u"tblAllergie"_s, {{u"ToSend"_s, 0}});
    const QString prima = Contenuto(m_qui);
    clsPaziente paziente;
    EXPECT_FALSE(ImportaCartella(paziente, Pacchetto(false, 4711)));
    EXPECT_EQ(m_stato.messaggioErrore, u"Importa Cartella: Errore 514 Il pacchetto non contiene il paziente"_s);

    Database &senzaTabella = Pacchetto();
    ASSERT_TRUE(senzaTabella.esegui(u"DROP TABLE tblAnagrafica"_s));
    EXPECT_FALSE(ImportaCartella(paziente, senzaTabella));
    EXPECT_TRUE(m_stato.messaggioErrore.startsWith(u"Importa Cartella: Errore 514 "_s));
    EXPECT_EQ(paziente.ID, 0);

    EXPECT_FALSE(ImportaModifiche(999, Pacchetto(true)));
    EXPECT_EQ(m_stato.messaggioErrore, u"Importa Modifiche: Errore 515 Il paziente 999 non è presente nell'archivio"_s);
    EXPECT_EQ(Contenuto(m_qui), prima);
}

// --- through the package text ---------------------------------------------------------------------

TEST_F(PackageImportTest, ChartAndChangesArriveAsPackageText)
{
    ASSERT_TRUE(m_cartella.CaricaListaTabelle(QStringLiteral(LANVERA_CARTELLA_SQL)));
    La(u"tblDiario"_s);
    auto impacchetta = [this] {
        QString testo;
        m_stato.archivio = &m_la;
        EXPECT_TRUE(m_cartella.CreaCartella(m_paziente, testo)) << qPrintable(m_stato.messaggioErrore);
        m_stato.archivio = &m_qui;
        return testo;
    };

    clsPaziente paziente;
    paziente.Cognome = u"Bianchi"_s;
    paziente.Nome = u"Anna"_s;
    ASSERT_TRUE(m_unione.ImportaCartella(paziente, impacchetta())) << qPrintable(m_stato.messaggioErrore);
    EXPECT_EQ(Qui(u"SELECT Count(*) FROM tblDiario WHERE IDPaziente=?"_s, {paziente.ID}), 1);
    EXPECT_FALSE(QFile::exists(PacchettoCartella::FileMdb()));

    CambiaLa(u"UPDATE tblDiario SET Diario='cambiato', ToSend=0, LastUpdate=?"_s, {T1});
    ASSERT_TRUE(m_unione.ImportaModifiche(paziente, u"Verdi Luca"_s, impacchetta()));
    EXPECT_EQ(m_log, QStringList{u"Aggiorno cartella di Bianchi Anna"_s});
    EXPECT_EQ(Qui(u"SELECT Diario FROM tblDiario WHERE IDPaziente=?"_s, {paziente.ID}), u"cambiato"_s);
}

// --- packages from an untrusted network -----------------------------------------------------------

TEST_F(UntrustedPackageTest, DatabasesThatAreNotStoredRowsAreRefusedBeforeAnythingIsRead)
{
    const QString colonne = u"ID, GUID, IDPaziente, LastUpdate, ToSend, Diario"_s;
    const struct
    {
        const char *caso;
        QStringList sql;
        QString motivo;
        bool svuota = false; // every table dropped first
    } casi[] = {
        {"endless view",
         {u"DROP TABLE tblDiario"_s,
          u"CREATE VIEW tblDiario AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n+1 "
          "FROM r) SELECT n AS ID, 'g'||n AS GUID, 1 AS IDPaziente, '2030-01-01' AS LastUpdate, 0 AS ToSend, "
          "'x' AS Diario FROM r"_s},
         u"contiene la vista 'tblDiario'"_s},
        {"view of huge rows",
         {u"DROP TABLE tblAllergie"_s, u"CREATE VIEW tblAllergie AS SELECT 1 AS ID, 'g' AS GUID, "
                                       "zeroblob(52428800) AS Nota, 0 AS ToSend"_s},
         u"contiene la vista 'tblAllergie'"_s},
        {"trigger",
         {u"CREATE TRIGGER Scatta AFTER INSERT ON tblDiario BEGIN SELECT 1; END"_s},
         u"contiene il trigger 'Scatta'"_s},
        {"virtual table",
         {u"DROP TABLE tblDiario"_s, u"CREATE VIRTUAL TABLE tblDiario USING fts5(%1)"_s.arg(colonne)},
         u"contiene la tabella virtuale 'tblDiario'"_s},
        {"computed column",
         {u"DROP TABLE tblAllergie"_s, u"CREATE TABLE tblAllergie (ID INTEGER, GUID TEXT, IDPaziente INTEGER, "
                                       "ToSend INTEGER, Nota BLOB AS (zeroblob(52428800)) VIRTUAL)"_s},
         u"la tabella 'tblAllergie' ha colonne calcolate"_s},
        {"computed column behind a comment",
         {u"DROP TABLE tblAllergie"_s, u"CREATE TABLE tblAllergie (ID INTEGER, GUID TEXT, IDPaziente INTEGER, "
                                       "ToSend INTEGER, Nota BLOB AS/**/(zeroblob(52428800)))"_s},
         u"la tabella 'tblAllergie' ha colonne calcolate"_s},
        {"no table at all", {u"PRAGMA user_version=7"_s}, u"non contiene tabelle"_s, true},
        {"no table of a chart", {u"CREATE TABLE Altro (x)"_s}, u"non contiene tabelle della cartella"_s, true},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        Rifiutato(Testo([&](Database &db) {
                      if (c.svuota) {
                          for (const QString &t : db.tabelle()) {
                              EXPECT_TRUE(db.esegui(u"DROP TABLE [%1]"_s.arg(t)));
                          }
                      }
                      for (const QString &sql : c.sql) {
                          EXPECT_TRUE(db.esegui(sql)) << qPrintable(db.ultimoErrore().testo());
                      }
                  }),
                  NonValido + c.motivo);
    }
}

TEST_F(UntrustedPackageTest, EmptyLyingAndDamagedFilesAreRefused)
{
    auto conFile = [this](const std::function<void(QFile &)> &cambia) {
        Database &db = Pacchetto();
        const QString file = db.percorso();
        db.chiudi();
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadWrite));
        cambia(f);
        f.close();
        return TestoPacchetto(Leggi(file));
    };
    Rifiutato(conFile([](QFile &f) { f.resize(0); }), NonValido + u"il database è vuoto"_s);
    // The header claims a million pages (and is trusted: its change counter matches).
    Rifiutato(conFile([](QFile &f) {
                  f.seek(24);
                  const QByteArray contatore = f.read(4);
                  f.seek(28);
                  f.write(QByteArray::fromHex("000F4240"));
                  f.seek(92);
                  f.write(contatore);
              }),
              NonValido + u"dimensione non coerente: 1000000 pagine da 4096 byte in un file di "_s);
    Rifiutato(conFile([](QFile &f) {
                  f.seek(f.size() - 4096); // the header of the last table's page
                  f.write(QByteArray(8, '\xff'));
              }),
              NonValido + u"verifica della struttura non superata: "_s);
    Rifiutato(TestoPacchetto("questo non e' un database, solo del testo qualunque"), u"Errore 26 "_s);
    Rifiutato(u"bm9uIMOoIHVuIHBhY2NoZXR0bw=="_s, u"Errore UNZIP "_s); // Base64, but of no zip
}

TEST_F(UntrustedPackageTest, ChangesReachingIntoAnotherPatientAreRefusedWhole)
{
    // The package carries, beside a real change, B's diary row and one of his links by GUID.
    const QString guidB =
        Qui(u"SELECT GUID FROM tblDiario WHERE IDPaziente=? ORDER BY ID LIMIT 1"_s, {m_altro}).toString();
    Riga(m_qui, u"tblProblemiDiario"_s, {{u"IDPaziente"_s, m_altro}, {u"GUID"_s, u"{LINK-B}"_s}});
    m_prima = Contenuto(m_qui);
    CambiaLa(u"UPDATE tblDiario SET Diario='cambiato', LastUpdate=?"_s, {T1});
    for (const auto &[tabella, guid] :
         {std::pair{u"tblDiario"_s, guidB}, std::pair{u"tblproblemidiario"_s, u"{LINK-B}"_s}}) {
        const QString testo = Testo(
            [&](Database &db) {
                EXPECT_TRUE(db.esegui(
                    u"INSERT INTO [%1] (GUID, IDPaziente, LastUpdate, ToSend) VALUES (?, ?, ?, 0)"_s.arg(tabella),
                    {guid, m_paziente, T1}));
            },
            true);
        EXPECT_FALSE(m_unione.ImportaModifiche(Filato(m_qui_id), u"Verdi Luca"_s, testo));
        EXPECT_EQ(m_stato.messaggioErrore, u"Importa Modifiche: pacchetto non valido: la riga %1 di %2 appartiene a "
                                           "Altri, non a Bianchi Anna"_s.arg(guid, tabella));
        EXPECT_EQ(Contenuto(m_qui), m_prima) << "nothing half applied";
    }
}

TEST_F(UntrustedPackageTest, AWholeChartMustBeThePatientsItWasFiledUnder)
{
    // Filed under another key.
    clsPaziente p = Filato(m_qui_id);
    p.KeyPaziente = u"rssmra70a01h501u;rossi;mario"_s;
    p.Cognome = u"Rossi"_s;
    p.Nome = u"Mario"_s;
    EXPECT_FALSE(m_unione.ImportaCartella(p, Testo(Pacchetto())));
    EXPECT_EQ(m_stato.messaggioErrore,
              u"Importa Cartella: pacchetto non valido: contiene la cartella di Bianchi Anna, non di Rossi Mario"_s);

    // Its patient row is another local patient's, for a new patient and for one brought up to date.
    const QString guidAltro = Qui(u"SELECT GUID FROM tblAnagrafica WHERE ID=?"_s, {m_altro}).toString();
    const QString testo =
        Testo([&](Database &db) { EXPECT_TRUE(db.esegui(u"UPDATE tblAnagrafica SET GUID=?"_s, {guidAltro})); });
    for (qint32 id : {0, m_qui_id}) {
        clsPaziente filato = Filato(id);
        EXPECT_FALSE(m_unione.ImportaCartella(filato, testo));
        EXPECT_EQ(m_stato.messaggioErrore, u"Importa Cartella: pacchetto non valido: la cartella di Bianchi Anna "
                                           "porta l'identità di Altri, un altro paziente di questo archivio"_s);
    }
    // No patient row at all.
    clsPaziente nuovo = Filato(m_qui_id);
    EXPECT_FALSE(
        m_unione.ImportaCartella(nuovo, Testo([](Database &db) { db.esegui(u"DELETE FROM tblAnagrafica"_s); })));
    EXPECT_EQ(m_stato.messaggioErrore, u"Importa Cartella: pacchetto non valido: non contiene il paziente"_s);
    EXPECT_EQ(Contenuto(m_qui), m_prima);
}

TEST_F(UntrustedPackageTest, OddButHonestPackagesStillMerge)
{
    const struct
    {
        const char *caso;
        std::function<void(Database &)> cambia;
    } casi[] = {
        {"odd names",
         [](Database &db) {
             EXPECT_TRUE(db.esegui(u"CREATE TABLE [strana \"tabella'; --] ([colonna ; strana], [x\"y])"_s));
             EXPECT_TRUE(db.esegui(u"ALTER TABLE tblDiario ADD COLUMN [nuova ' colonna] TEXT"_s));
         }},
        {"wrong column types",
         [](Database &db) { EXPECT_TRUE(db.esegui(u"UPDATE tblDiario SET ToSend='0', IDPaziente='x', Diario=42"_s)); }},
        {"very large text",
         [](Database &db) {
             EXPECT_TRUE(db.esegui(u"UPDATE tblDiario SET Diario=?"_s, {QString(20 * 1024 * 1024, u'x')}));
         }},
        {"thousands of tables",
         [](Database &db) {
             EXPECT_TRUE(db.iniziaTransazione());
             for (int i = 0; i < 3000; ++i) {
                 db.esegui(u"CREATE TABLE [extra%1] (a, b, c)"_s.arg(i));
             }
             EXPECT_TRUE(db.confermaTransazione());
         }},
        {"thousands of columns",
         [](Database &db) {
             QStringList colonne;
             for (int i = 0; i < 1900; ++i) {
                 colonne << u"c%1"_s.arg(i);
             }
             EXPECT_TRUE(db.esegui(u"CREATE TABLE Larga (%1)"_s.arg(colonne.join(u", "_s))));
         }},
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        CambiaLa(u"UPDATE tblDiario SET Diario=?, LastUpdate=?"_s, {QString::fromLatin1(c.caso), T1});
        clsPaziente p = Filato(m_qui_id);
        EXPECT_TRUE(m_unione.ImportaCartella(p, Testo(c.cambia))) << qPrintable(m_stato.messaggioErrore);
        EXPECT_EQ(Qui(u"SELECT Count(*) FROM tblDiario WHERE IDPaziente=?"_s, {m_qui_id}), 1);
        CambiaLa(u"UPDATE tblDiario SET LastUpdate=?"_s, {T0});
        CambiaQui(u"UPDATE tblDiario SET LastUpdate=? WHERE IDPaziente=?"_s, {T0, m_qui_id});
    }
}

TEST_F(UntrustedPackageTest, TheOwnChartComingBackUnchangedIsRecognisedAsSent)
{
    // This archive's chart packed with changes not yet marked as sent, as an upload killed before
    // its local commit leaves it.
    CambiaQui(u"UPDATE tblDiario SET ToSend=0 WHERE IDPaziente=?"_s, {m_qui_id});
    CambiaQui(u"UPDATE tblAnagrafica SET ToSend=0 WHERE ID=?"_s, {m_qui_id});
    const QString uguale = Testo(Pacchetto(false, m_qui_id, &m_qui));
    clsPaziente p = Filato(m_qui_id);
    ASSERT_TRUE(m_unione.ImportaCartella(p, uguale)) << qPrintable(m_stato.messaggioErrore);
    EXPECT_TRUE(m_stato.cartellaComeInviata);

    // Changed here after it was packed: the change is still to be sent.
    CambiaQui(u"UPDATE tblDiario SET Diario='dopo', LastUpdate=? WHERE IDPaziente=?"_s, {T1, m_qui_id});
    ASSERT_TRUE(m_unione.ImportaCartella(p, uguale));
    EXPECT_FALSE(m_stato.cartellaComeInviata);
    // A server chart that differs from what is here is never taken for this archive's own.
    ASSERT_TRUE(m_unione.ImportaCartella(p, Testo(Pacchetto())));
    EXPECT_FALSE(m_stato.cartellaComeInviata);
}
