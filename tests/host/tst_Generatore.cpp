#include "ArchivioTest.h"
#include "modCodiceFiscale.h"
#include "modDatiDemo.h"
#include "modGeneratore.h"

#include <QDateTime>
#include <QFile>
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

QString giorno(const QVariant &data)
{
    return data.toString().left(10).remove(u'-');
}

} // namespace

class HostGeneratoreTest : public ::testing::Test
{
protected:
    static OpzioniGeneratore opzioni()
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
        return o;
    }

    static void SetUpTestSuite()
    {
        s_cartella = std::make_unique<QTemporaryDir>();
        s_percorso = s_cartella->filePath(u"Medico.mdb"_s);
        QString errore;
        ASSERT_TRUE(GeneraArchivio(s_percorso, opzioni(), &errore, &s_riepilogo)) << errore.toStdString();
    }
    static void TearDownTestSuite() { s_cartella.reset(); }

    static std::unique_ptr<QTemporaryDir> s_cartella;
    static QString s_percorso;
    static RiepilogoGeneratore s_riepilogo;
};

std::unique_ptr<QTemporaryDir> HostGeneratoreTest::s_cartella;
QString HostGeneratoreTest::s_percorso;
RiepilogoGeneratore HostGeneratoreTest::s_riepilogo;

TEST_F(HostGeneratoreTest, SharesAreAsAsked)
{
    Archivio archivio(s_percorso);
    const QString oggi = kOggi.toString(u"yyyyMMdd"_s);
    int revocati = 0, decessi = 0, riattivati = 0;
    const QList<QVariantList> pazienti = archivio.righe(u"SELECT ID FROM tblAnagrafica ORDER BY ID"_s);
    ASSERT_EQ(pazienti.size(), 800);
    for (const QVariantList &paziente : pazienti) {
        // The rule of the patient list: the latest end, unless care began again on or after it.
        const QList<QVariantList> rapporti = archivio.righe(
            u"SELECT DataInizio, DataFine, Motivo FROM tblRapporti WHERE IDPaziente = ? ORDER BY ID"_s, {paziente[0]});
        ASSERT_FALSE(rapporti.isEmpty());
        QString inizio, fine;
        for (const QVariantList &rapporto : rapporti) {
            inizio = std::max(inizio, giorno(rapporto[0]));
            fine = std::max(fine, giorno(rapporto[1]));
        }
        const bool revocato = !fine.isEmpty() && fine <= oggi && !(inizio >= fine);
        const QString motivo = rapporti.last()[2].toString().toLower();
        revocati += revocato;
        decessi += revocato && (motivo.contains(u"dece"_s) || motivo.contains(u"mort"_s));
        riattivati += rapporti.size() == 2 && !revocato;
    }
    EXPECT_EQ(revocati, 160);
    EXPECT_EQ(decessi, 40);
    EXPECT_EQ(riattivati, 32); // 5% of the 640 others
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica WHERE Proprio <> 0"_s), 80);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica WHERE UIDCMedico <> ''"_s), 40);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica WHERE Proprio <> 0 AND UIDCMedico <> ''"_s), 0);
    // Both forms of "not from a colleague" occur.
    EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica WHERE UIDCMedico IS NULL"_s), 0);
    EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica WHERE UIDCMedico = ''"_s), 0);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica2 WHERE TagStato = 1"_s), 80);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM SOLE_tblAllineati WHERE Allineato = -1"_s), 720);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(DISTINCT IDPaziente) FROM SOLE_tblAllineati"_s), 800);
}

