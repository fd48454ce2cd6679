#include "Database.h"
#include "PacchettoCartella.h"
#include "StampaQt.h"
#include "StatoMotore.h"
#include "clsBase64.h"
#include "modCartelle.h"
#include "modGeneratore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

using lanvera::dao::Database;

namespace {

const QString Importa = QStringLiteral("Importa Cartella");

QByteArray leggi(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool scrivi(const QString &percorso, const QByteArray &dati)
{
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(dati) == dati.size();
}

QStringList fileLavoro()
{
    return QDir(PacchettoCartella::CartellaLavoro()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

QString base64(const QByteArray &dati)
{
    QString testo;
    clsBase64().Base64EncoderString(dati, testo);
    return testo;
}

// Rows as text that tells Null from empty and keeps each value's stored type.
QStringList righe(const Database &db, const QString &sql)
{
    QStringList out;
    QSqlQuery q(db.connessione());
    if (!q.exec(sql)) {
        return {QStringLiteral("errore: ") + sql};
    }
    while (q.next()) {
        QStringList campi;
        for (int i = 0; i < q.record().count(); ++i) {
            const QVariant v = q.value(i);
            campi << (v.isNull() ? QStringLiteral("<null>")
                                 : QString::fromLatin1(v.metaType().name()) + QLatin1Char(':') + v.toString());
        }
        out << campi.join(QLatin1Char('|'));
    }
    return out;
}

// One entry of a zip made for a test.
struct Voce
{
    QByteArray nome;
    QByteArray dati;
    quint32 modoUnix = 0100644;
    zip_int32_t compressione = ZIP_CM_DEFLATE;
};

QByteArray creaZip(const QString &percorso, const QList<Voce> &voci)
{
    QFile::remove(percorso);
    int errore = 0;
    zip_t *za = zip_open(QFile::encodeName(percorso).constData(), ZIP_CREATE, &errore);
    for (const Voce &v : voci) {
        zip_int64_t i = -1;
        if (v.nome.endsWith('/')) {
            i = zip_dir_add(za, v.nome.constData(), ZIP_FL_ENC_RAW);
        } else {
            zip_source_t *s = zip_source_buffer(za, v.dati.constData(), static_cast<zip_uint64_t>(v.dati.size()), 0);
            i = zip_file_add(za, v.nome.constData(), s, ZIP_FL_ENC_RAW);
            zip_set_file_compression(za, static_cast<zip_uint64_t>(i), v.compressione, 0);
        }
        zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(i), 0, ZIP_OPSYS_UNIX, v.modoUnix << 16);
    }
    EXPECT_EQ(zip_close(za), 0);
    return leggi(percorso);
}

// Rewrites the uncompressed size that a one-entry zip declares, in both of its headers.
void dichiaraDimensione(QByteArray &zip, quint32 dimensione)
{
    const qsizetype centrale = zip.lastIndexOf(QByteArray("PK\x01\x02", 4));
    ASSERT_TRUE(zip.startsWith("PK\x03\x04") && centrale > 0);
    for (const qsizetype pos : {qsizetype{22}, centrale + 24}) {
        for (int b = 0; b < 4; ++b) {
            zip[pos + b] = static_cast<char>((dimensione >> (8 * b)) & 0xff);
        }
    }
}

// Two patients with rows in a few chart tables, and one table that is not part of a chart.
const char *const Archivio = R"sql(
CREATE TABLE tblAnagrafica (ID INTEGER PRIMARY KEY AUTOINCREMENT, GUID VARCHAR(38), Cognome VARCHAR(50),
    Nome VARCHAR(50), DataNascita DATETIME, Proprio INTEGER NOT NULL DEFAULT 0, Note TEXT, ToSend INTEGER);
CREATE TABLE tblAnagrafica2 (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDPaziente INTEGER, TagStato INTEGER,
    DateUpdate DATETIME);
CREATE TABLE tblDiario (ID INTEGER PRIMARY KEY AUTOINCREMENT, GUID VARCHAR(38), IDPaziente INTEGER, Data DATETIME,
    Testo TEXT, Urgente INTEGER NOT NULL DEFAULT 0, Peso REAL);
CREATE INDEX tblDiario_IDPaziente ON tblDiario (IDPaziente);
CREATE TABLE [tbldiario pip] (ID INTEGER PRIMARY KEY, IDPaziente INTEGER, IDDiario INTEGER, Nota TEXT);
CREATE TABLE tblCertificatiINAIL (ID INTEGER PRIMARY KEY, IDPaziente INTEGER, IDCertificatoPadre INTEGER);
CREATE TABLE tblPrescrizioni (ID INTEGER PRIMARY KEY, IDPaziente INTEGER, Farmaco VARCHAR(100), Quantita INTEGER,
    Allegato BLOB);
CREATE TABLE tblMedico (ID INTEGER PRIMARY KEY, Cognome VARCHAR(50));
INSERT INTO tblMedico (Cognome) VALUES ('Bianchi');
INSERT INTO tblAnagrafica VALUES (1, '{G1}', 'D''Amico', 'Niccolò Àlvaro', '1950-01-31 00:00:00', -1,
    'prima riga' || char(13, 10) || 'seconda', -1);
INSERT INTO tblAnagrafica (GUID, Cognome, Nome) VALUES ('{G2}', 'Rossi', 'Mario');
INSERT INTO tblAnagrafica2 (IDPaziente, TagStato, DateUpdate) VALUES (1, 1, '2024-02-29 13:45:07'), (2, 0, NULL);
INSERT INTO tblDiario (GUID, IDPaziente, Data, Testo, Urgente, Peso) VALUES
    ('{D1}', 1, '2024-02-29 13:45:07', 'l''esame è andato "bene"' || char(10) || 'riga 2', -1, 70.25),
    ('{D2}', 1, NULL, NULL, 0, NULL), ('{D3}', 2, '2024-03-01 08:00:00', 'altro', 0, 80);
INSERT INTO [tbldiario pip] VALUES (1, 1, 1, ''), (2, 2, 3, 'altro');
INSERT INTO tblCertificatiINAIL VALUES (1, 1, NULL), (2, 1, 1), (3, 2, NULL);
INSERT INTO tblPrescrizioni VALUES (1, 1, 'Tachipirina® 500', 2147483647, x'0001ff62696e')
)sql";

class PacchettoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The cases share the process's temporary folder: each starts without a work folder.
        rimuoviLavoro();
        m_percorsoArchivio = m_dir.filePath(QStringLiteral("Archivio.mdb"));
        {
            Database db;
            ASSERT_TRUE(db.crea(m_percorsoArchivio, true));
            for (const QString &sql : QString::fromUtf8(Archivio).split(QLatin1Char(';'))) {
                ASSERT_TRUE(db.esegui(sql)) << qPrintable(db.ultimoErrore().testo()) << qPrintable(sql);
            }
        }
        ASSERT_TRUE(m_archivio.apri(m_percorsoArchivio));
        m_stato.archivio = &m_archivio;
        ASSERT_TRUE(m_pacchetto.CaricaListaTabelle(QStringLiteral(LANVERA_CARTELLA_SQL)));
    }

