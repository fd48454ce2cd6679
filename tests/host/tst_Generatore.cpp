#include "ArchivioTest.h"
#include "modCodiceFiscale.h"
#include "modGeneratore.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;
using namespace lanvera::host;
using lanvera::host::test::Archivio;
using lanvera::host::test::TabelleCartella;

namespace {

const QDate kOggi(2024, 5, 15);

OpzioniGeneratore opzioniBase()
{
    OpzioniGeneratore opzioni;
    opzioni.cf = CalcolaCodiceFiscale(u"Verdi"_s, u"Giulia"_s, QDate(1970, 1, 1), u'F', u"A944"_s);
    opzioni.oggi = kOggi;
    opzioni.seme = 42;
    return opzioni;
}

} // namespace

class HostGeneratoreTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        OpzioniGeneratore o = opzioniBase();
        o.pazienti = 800;
        o.quotaRevocati = 0.2;
        o.quotaDecessi = 0.25;
        o.quotaRiattivati = 0.05;
        o.quotaProprio = 0.1;
        o.quotaDaCollega = 0.05;
        o.quotaDaVerificare = 0.1;
        o.sole = true;
        o.quotaAllineati = 0.9;
        o.passwordSync = u"cifrata=="_s;
        s_cartella = std::make_unique<QTemporaryDir>();
        QString errore;
        ASSERT_TRUE(GeneraArchivio(percorso(), o, &errore)) << errore.toStdString();
    }
    static void TearDownTestSuite() { s_cartella.reset(); }
    static QString percorso() { return s_cartella->filePath(u"Medico.mdb"_s); }

    static inline std::unique_ptr<QTemporaryDir> s_cartella;
};

TEST_F(HostGeneratoreTest, HoldsTheSharesAndTheOwnerAsked)
{
    // Per patient: relationships, latest start and end, the reason of the last one; revoked by the
    // rule of the patient list (the latest end is past, unless care began again on or after it).
    const QString pazienti =
        u"(SELECT *, date(f) <= '2024-05-15' AND i < f AS revocato FROM (SELECT COUNT(*) AS n, MAX(DataInizio) AS i, "
        "MAX(DataFine) AS f, (SELECT lower(Motivo) FROM tblRapporti u WHERE u.IDPaziente = r.IDPaziente ORDER BY "
        "ID DESC LIMIT 1) AS m FROM tblRapporti r GROUP BY IDPaziente))"_s;
    const QList<std::pair<QString, qint64>> quote = {
        {pazienti, 800},
        {pazienti + u" WHERE revocato"_s, 160},
        {pazienti + u" WHERE revocato AND (m LIKE '%dece%' OR m LIKE '%mort%')"_s, 40},
        {pazienti + u" WHERE n = 2 AND NOT revocato"_s, 32}, // 5% of the 640 others
        {u"tblAnagrafica WHERE Proprio <> 0"_s, 80},
        {u"tblAnagrafica WHERE UIDCMedico <> ''"_s, 40},
        {u"tblAnagrafica WHERE Proprio <> 0 AND UIDCMedico <> ''"_s, 0},
        {u"tblAnagrafica2 WHERE TagStato = 1"_s, 80},
        {u"SOLE_tblAllineati WHERE Allineato = -1"_s, 720},
        {u"(SELECT DISTINCT IDPaziente FROM SOLE_tblAllineati)"_s, 800},
        // The owner, his sync password, and the moment the archive joined the network: before the rows,
        // so that their changes count.
        {u"tblMedico WHERE IDRete = 1 AND CodiceFiscale = '%1'"_s.arg(opzioniBase().cf), 1},
        {u"tblMedico WHERE IDRete = 1"_s, 1},
        {u"SOLE_tblConfig WHERE \"Key\" = 'CodiceFiscaleMedico' AND Valore = '%1'"_s.arg(opzioniBase().cf), 1},
        {u"arcItems WHERE \"Key\" = 'QUOR.PasswordMedicoSync' AND Item = 'cifrata=='"_s, 1},
        {u"arcItems WHERE \"Key\" = 'QUOR.DataInit' AND Item GLOB '20[0-9]*' AND length(Item) = 14 AND "
         "Item < '20240515'"_s,
         1},
        {u"QUOR_Versione WHERE ID = 1"_s, 1},
    };
    Archivio archivio(percorso());
    for (const auto &[dove, quanti] : quote) {
        EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM "_s + dove), quanti) << dove.toStdString();
    }
    // Both forms of "not from a colleague" occur.
    EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica WHERE UIDCMedico IS NULL"_s), 0);
    EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica WHERE UIDCMedico = ''"_s), 0);
}