TEST_F(HostGeneratoreTest, FiscalCodesAgreeWithTheRegistry)
{
    QHash<QString, QString> comuni;
    for (const auto &comune : demo::Comuni()) {
        comuni.insert(QString::fromUtf8(comune.nome), QString::fromUtf8(comune.codice));
    }
    Archivio archivio(s_percorso);
    QSet<QString> visti;
    for (const QVariantList &riga : archivio.righe(
             u"SELECT CodiceFiscale, Cognome, Nome, DataNascita, Sesso, LuogoNascita FROM tblAnagrafica"_s)) {
        const QString cf = riga[0].toString();
        SCOPED_TRACE(cf.toStdString());
        ASSERT_EQ(cf.size(), 16);
        EXPECT_TRUE(CodiceFiscaleValido(cf));
        EXPECT_FALSE(visti.contains(cf));
        visti.insert(cf);
        const QDate nascita = QDate::fromString(riga[3].toString().left(10), Qt::ISODate);
        const bool donna = riga[4].toString() == u"F"_s;
        EXPECT_EQ(cf.left(3), CodiceNominativo(riga[1].toString(), false));
        EXPECT_EQ(cf.mid(3, 3), CodiceNominativo(riga[2].toString(), true));
        EXPECT_EQ(cf.mid(6, 2).toInt(), nascita.year() % 100);
        EXPECT_EQ(cf.at(8), QStringView(u"ABCDEHLMPRST").at(nascita.month() - 1));
        EXPECT_EQ(cf.mid(9, 2).toInt(), nascita.day() + (donna ? 40 : 0));
        EXPECT_EQ(cf.mid(11, 4), comuni.value(riga[5].toString()));
    }
}

TEST_F(HostGeneratoreTest, EveryChartRowBelongsToAnExistingPatient)
{
    Archivio archivio(s_percorso);
    for (const QString &tabella : archivio.tabelle()) {
        if (!archivio.nomiColonne(tabella).contains(u"IDPaziente"_s)) {
            continue;
        }
        EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\" t WHERE NOT EXISTS "
                                 "(SELECT 1 FROM tblAnagrafica a WHERE a.ID = t.IDPaziente)"_s.arg(tabella)),
                  0)
            << tabella.toStdString();
    }
}

TEST_F(HostGeneratoreTest, ForeignKeysPointAtRowsOfTheSamePatient)
{
    const QList<std::pair<QString, QString>> chiavi = {
        {u"IDDiario"_s, u"tblDiario"_s},
        {u"IDRicetta"_s, u"tblRicette"_s},
        {u"IDProblema"_s, u"tblProblemi"_s},
        {u"IDCertificatoPadre"_s, u"tblCertificatiINAIL"_s},
        {u"IDCertificato"_s, u"tblCertificatiINPS"_s},
        {u"IDStorico"_s, u"DIABETE_tblStorico"_s},
    };
    Archivio archivio(s_percorso);
    for (const auto &[colonna, padre] : chiavi) {
        qint64 usate = 0;
        for (const QString &tabella : archivio.tabelle()) {
            if (!archivio.nomiColonne(tabella).contains(colonna)) {
                continue;
            }
            SCOPED_TRACE(QString(tabella + u'.' + colonna).toStdString());
            usate += archivio.conta(u"SELECT COUNT(*) FROM \"%1\" WHERE %2 IS NOT NULL"_s.arg(tabella, colonna));
            EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\" t WHERE t.%2 IS NOT NULL AND NOT EXISTS "
                                     "(SELECT 1 FROM \"%3\" p WHERE p.ID = t.%2 AND p.IDPaziente = t.IDPaziente)"_s.arg(
                                         tabella, colonna, padre)),
                      0);
        }
        EXPECT_GT(usate, 0) << colonna.toStdString() << " is never filled";
    }
    // A continuation points at the first certificate, never at another continuation.
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblCertificatiINAIL c JOIN tblCertificatiINAIL p "
                             "ON p.ID = c.IDCertificatoPadre WHERE p.IDCertificatoPadre IS NOT NULL"_s),
              0);
    EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM tblCertificatiINAIL WHERE IDCertificatoPadre IS NULL"_s), 0);
}