    void TearDown() override { rimuoviLavoro(); }

    static void rimuoviLavoro()
    {
        const QString lavoro = PacchettoCartella::CartellaLavoro();
        if (QFileInfo(lavoro).isSymLink()) {
            QFile::remove(lavoro);
        } else {
            QDir(lavoro).removeRecursively();
        }
    }

    // The package holds exactly the chart tables that the archive has, each with the patient's rows.
    void confronta(const Database &pacchetto, qint32 id)
    {
        QStringList attese;
        for (const clsTabelle &t : std::as_const(m_stato.tabelle)) {
            if (m_archivio.esisteTabella(t.Tabella)) {
                attese << t.Tabella.toLower();
            }
        }
        QStringList trovate = pacchetto.tabelle();
        for (QString &t : trovate) {
            t = t.toLower();
        }
        attese.sort();
        trovate.sort();
        EXPECT_EQ(trovate, attese);
        for (const QString &t : std::as_const(attese)) {
            const QString chiave =
                t == QStringLiteral("tblanagrafica") ? QStringLiteral("ID") : QStringLiteral("IDPaziente");
            EXPECT_EQ(
                righe(pacchetto, QStringLiteral("SELECT * FROM [%1] ORDER BY ID").arg(t)),
                righe(m_archivio, QStringLiteral("SELECT * FROM [%1] WHERE %2=%3 ORDER BY ID").arg(t, chiave).arg(id)))
                << qPrintable(t);
            const QString schema = QStringLiteral("PRAGMA table_info([%1])").arg(t);
            EXPECT_EQ(righe(pacchetto, schema), righe(m_archivio, schema)) << qPrintable(t);
        }
    }