// What the merge relies on in every table: rows of existing patients, keys into rows of the same
// patient, unique GUIDs, well-formed dates no later than today, nothing marked as sent.
TEST_F(HostGeneratoreTest, RowsAreWhatTheMergeExpects)
{
    static const QRegularExpression formaGuid(
        u"^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"_s);
    const QMap<QString, QString> padri = {
        {u"IDDiario"_s, u"tblDiario"_s},
        {u"IDRicetta"_s, u"tblRicette"_s},
        {u"IDProblema"_s, u"tblProblemi"_s},
        {u"IDCertificatoPadre"_s, u"tblCertificatiINAIL"_s},
        {u"IDCertificato"_s, u"tblCertificatiINPS"_s},
        {u"IDStorico"_s, u"DIABETE_tblStorico"_s},
    };
    const QString fineGiornata = kOggi.toString(Qt::ISODate) + u" 23:59:59"_s;
    Archivio archivio(percorso());
    QStringList guid;
    QSet<QString> chiaviUsate;
    for (const QString &tabella : archivio.tabelle()) {
        SCOPED_TRACE(tabella.toStdString());
        const QStringList colonne = archivio.righe(u"SELECT name FROM pragma_table_info(?)"_s, {tabella});
        const auto nessuna = [&](const QString &condizione, const QVariantList &parametri = {}) {
            EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\" t WHERE "_s.arg(tabella) + condizione, parametri), 0)
                << condizione.toStdString();
        };
        if (colonne.contains(u"IDPaziente"_s)) {
            nessuna(u"NOT EXISTS (SELECT 1 FROM tblAnagrafica a WHERE a.ID = t.IDPaziente)"_s);
        }
        for (const QString &colonna : colonne) {
            if (padri.contains(colonna)) {
                nessuna(u"t.%1 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM \"%2\" p WHERE p.ID = t.%1 AND "
                        "p.IDPaziente = t.IDPaziente)"_s.arg(colonna, padri.value(colonna)));
                if (archivio.conta(u"SELECT COUNT(%1) FROM \"%2\""_s.arg(colonna, tabella)) > 0) {
                    chiaviUsate.insert(colonna);
                }
            }
        }
        if (colonne.contains(u"GUID"_s)) {
            guid += archivio.righe(u"SELECT GUID FROM \"%1\""_s.arg(tabella));
        }
        // Written back by SQLite's own formatter, a well-formed real date reads the same.
        for (const QString &data :
             archivio.righe(u"SELECT name FROM pragma_table_info(?) WHERE type = 'DATETIME'"_s, {tabella})) {
            nessuna(u"\"%1\" IS NOT NULL AND strftime('%Y-%m-%d %H:%M:%S', \"%1\") IS NOT \"%1\""_s.arg(data));
        }
        if (colonne.contains(u"ToSend"_s)) {
            nessuna(u"ToSend <> 0 OR ToRepl <> 0 OR ModificatoDa IS NOT NULL"_s);
            nessuna(u"LastInsert IS NULL OR LastUpdate < LastInsert OR LastUpdate > ?"_s, {fineGiornata});
        }
    }
    EXPECT_EQ(chiaviUsate.size(), padri.size());
    EXPECT_GT(guid.size(), 10'000);
    EXPECT_EQ(QSet<QString>(guid.cbegin(), guid.cend()).size(), guid.size());
    EXPECT_EQ(guid.filter(formaGuid).size(), guid.size());
    // A continuation points at the first certificate, never at another continuation.
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblCertificatiINAIL c JOIN tblCertificatiINAIL p "
                             "ON p.ID = c.IDCertificatoPadre WHERE p.IDCertificatoPadre IS NOT NULL"_s),
              0);
    for (const QString &tabella : TabelleCartella()) {
        EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM \"%1\""_s.arg(tabella)), 0) << tabella.toStdString();
    }
    // Patients are told apart by their fiscal code.
    const QStringList cf = archivio.righe(u"SELECT CodiceFiscale FROM tblAnagrafica"_s);
    EXPECT_EQ(QSet<QString>(cf.cbegin(), cf.cend()).size(), cf.size());
}