TEST_F(HostGeneratoreTest, GuidsAreUniqueAndWellFormed)
{
    static const QRegularExpression forma(u"^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"_s);
    Archivio archivio(s_percorso);
    QSet<QString> guid;
    qint64 righe = 0;
    for (const QString &tabella : archivio.tabelle()) {
        if (!archivio.nomiColonne(tabella).contains(u"GUID"_s)) {
            continue;
        }
        for (const QVariantList &riga : archivio.righe(u"SELECT GUID FROM \"%1\""_s.arg(tabella))) {
            ++righe;
            const QString testo = riga[0].toString();
            EXPECT_TRUE(forma.match(testo).hasMatch()) << tabella.toStdString() << ": " << testo.toStdString();
            guid.insert(testo);
        }
    }
    EXPECT_GT(righe, 10'000);
    EXPECT_EQ(guid.size(), righe);
}

TEST_F(HostGeneratoreTest, DatesAreIsoTextAndNoRowIsFromTheFuture)
{
    const QString fineGiornata = kOggi.toString(Qt::ISODate) + u" 23:59:59"_s;
    Archivio archivio(s_percorso);
    int colonneData = 0;
    for (const QString &tabella : archivio.tabelle()) {
        for (const auto &colonna : archivio.colonne(tabella)) {
            if (colonna.tipo != u"DATETIME"_s) {
                continue;
            }
            ++colonneData;
            // Written back by SQLite's own formatter, a well-formed real date reads the same.
            EXPECT_EQ(
                archivio.conta(u"SELECT COUNT(*) FROM \"%1\" WHERE \"%2\" IS NOT NULL AND "
                               "strftime('%Y-%m-%d %H:%M:%S', \"%2\") IS NOT \"%2\""_s.arg(tabella, colonna.nome)),
                0)
                << QString(tabella + u'.' + colonna.nome).toStdString();
        }
        if (archivio.nomiColonne(tabella).contains(u"LastUpdate"_s)) {
            EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\" WHERE LastInsert IS NULL OR LastUpdate < LastInsert "
                                     "OR LastUpdate > ?"_s.arg(tabella),
                                     {fineGiornata}),
                      0)
                << tabella.toStdString();
        }
    }
    EXPECT_GT(colonneData, 100);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblDiario WHERE Data > ?"_s, {fineGiornata}), 0);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica a JOIN tblRapporti r ON r.IDPaziente = a.ID "
                             "WHERE r.DataInizio <= a.DataNascita"_s),
              0);
}

TEST_F(HostGeneratoreTest, NothingIsMarkedAsSent)
{
    Archivio archivio(s_percorso);
    for (const QString &tabella : archivio.tabelle()) {
        if (!archivio.nomiColonne(tabella).contains(u"ToSend"_s)) {
            continue;
        }
        EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM \"%1\" WHERE ToSend <> 0 OR ToRepl <> 0 OR "
                                 "ModificatoDa IS NOT NULL"_s.arg(tabella)),
                  0)
            << tabella.toStdString();
    }
}

TEST_F(HostGeneratoreTest, EveryChartTableHasAFewRowsPerPatient)
{
    Archivio archivio(s_percorso);
    qint64 righe = 0;
    for (const QString &tabella : TabelleCartella()) {
        const qint64 quante = archivio.conta(u"SELECT COUNT(*) FROM \"%1\""_s.arg(tabella));
        EXPECT_GT(quante, 0) << tabella.toStdString() << " is empty";
        qint64 scritte = -1;
        for (auto voce = s_riepilogo.righePerTabella.cbegin(); voce != s_riepilogo.righePerTabella.cend(); ++voce) {
            if (voce.key().compare(tabella, Qt::CaseInsensitive) == 0) {
                scritte = voce.value();
            }
        }
        EXPECT_EQ(quante, scritte) << tabella.toStdString();
        righe += quante;
    }
    const double perPaziente = static_cast<double>(righe) / 800;
    EXPECT_GT(perPaziente, 20);
    EXPECT_LT(perPaziente, 120);
    EXPECT_GT(s_riepilogo.righe, righe);
}