    QString pacchettoValido()
    {
        QString testo;
        EXPECT_TRUE(m_pacchetto.CreaCartella(1, testo)) << qPrintable(m_stato.messaggioErrore);
        return testo;
    }

    // An unpack that must fail with `messaggio`, leaving no work file and the archive as it was.
    void rifiuta(const QString &testo, const QString &messaggio, const QString &operazione = Importa)
    {
        const QByteArray prima = QCryptographicHash::hash(leggi(m_percorsoArchivio), QCryptographicHash::Sha256);
        Database pacchetto;
        EXPECT_FALSE(m_pacchetto.ApriPacchetto(testo, operazione, pacchetto));
        EXPECT_EQ(m_stato.messaggioErrore, messaggio);
        EXPECT_FALSE(pacchetto.aperto());
        EXPECT_TRUE(fileLavoro().isEmpty()) << qPrintable(fileLavoro().join(QLatin1Char(' ')));
        EXPECT_EQ(QCryptographicHash::hash(leggi(m_percorsoArchivio), QCryptographicHash::Sha256), prima);
    }

    QString zipTesto(const QList<Voce> &voci) { return base64(creaZip(m_dir.filePath(QStringLiteral("t.zip")), voci)); }

    QByteArray databaseMinimo()
    {
        const QString percorso = m_dir.filePath(QStringLiteral("minimo.mdb"));
        QFile::remove(percorso);
        Database db;
        EXPECT_TRUE(db.crea(percorso, true));
        EXPECT_TRUE(db.esegui(QStringLiteral("CREATE TABLE tblDiario (ID INTEGER PRIMARY KEY, Testo TEXT)")));
        db.chiudi();
        return leggi(percorso);
    }

    QTemporaryDir m_dir;
    QString m_percorsoArchivio;
    Database m_archivio;
    StatoMotore m_stato;
    PacchettoCartella m_pacchetto{m_stato};
};

} // namespace

TEST_F(PacchettoTest, PackedChartsUnpackToTheirPatientsRowsOnly)
{
    // A chart table the archive lacks is left out; a work file left by an interrupted run is cleared.
    ASSERT_TRUE(m_archivio.esegui(QStringLiteral("DROP TABLE tblCertificatiINAIL")));
    ASSERT_TRUE(lanvera::PreparaCartellaPrivata(PacchettoCartella::CartellaLavoro()));
    ASSERT_TRUE(scrivi(PacchettoCartella::FileMdb(), "avanzo di un'esecuzione interrotta"));
    for (const qint32 id : {1, 2}) {
        QString testo;
        ASSERT_TRUE(m_pacchetto.CreaCartella(id, testo)) << qPrintable(m_stato.messaggioErrore);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9+/]+={0,2}$")).match(testo).hasMatch());
        EXPECT_TRUE(fileLavoro().isEmpty());

        Database pacchetto;
        ASSERT_TRUE(m_pacchetto.ApriPacchetto(testo, Importa, pacchetto)) << qPrintable(m_stato.messaggioErrore);
        EXPECT_EQ(fileLavoro().size(), 3) << "the work files stay while the package is in use";
        confronta(pacchetto, id);
        EXPECT_FALSE(pacchetto.esisteTabella(QStringLiteral("tblMedico")));
        m_pacchetto.ChiudiPacchetto(pacchetto);
        EXPECT_FALSE(pacchetto.aperto());
        EXPECT_TRUE(fileLavoro().isEmpty());
    }
    constexpr int gruppoEAltri = 0x77; // QFileDevice::ReadGroup ... ExeOther
    EXPECT_EQ(QFileInfo(PacchettoCartella::CartellaLavoro()).permissions().toInt() & gruppoEAltri, 0);
}