TEST(HostGeneratoreOpzioniTest, SameSeedSameArchive)
{
    QTemporaryDir cartella;
    const auto genera = [&](const QString &nome, quint32 seme, const QString &cf) {
        OpzioniGeneratore opzioni = opzioniBase();
        opzioni.pazienti = 40;
        opzioni.sole = true;
        opzioni.seme = seme;
        opzioni.cf = cf;
        QString errore;
        EXPECT_TRUE(GeneraArchivio(cartella.filePath(nome), opzioni, &errore)) << errore.toStdString();
        return Archivio(cartella.filePath(nome)).dump();
    };
    const auto guid = [](const QStringList &dump) {
        static const QRegularExpression forma(u"\\{[0-9A-F-]{36}\\}"_s);
        QSet<QString> trovati;
        for (auto m = forma.globalMatch(dump.join(u'\n')); m.hasNext();) {
            trovati.insert(m.next().captured());
        }
        return trovati;
    };
    const QString cf = opzioniBase().cf;
    const QStringList a = genera(u"a.mdb"_s, 42, cf);
    EXPECT_GT(a.size(), 40 * 20);
    EXPECT_GT(guid(a).size(), 40);
    // Long enough apart that content taken from the clock would differ.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(genera(u"b.mdb"_s, 42, cf), a);
    EXPECT_NE(genera(u"c.mdb"_s, 43, cf), a);
    // Another doctor with the same seed gets rows of his own: no GUID in common.
    const QString neri = CalcolaCodiceFiscale(u"Neri"_s, u"Paolo"_s, QDate(1968, 3, 3), u'M', u"F205"_s);
    EXPECT_FALSE(guid(genera(u"d.mdb"_s, 42, neri)).intersects(guid(a)));
}

TEST(HostGeneratoreOpzioniTest, RegistryOnlyArchiveWithoutSoleOrNetworkTables)
{
    QTemporaryDir cartella;
    OpzioniGeneratore opzioni = opzioniBase();
    opzioni.pazienti = 30;
    opzioni.righe = 0;
    opzioni.strutturaQuor = false;
    const QString percorso = cartella.filePath(u"semplice.mdb"_s);
    QString errore;
    ASSERT_TRUE(GeneraArchivio(percorso, opzioni, &errore)) << errore.toStdString();
    Archivio archivio(percorso);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica"_s), 30);
    for (const QString &tabella : TabelleCartella()) {
        const bool anagrafe = tabella == u"tblRapporti"_s || tabella == u"tblAnagrafica2"_s;
        EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\""_s.arg(tabella)) > 0, anagrafe) << tabella.toStdString();
    }
    for (const QString &tabella : {u"SOLE_Versione"_s, u"QUOR_tblUpdate"_s, u"QUOR_Versione"_s}) {
        EXPECT_FALSE(archivio.esisteTabella(tabella)) << tabella.toStdString();
    }
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM arcItems WHERE \"Key\" LIKE 'QUOR.%'"_s), 0);
}

TEST(HostGeneratoreOpzioniTest, RefusesOptionsItCannotHonour)
{
    const struct
    {
        int pazienti;
        double revocati, proprio, daCollega;
    } casi[] = {{-1, 0, 0, 0}, {5, 1.5, 0, 0}, {5, std::nan(""), 0, 0}, {5, 0, 0.7, 0.7}};
    QTemporaryDir cartella;
    const QString percorso = cartella.filePath(u"x.mdb"_s);
    for (const auto &caso : casi) {
        OpzioniGeneratore opzioni = opzioniBase();
        opzioni.pazienti = caso.pazienti;
        opzioni.quotaRevocati = caso.revocati;
        opzioni.quotaProprio = caso.proprio;
        opzioni.quotaDaCollega = caso.daCollega;
        EXPECT_FALSE(VerificaOpzioni(opzioni).isEmpty()) << &caso - casi;
        QString errore;
        EXPECT_FALSE(GeneraArchivio(percorso, opzioni, &errore)) << &caso - casi;
        EXPECT_FALSE(errore.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(percorso));
}