TEST_F(HostGeneratoreTest, OwnerConfigurationAndCatalogues)
{
    Archivio archivio(s_percorso);
    const QList<QVariantList> titolare = archivio.righe(u"SELECT CodiceFiscale FROM tblMedico WHERE IDRete = 1"_s);
    ASSERT_EQ(titolare.size(), 1);
    EXPECT_EQ(titolare[0][0].toString(), opzioni().cf);
    EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM tblMedico WHERE IDRete <> 1"_s), 0);

    const QString dataInit = archivio.valore(u"SELECT Item FROM arcItems WHERE \"Key\" = 'QUOR.DataInit'"_s).toString();
    const QDateTime inizio = QDateTime::fromString(dataInit, u"yyyyMMddHHmmss"_s);
    ASSERT_TRUE(inizio.isValid()) << dataInit.toStdString();
    EXPECT_LT(inizio.date(), kOggi);
    EXPECT_EQ(archivio.valore(u"SELECT ID FROM QUOR_Versione"_s).toInt(), 1);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM QUOR_tblUpdate"_s), 0);
    EXPECT_EQ(archivio.valore(u"SELECT Item FROM arcItems WHERE \"Key\" = 'QUOR.PasswordMedicoSync'"_s).toString(),
              u"cifrata=="_s);

    EXPECT_TRUE(archivio.esisteTabella(u"SOLE_Versione"_s));
    EXPECT_EQ(archivio.valore(u"SELECT Valore FROM SOLE_tblConfig WHERE \"Key\" = 'CodiceFiscaleMedico'"_s).toString(),
              opzioni().cf);
    for (const QString &tabella : {u"arcItems"_s, u"tblImpostazioni"_s, u"tblMacro"_s, u"tblNote"_s,
                                   u"tblSetupUtente"_s, u"tblSottomacro"_s, u"tblUtenti"_s, u"tblValoriImpostazioni"_s,
                                   u"SOLE_tblIDPrestazione"_s, u"tblRicetteStampate"_s, u"tblPrescrizioniRicetta"_s}) {
        EXPECT_GT(archivio.conta(u"SELECT COUNT(*) FROM \"%1\""_s.arg(tabella)), 0) << tabella.toStdString();
    }

    // The catalogues answer the lookups that an import makes by code.
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblPrescrizioni p WHERE p.IDFarmaco IS NOT NULL AND NOT EXISTS "
                             "(SELECT 1 FROM Farmaci f WHERE f.ID = p.IDFarmaco AND f.AIC <> '')"_s),
              0);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM (SELECT AIC FROM Farmaci GROUP BY AIC HAVING COUNT(*) > 1)"_s), 0);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblProblemi p WHERE NOT EXISTS "
                             "(SELECT 1 FROM ICD9CM c WHERE c.Codice = p.CodiceICD9)"_s),
              0);
    for (const QString &condizione : {u"(IDEsenzione=367)"_s, u"(IDEsenzione=249)"_s, u"(CodEsenzione='031')"_s}) {
        EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM arcLinkEsenzioni WHERE (IDRegione=8) AND (trim(Keyword)<>'') "
                                 "AND (Etichetta='OK') AND "_s +
                                 condizione),
                  condizione.contains(u"249"_s) ? 2 : 1)
            << condizione.toStdString();
    }
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblEsenzioni e WHERE NOT EXISTS "
                             "(SELECT 1 FROM arcLinkEsenzioni c WHERE c.ID = e.IDEsenzione AND c.CodEsenzione = "
                             "e.EsaCodice)"_s),
              0);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM arcEsami e JOIN arcLinkEsamiSottoesami l ON l.IDEsame = e.ID "
                             "WHERE l.Principale <> 0 AND e.MW IS NULL"_s),
              0);
}

TEST(HostGeneratoreOpzioniTest, SameSeedSameArchive)
{
    QTemporaryDir cartella;
    OpzioniGeneratore opzioni = opzioniBase();
    opzioni.pazienti = 40;
    opzioni.sole = true;
    QString errore;
    ASSERT_TRUE(GeneraArchivio(cartella.filePath(u"a.mdb"_s), opzioni, &errore)) << errore.toStdString();
    // Long enough apart that content taken from the clock would differ.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(GeneraArchivio(cartella.filePath(u"b.mdb"_s), opzioni, &errore)) << errore.toStdString();
    opzioni.seme = 43;
    ASSERT_TRUE(GeneraArchivio(cartella.filePath(u"c.mdb"_s), opzioni, &errore)) << errore.toStdString();
    opzioni.seme = 42;
    opzioni.cf = CalcolaCodiceFiscale(u"Neri"_s, u"Paolo"_s, QDate(1968, 3, 3), u'M', u"F205"_s);
    ASSERT_TRUE(GeneraArchivio(cartella.filePath(u"d.mdb"_s), opzioni, &errore)) << errore.toStdString();

    Archivio a(cartella.filePath(u"a.mdb"_s));
    Archivio b(cartella.filePath(u"b.mdb"_s));
    Archivio c(cartella.filePath(u"c.mdb"_s));
    Archivio d(cartella.filePath(u"d.mdb"_s));
    const QStringList dumpA = a.dump();
    EXPECT_GT(dumpA.size(), 40 * 20);
    EXPECT_EQ(dumpA, b.dump());
    const QString pazienti = u"SELECT CodiceFiscale FROM tblAnagrafica ORDER BY ID"_s;
    EXPECT_NE(a.righe(pazienti), c.righe(pazienti));

    // Another doctor with the same seed gets rows of his own: no GUID in common.
    QSet<QString> guidA;
    for (const QVariantList &riga : a.righe(u"SELECT GUID FROM tblDiario UNION ALL SELECT GUID FROM tblAnagrafica"_s)) {
        guidA.insert(riga[0].toString());
    }
    for (const QVariantList &riga : d.righe(u"SELECT GUID FROM tblDiario UNION ALL SELECT GUID FROM tblAnagrafica"_s)) {
        EXPECT_FALSE(guidA.contains(riga[0].toString()));
    }
}