// The shipped list against a generated host archive: every chart table of the host is listed once,
// each copied by its key column, and every value comes back as stored.
TEST_F(PacchettoTest, AGeneratedHostArchiveRoundTripsInEveryChartTable)
{
    lanvera::host::OpzioniGeneratore opzioni;
    opzioni.cf = QStringLiteral("RSSMRA70A01H501U");
    opzioni.pazienti = 12;
    opzioni.sole = true;
    opzioni.oggi = QDate(2024, 6, 1);
    const QString percorso = m_dir.filePath(QStringLiteral("Clinora.mdb"));
    QString errore;
    ASSERT_TRUE(lanvera::host::GeneraArchivio(percorso, opzioni, &errore)) << qPrintable(errore);
    m_archivio.chiudi();
    ASSERT_TRUE(m_archivio.apri(percorso));

    QSet<QString> elencate;
    for (const clsTabelle &t : std::as_const(m_stato.tabelle)) {
        const QString chiave = elencate.isEmpty() ? QStringLiteral("ID") : QStringLiteral("IDPaziente");
        EXPECT_TRUE(m_archivio.esisteCampo(t.Tabella, chiave)) << qPrintable(t.Tabella);
        EXPECT_EQ(
            t.QueryCartella,
            QStringLiteral("SELECT [%1].* INTO [%1] IN \"[FileName]\" FROM [%1] WHERE %2=[ID]").arg(t.Tabella, chiave));
        EXPECT_FALSE(elencate.contains(t.Tabella.toLower())) << qPrintable(t.Tabella);
        elencate << t.Tabella.toLower();
    }
    EXPECT_EQ(m_stato.tabelle.value(0).Tabella, QStringLiteral("tblAnagrafica"));
    for (const QString &t : m_archivio.tabelle()) {
        if (m_archivio.esisteCampo(t, QStringLiteral("IDPaziente")) && !t.startsWith(QStringLiteral("QUOR_"))) {
            EXPECT_TRUE(elencate.contains(t.toLower())) << qPrintable(t) << " is not in the list";
        }
    }

    // The patient with the largest chart.
    const QStringList conti = righe(m_archivio, QStringLiteral("SELECT IDPaziente FROM tblDiario GROUP BY IDPaziente "
                                                               "ORDER BY count(*) DESC LIMIT 1"));
    ASSERT_EQ(conti.size(), 1);
    const qint32 id = conti.first().section(QLatin1Char(':'), 1).toInt();
    QString testo;
    ASSERT_TRUE(m_pacchetto.CreaCartella(id, testo)) << qPrintable(m_stato.messaggioErrore);
    Database pacchetto;
    ASSERT_TRUE(m_pacchetto.ApriPacchetto(testo, Importa, pacchetto)) << qPrintable(m_stato.messaggioErrore);
    EXPECT_EQ(pacchetto.tabelle().size(), m_stato.tabelle.size());
    confronta(pacchetto, id);
    m_pacchetto.ChiudiPacchetto(pacchetto);
}

TEST_F(PacchettoTest, PackingFailuresNameTheirStepAndLeaveNoWorkFile)
{
    const QDir lavoro(PacchettoCartella::CartellaLavoro());
    ASSERT_TRUE(lanvera::PreparaCartellaPrivata(lavoro.path()));
    QString testo = QStringLiteral("invariato");
    // A folder where a work file goes makes that step fail.
    const std::pair<const char *, QString> passi[] = {
        {"Cartella.mdb", QStringLiteral("^Crea Cartella: Errore %1 .+").arg(lanvera::dao::ErroreFileEsistente)},
        {"Cartella.zip", QStringLiteral("^Crea Cartella: Errore ZIP [1-9][0-9]*$")},
        {"Cartella.b64", QStringLiteral("^Crea Cartella: Errore B64$")},
    };
    for (const auto &[nome, atteso] : passi) {
        ASSERT_TRUE(lavoro.mkdir(QString::fromLatin1(nome)));
        EXPECT_FALSE(m_pacchetto.CreaCartella(1, testo));
        EXPECT_TRUE(QRegularExpression(atteso).match(m_stato.messaggioErrore).hasMatch())
            << qPrintable(m_stato.messaggioErrore);
        EXPECT_TRUE(fileLavoro().isEmpty());
        ASSERT_TRUE(lavoro.rmdir(QString::fromLatin1(nome)));
    }

    // A statement that fails, for a table the archive has, after one whose placeholders are written
    // in another letter case.
    const QString lista = m_dir.filePath(QStringLiteral("Lista.sql"));
    ASSERT_TRUE(scrivi(lista, "SELECT [tblDiario].* INTO [tblDiario] IN \"[filename]\" FROM [tblDiario] "
                              "WHERE IDPaziente=[id];\r\nSELECT [tblPrescrizioni].* INTO [tblPrescrizioni] "
                              "IN \"[FileName]\" FROM [tblPrescrizioni] WHERE Manca=[ID];\r\n"));
    ASSERT_TRUE(m_pacchetto.CaricaListaTabelle(lista));
    EXPECT_FALSE(m_pacchetto.CreaCartella(1, testo));
    EXPECT_TRUE(m_stato.messaggioErrore.startsWith(QStringLiteral("Crea Cartella: Errore 1 no such column: Manca")))
        << qPrintable(m_stato.messaggioErrore);
    EXPECT_TRUE(fileLavoro().isEmpty());
    EXPECT_EQ(testo, QStringLiteral("invariato"));
}