TEST(HostGeneratoreOpzioniTest, PlainArchiveWithoutSoleOrNetworkTables)
{
    QTemporaryDir cartella;
    OpzioniGeneratore opzioni = opzioniBase();
    opzioni.pazienti = 30;
    opzioni.strutturaQuor = false;
    const QString percorso = cartella.filePath(u"semplice.mdb"_s);
    QString errore;
    ASSERT_TRUE(GeneraArchivio(percorso, opzioni, &errore)) << errore.toStdString();
    Archivio archivio(percorso);
    EXPECT_FALSE(archivio.esisteTabella(u"SOLE_Versione"_s));
    EXPECT_TRUE(archivio.esisteTabella(u"SOLE_tblAllineati"_s));
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM SOLE_tblAllineati"_s), 0);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM SOLE_tblConfig"_s), 0);
    EXPECT_FALSE(archivio.esisteTabella(u"QUOR_tblUpdate"_s));
    EXPECT_FALSE(archivio.esisteTabella(u"QUOR_Versione"_s));
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM arcItems WHERE \"Key\" LIKE 'QUOR.%'"_s), 0);
    EXPECT_EQ(archivio.conta(u"SELECT COUNT(*) FROM tblAnagrafica"_s), 30);
}

TEST(HostGeneratoreOpzioniTest, ZeroRowsWritesTheRegistryOnly)
{
    QTemporaryDir cartella;
    OpzioniGeneratore opzioni = opzioniBase();
    opzioni.pazienti = 50;
    opzioni.righe = 0;
    const QString percorso = cartella.filePath(u"anagrafe.mdb"_s);
    QString errore;
    ASSERT_TRUE(GeneraArchivio(percorso, opzioni, &errore)) << errore.toStdString();
    Archivio archivio(percorso);
    for (const QString &tabella : TabelleCartella()) {
        const qint64 righe = archivio.conta(u"SELECT COUNT(*) FROM \"%1\""_s.arg(tabella));
        if (tabella == u"tblRapporti"_s || tabella == u"tblAnagrafica2"_s) {
            EXPECT_GE(righe, 50) << tabella.toStdString();
        } else {
            EXPECT_EQ(righe, 0) << tabella.toStdString();
        }
    }
}

TEST(HostGeneratoreOpzioniTest, RefusesBadOptionsAndExistingFiles)
{
    QTemporaryDir cartella;
    const QString percorso = cartella.filePath(u"x.mdb"_s);
    QString errore;
    OpzioniGeneratore opzioni = opzioniBase();
    opzioni.pazienti = -1;
    EXPECT_FALSE(GeneraArchivio(percorso, opzioni, &errore));
    EXPECT_FALSE(errore.isEmpty());
    opzioni = opzioniBase();
    opzioni.quotaRevocati = 1.5;
    EXPECT_FALSE(GeneraArchivio(percorso, opzioni, &errore));
    opzioni = opzioniBase();
    opzioni.quotaProprio = 0.7;
    opzioni.quotaDaCollega = 0.7;
    EXPECT_FALSE(GeneraArchivio(percorso, opzioni, &errore));
    opzioni.quotaRevocati = std::nan("");
    EXPECT_FALSE(VerificaOpzioni(opzioni).isEmpty());
    EXPECT_FALSE(QFile::exists(percorso));

    opzioni = opzioniBase();
    opzioni.pazienti = 5;
    ASSERT_TRUE(GeneraArchivio(percorso, opzioni, &errore)) << errore.toStdString();
    const QByteArray prima = [&] {
        QFile file(percorso);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    opzioni.seme = 7;
    EXPECT_FALSE(GeneraArchivio(percorso, opzioni, &errore));
    QFile file(percorso);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), prima);
}