TEST_F(PacchettoTest, APlantedLinkInPlaceOfTheWorkFolderIsNeverFollowed)
{
    const QString altrove = m_dir.filePath(QStringLiteral("altrove"));
    ASSERT_TRUE(QDir().mkdir(altrove));
    rimuoviLavoro();
    ASSERT_TRUE(QFile::link(altrove, PacchettoCartella::CartellaLavoro()));

    QString testo;
    EXPECT_FALSE(m_pacchetto.CreaCartella(1, testo));
    EXPECT_TRUE(m_stato.messaggioErrore.startsWith(QStringLiteral("Crea Cartella: Errore ")));
    Database pacchetto;
    EXPECT_FALSE(m_pacchetto.ApriPacchetto(QStringLiteral("Zm9v"), Importa, pacchetto));
    EXPECT_TRUE(m_stato.messaggioErrore.startsWith(QStringLiteral("Importa Cartella: Errore ")));
    EXPECT_TRUE(QDir(altrove).isEmpty());
}

TEST_F(PacchettoTest, TheListReaderFollowsTheFileLayout)
{
    const QString lista = m_dir.filePath(QStringLiteral("Lista.sql"));
    ASSERT_TRUE(scrivi(lista, "-- intestazione\r\n-- ancora;\r\n"
                              "SELECT [tblDiario].* INTO [tblDiario] IN \"[FileName]\" FROM [tblDiario] WHERE x;\r\n"
                              "select tblProblemi.* into tblProblemi in \"[FileName]\" from tblProblemi where y;\r\n"
                              "\r\nSELECT [tblRicette].* INTO [tblRicette];\r\n"
                              "SELECT\t[tblEsami].*;\r\nselectx [tblEsami].*;\r\nSELECT tblStato senza asterisco;\r\n"
                              "sElEcT [tbldiario pip].* INTO [tbldiario pip];\r\n"));
    ASSERT_TRUE(m_pacchetto.CaricaListaTabelle(lista));
    ASSERT_EQ(m_stato.tabelle.size(), 3);
    EXPECT_EQ(m_stato.tabelle[0].Tabella, QStringLiteral("tblDiario"));
    EXPECT_EQ(m_stato.tabelle[1].Tabella, QStringLiteral("tblProblemi"));
    EXPECT_EQ(m_stato.tabelle[1].QueryCartella,
              QStringLiteral("select tblProblemi.* into tblProblemi in \"[FileName]\" from tblProblemi where y"));
    EXPECT_EQ(m_stato.tabelle[2].Tabella, QStringLiteral("tbldiario pip"));

    // A missing list empties the one loaded before.
    EXPECT_FALSE(m_pacchetto.CaricaListaTabelle(m_dir.filePath(QStringLiteral("Manca.sql"))));
    EXPECT_TRUE(m_stato.tabelle.isEmpty());
    EXPECT_TRUE(m_stato.messaggioErrore.startsWith(QStringLiteral("Carica lista tabelle: Errore %1 ").arg(ENOENT)))
        << qPrintable(m_stato.messaggioErrore);
}

TEST_F(PacchettoTest, AnyStandardZipWithOnlyARegularCartellaMdbIsAccepted)
{
    for (const zip_int32_t metodo : {ZIP_CM_STORE, ZIP_CM_DEFLATE}) {
        Voce voce{"Cartella.mdb", databaseMinimo(), 0, metodo}; // no Unix mode recorded
        Database pacchetto;
        ASSERT_TRUE(m_pacchetto.ApriPacchetto(zipTesto({voce}), Importa, pacchetto))
            << qPrintable(m_stato.messaggioErrore);
        EXPECT_TRUE(pacchetto.esisteTabella(QStringLiteral("tblDiario")));
        m_pacchetto.ChiudiPacchetto(pacchetto);
    }
    const QByteArray db = databaseMinimo();
    const QString unzip = QStringLiteral("Importa Cartella: Errore UNZIP %1");
    for (const char *nome : {"../x", "/etc/x", "a/../../x", "..", "sub\\..\\..\\x", "C:x", "../Cartella.mdb"}) {
        SCOPED_TRACE(nome);
        rifiuta(zipTesto({Voce{nome, db}}), unzip.arg(2));
        rifiuta(zipTesto({Voce{"Cartella.mdb", db}, Voce{nome, "x"}}), unzip.arg(2));
    }
    EXPECT_FALSE(QFile::exists(lanvera::CartellaTemp() + QStringLiteral("/x")));
    rifiuta(zipTesto({Voce{"Cartella.mdb", "/etc/passwd", 0120777}}), unzip.arg(3)); // a symbolic link
    rifiuta(zipTesto({Voce{"Cartella.mdb/", {}, 040755}}), unzip.arg(3));
    rifiuta(zipTesto({Voce{"Altro.mdb", db}}), unzip.arg(4));
    rifiuta(zipTesto({Voce{"cartella.mdb", db}}), unzip.arg(4));
    rifiuta(zipTesto({Voce{"sub/Cartella.mdb", db}}), unzip.arg(4));
    rifiuta(zipTesto({Voce{"Leggimi.txt", "ciao"}, Voce{"Cartella.mdb", db}}),
            QStringLiteral("Importa Modifiche: Errore UNZIP 5"), QStringLiteral("Importa Modifiche"));
}

TEST_F(PacchettoTest, APackageMayNotExpandBeyondTheLimit)
{
    constexpr qint64 limite = 64 * 1024;
    m_pacchetto.ImpostaLimiteEspansione(limite);
    const QByteArray zeri(4 * limite, '\0');
    rifiuta(zipTesto({Voce{"Cartella.mdb", zeri}}), QStringLiteral("Importa Cartella: Errore UNZIP 6"));

    // Declaring less than it holds: the output itself is bounded.
    QByteArray bomba = creaZip(m_dir.filePath(QStringLiteral("b.zip")), {Voce{"Cartella.mdb", zeri}});
    dichiaraDimensione(bomba, 1000);
    rifiuta(base64(bomba), QStringLiteral("Importa Cartella: Errore UNZIP 6"));

    QByteArray alLimite = databaseMinimo();
    alLimite.resize(limite, '\0');
    Database pacchetto;
    EXPECT_TRUE(m_pacchetto.ApriPacchetto(zipTesto({Voce{"Cartella.mdb", alLimite}}), Importa, pacchetto));
    m_pacchetto.ChiudiPacchetto(pacchetto);
}

TEST_F(PacchettoTest, DamagedTextZipsAndDatabasesAreRefused)
{
    const QString valido = pacchettoValido();
    rifiuta(valido.left(valido.size() - 3), QStringLiteral("Importa Cartella: Errore B64"));
    rifiuta(QStringLiteral("abc"), QStringLiteral("Importa Modifiche: Errore B64"),
            QStringLiteral("Importa Modifiche"));
    // Whole groups of Base64 that are not a zip, or only its beginning.
    rifiuta(QStringLiteral("questo non è un pacchetto"), QStringLiteral("Importa Cartella: Errore UNZIP 1"));
    rifiuta(valido.left(valido.size() / 8 * 4), QStringLiteral("Importa Cartella: Errore UNZIP 1"));
    rifiuta(QString(), QStringLiteral("Importa Cartella: Errore UNZIP 1"));

    QByteArray zip = creaZip(m_dir.filePath(QStringLiteral("c.zip")), {Voce{"Cartella.mdb", databaseMinimo()}});
    zip[60] = static_cast<char>(zip[60] ^ 0x55); // inside the compressed data
    rifiuta(base64(zip), QStringLiteral("Importa Cartella: Errore UNZIP 7"));

    rifiuta(zipTesto({Voce{"Cartella.mdb", QByteArray("Questo non è un database.\n").repeated(100)}}),
            QStringLiteral("Importa Cartella: Errore 26 file is not a database"));
}
