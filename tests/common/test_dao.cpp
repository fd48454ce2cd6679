#include "Database.h"
#include "Recordset.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace lanvera::dao;

namespace {

QByteArray impronta(const QString &percorso)
{
    QFile f(percorso);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class DaoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_archivio = m_dir.filePath(QStringLiteral("Archivio.mdb"));
        Database db;
        ASSERT_TRUE(db.crea(m_archivio));
        ASSERT_TRUE(db.esegui(QStringLiteral(
            "CREATE TABLE tblDiario (ID INTEGER PRIMARY KEY AUTOINCREMENT, GUID VARCHAR(38), IDPaziente INTEGER, "
            "Data DATETIME, Testo TEXT, Urgente INTEGER, ToSend INTEGER NOT NULL DEFAULT 0, Peso REAL)")));
        ASSERT_TRUE(
            db.esegui(QStringLiteral("CREATE TABLE [tbldiario pip] (ID INTEGER PRIMARY KEY, IDPaziente INTEGER, "
                                     "Nota TEXT)")));
        for (int i = 1; i <= 6; ++i) {
            ASSERT_TRUE(
                db.esegui(QStringLiteral("INSERT INTO tblDiario (GUID, IDPaziente, Data, Testo, Urgente, Peso) "
                                         "VALUES (?, ?, ?, ?, ?, ?)"),
                          {QStringLiteral("{G%1}").arg(i), i % 2 + 1, QDateTime(QDate(2026, 1, i), QTime(8, 30)),
                           QStringLiteral("riga %1").arg(i), i == 3, 70.5 + i}));
        }
        ASSERT_TRUE(db.esegui(QStringLiteral("INSERT INTO [tbldiario pip] VALUES (1, 2, 'l''altra')")));
    }

    QTemporaryDir m_dir;
    QString m_archivio;
};

TEST_F(DaoTest, OpeningWhatIsNotAnArchiveFailsAndChangesNothing)
{
    Database db;
    const QString mancante = m_dir.filePath(QStringLiteral("Manca.mdb"));
    EXPECT_FALSE(db.apri(mancante));
    EXPECT_EQ(db.ultimoErrore().numero, ErroreFileMancante);
    EXPECT_FALSE(QFile::exists(mancante)) << "opening must never create the file";

    const QString testo = m_dir.filePath(QStringLiteral("Note.mdb"));
    {
        QFile f(testo);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("Questo non e' un archivio, solo testo.\n").repeated(200));
    }
    const QByteArray prima = impronta(testo);
    EXPECT_FALSE(db.apri(testo));
    EXPECT_EQ(db.ultimoErrore().numero, 26); // SQLite: file is not a database
    EXPECT_FALSE(db.ultimoErrore().descrizione.isEmpty());
    EXPECT_EQ(impronta(testo), prima);
    EXPECT_FALSE(db.aperto());

    EXPECT_FALSE(db.crea(m_archivio)) << "an existing file is never overwritten";
    EXPECT_EQ(db.ultimoErrore().numero, ErroreFileEsistente);
}

TEST_F(DaoTest, ForwardOnlyReadsRowsInOrderWithValuesAsStored)
{
    Database db;
    ASSERT_TRUE(db.apri(m_archivio));
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT * FROM tblDiario WHERE IDPaziente=? ORDER BY ID"),
                        Recordset::Tipo::SoloAvanti, {2}));
    QStringList testi;
    for (; !rs.eof(); rs.muoviProssimo()) {
        testi << rs.testo(QStringLiteral("testo")); // field names match without case
    }
    EXPECT_EQ(testi, (QStringList{QStringLiteral("riga 1"), QStringLiteral("riga 3"), QStringLiteral("riga 5")}));

    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT Data, Urgente FROM tblDiario WHERE ID=3")));
    EXPECT_EQ(rs.testo(QStringLiteral("Data")), QStringLiteral("2026-01-03 08:30:00"));
    EXPECT_EQ(ComeData(rs.valore(QStringLiteral("Data"))), QDateTime(QDate(2026, 1, 3), QTime(8, 30)));
    EXPECT_EQ(rs.valore(QStringLiteral("Urgente")).toInt(), -1);
    EXPECT_FALSE(rs.haCampo(QStringLiteral("Manca")));
    EXPECT_FALSE(rs.valore(QStringLiteral("Manca")).isValid());

    EXPECT_FALSE(rs.apri(QStringLiteral("SELECT * FROM NonEsiste")));
    EXPECT_EQ(rs.ultimoErrore().numero, 1);
}

TEST_F(DaoTest, DynasetAddsAndEditsRowsAndShowsTheNewCounter)
{
    Database db;
    ASSERT_TRUE(db.apri(m_archivio));
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("Select * from tblDiario Where GUID=?"), Recordset::Tipo::Dynaset,
                        {QStringLiteral("{NUOVO}")}));
    ASSERT_TRUE(rs.eof());
    ASSERT_TRUE(rs.aggiungiNuovo());
    ASSERT_TRUE(rs.imposta(QStringLiteral("GUID"), QStringLiteral("{NUOVO}")));
    ASSERT_TRUE(rs.imposta(QStringLiteral("Testo"), QStringLiteral("l'apostrofo \\ e\r\nun a capo, àèì")));
    ASSERT_TRUE(rs.imposta(QStringLiteral("Urgente"), true));
    EXPECT_FALSE(rs.imposta(QStringLiteral("Inesistente"), 1));
    ASSERT_TRUE(rs.aggiorna());
    EXPECT_EQ(rs.valore(QStringLiteral("ID")).toInt(), 7);
    EXPECT_EQ(rs.valore(QStringLiteral("ToSend")).toInt(), 0) << "column default shows after the write";
    EXPECT_EQ(rs.valore(QStringLiteral("Urgente")).toInt(), -1);

    ASSERT_TRUE(rs.modifica());
    ASSERT_TRUE(rs.imposta(QStringLiteral("Peso"), QVariant()));
    ASSERT_TRUE(rs.imposta(QStringLiteral("Data"), QDateTime(QDate(2026, 12, 6), QTime(9, 15, 30))));
    ASSERT_TRUE(rs.aggiorna());

    Recordset verifica(db);
    ASSERT_TRUE(verifica.apri(QStringLiteral("SELECT * FROM tblDiario WHERE ID=7")));
    EXPECT_EQ(verifica.testo(QStringLiteral("Testo")), QStringLiteral("l'apostrofo \\ e\r\nun a capo, àèì"));
    EXPECT_TRUE(verifica.valore(QStringLiteral("Peso")).isNull());
    EXPECT_EQ(verifica.testo(QStringLiteral("Data")), QStringLiteral("2026-12-06 09:15:30"));

    // nothing is written without add or edit, nor through a forward-only recordset
    EXPECT_FALSE(rs.imposta(QStringLiteral("Testo"), QStringLiteral("x")));
    EXPECT_FALSE(verifica.aggiungiNuovo());

    // a table with a blank in its name, found whatever the letter case
    ASSERT_TRUE(rs.apri(QStringLiteral("select * from [tbldiario pip] where IDPaziente=2"), Recordset::Tipo::Dynaset));
    ASSERT_EQ(rs.conteggio(), 1);
    ASSERT_TRUE(rs.modifica());
    ASSERT_TRUE(rs.imposta(QStringLiteral("Nota"), QStringLiteral("cambiata")));
    ASSERT_TRUE(rs.aggiorna());
    ASSERT_TRUE(verifica.apri(QStringLiteral("SELECT Nota FROM [tbldiario pip]")));
    EXPECT_EQ(verifica.testo(QStringLiteral("Nota")), QStringLiteral("cambiata"));
    EXPECT_TRUE(db.esisteTabella(QStringLiteral("TBLDIARIO PIP")));
    EXPECT_EQ(db.campi(QStringLiteral("tbldiario pip")),
              (QStringList{QStringLiteral("ID"), QStringLiteral("IDPaziente"), QStringLiteral("Nota")}));
    EXPECT_TRUE(db.esisteCampo(QStringLiteral("tblDiario"), QStringLiteral("guid")));
    EXPECT_FALSE(db.esisteCampo(QStringLiteral("tblDiario"), QStringLiteral("Nota")));
    EXPECT_FALSE(db.esisteCampo(QStringLiteral("Manca"), QStringLiteral("ID")));
}

TEST_F(DaoTest, MakeTableCopiesOnePatientsRowsWithColumnsAndTypes)
{
    const QString pacchetto = m_dir.filePath(QStringLiteral("Cartella.mdb"));
    {
        Database p;
        ASSERT_TRUE(p.crea(pacchetto, true));
    }
    Database db;
    ASSERT_TRUE(db.apri(m_archivio));
    ASSERT_TRUE(db.esegui(QStringLiteral("SELECT [tblDiario].* INTO [tblDiario] IN \"%1\" FROM [tblDiario] WHERE "
                                         "IDPaziente=2")
                              .arg(pacchetto)));
    EXPECT_EQ(db.righeInteressate(), 3);
    ASSERT_TRUE(db.esegui(
        QStringLiteral("select [tbldiario pip].* into [tbldiario pip] in '%1' from [tbldiario pip] where IDPaziente=2")
            .arg(pacchetto)));
    // a second copy of the same table is refused, as the table is there already
    EXPECT_FALSE(db.esegui(QStringLiteral("SELECT [tblDiario].* INTO [tblDiario] IN \"%1\" FROM [tblDiario] WHERE "
                                          "IDPaziente=1")
                               .arg(pacchetto)));
    EXPECT_EQ(db.ultimoErrore().numero, ErroreTabellaEsistente);
    EXPECT_FALSE(db.esegui(QStringLiteral("SELECT [tblDiario].* INTO [tblDiario] IN \"%1\" FROM [tblDiario]")
                               .arg(m_dir.filePath(QStringLiteral("manca.mdb")))));
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("manca.mdb"))));
    db.chiudi();

    Database p;
    ASSERT_TRUE(p.apri(pacchetto));
    EXPECT_EQ(p.tabelle(), (QStringList{QStringLiteral("tblDiario"), QStringLiteral("tbldiario pip")}));
    EXPECT_EQ(p.campi(QStringLiteral("tblDiario")),
              QStringLiteral("ID GUID IDPaziente Data Testo Urgente ToSend Peso").split(QLatin1Char(' ')));
    QSqlQuery tipi(p.connessione());
    ASSERT_TRUE(tipi.exec(QStringLiteral("SELECT group_concat(type, ' ') FROM pragma_table_info('tblDiario')")));
    ASSERT_TRUE(tipi.next());
    EXPECT_EQ(tipi.value(0).toString(),
              QStringLiteral("INTEGER VARCHAR(38) INTEGER DATETIME TEXT INTEGER INTEGER REAL"));
    Recordset rs(p);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT * FROM tblDiario ORDER BY ID")));
    QList<int> id;
    for (; !rs.eof(); rs.muoviProssimo()) {
        id << rs.valore(QStringLiteral("ID")).toInt();
        EXPECT_EQ(rs.valore(QStringLiteral("IDPaziente")).toInt(), 2);
    }
    EXPECT_EQ(id, (QList<int>{1, 3, 5}));
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT Nota FROM [tbldiario pip]")));
    EXPECT_EQ(rs.testo(QStringLiteral("Nota")), QStringLiteral("l'altra"));
}

// Packing reuses what it read of a table; a column added in between still reaches the next copy,
// and a dropped table is no longer there.
TEST_F(DaoTest, MakeTableSeesTheArchivesSchemaAsItChanges)
{
    Database db;
    ASSERT_TRUE(db.apri(m_archivio));
    const auto copia = [&](const QString &file) {
        {
            Database p;
            EXPECT_TRUE(p.crea(file, true));
        }
        return db.esegui(QStringLiteral("SELECT [tblDiario].* INTO [tblDiario] IN \"%1\" FROM [tblDiario] WHERE "
                                        "IDPaziente=1")
                             .arg(file));
    };
    ASSERT_TRUE(copia(m_dir.filePath(QStringLiteral("uno.mdb"))));
    ASSERT_TRUE(db.esisteTabella(QStringLiteral("tbldiario pip")));
    EXPECT_EQ(db.campi(QStringLiteral("tbldiario pip")).size(), 3);
    ASSERT_TRUE(db.esegui(QStringLiteral("ALTER TABLE tblDiario ADD COLUMN Sede TEXT DEFAULT 'Roma'")));
    ASSERT_TRUE(db.esegui(QStringLiteral("DROP TABLE [tbldiario pip]")));
    EXPECT_FALSE(db.esisteTabella(QStringLiteral("tbldiario pip")));
    ASSERT_TRUE(copia(m_dir.filePath(QStringLiteral("due.mdb"))));
    db.chiudi();

    Database p;
    ASSERT_TRUE(p.apri(m_dir.filePath(QStringLiteral("due.mdb"))));
    EXPECT_EQ(p.campi(QStringLiteral("tblDiario")).last(), QStringLiteral("Sede"));
    Recordset rs(p);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT Sede FROM tblDiario")));
    EXPECT_EQ(rs.testo(QStringLiteral("Sede")), QStringLiteral("Roma"));
}

TEST_F(DaoTest, RolledBackTransactionLeavesNoTrace)
{
    const QByteArray prima = impronta(m_archivio);
    {
        Database db;
        ASSERT_TRUE(db.apri(m_archivio));
        ASSERT_TRUE(db.iniziaTransazione());
        ASSERT_TRUE(db.esegui(QStringLiteral("DELETE FROM tblDiario")));
        ASSERT_TRUE(db.esegui(QStringLiteral("UPDATE [tbldiario pip] SET Nota='x'")));
        ASSERT_TRUE(db.annullaTransazione());
        ASSERT_TRUE(db.iniziaTransazione());
        ASSERT_TRUE(db.esegui(QStringLiteral("DELETE FROM tblDiario")));
        // closing with a transaction open rolls it back
    }
    EXPECT_EQ(impronta(m_archivio), prima);

    Database db;
    ASSERT_TRUE(db.apri(m_archivio));
    ASSERT_TRUE(db.iniziaTransazione());
    ASSERT_TRUE(db.esegui(QStringLiteral("DELETE FROM tblDiario WHERE ID=1")));
    ASSERT_TRUE(db.confermaTransazione());
    Recordset rs(db);
    ASSERT_TRUE(rs.apri(QStringLiteral("SELECT count(*) AS n FROM tblDiario")));
    EXPECT_EQ(rs.valore(QStringLiteral("n")).toInt(), 5);
}

// A write that cannot be made gives SQLite's reason (`numero`, 0 for any) and changes nothing.
void scritturaRifiutata(const QString &archivio, bool solaLettura, int numero)
{
    const QByteArray prima = impronta(archivio);
    {
        Database db;
        db.impostaAttesaBlocco(200);
        const bool aperto = db.apri(archivio, solaLettura); // reading the schema may already meet a lock
        EXPECT_TRUE(aperto || !solaLettura);
        if (aperto) {
            EXPECT_FALSE(db.esegui(QStringLiteral("DELETE FROM tblDiario")));
        }
        if (numero != 0) {
            EXPECT_EQ(db.ultimoErrore().numero, numero);
        }
        EXPECT_FALSE(db.ultimoErrore().descrizione.isEmpty());
    }
    EXPECT_EQ(impronta(archivio), prima);
}

TEST_F(DaoTest, ReadOnlyLockedOrUnwritableArchivesRefuseWritesAndChangeNothing)
{
    {
        SCOPED_TRACE("opened read-only");
        scritturaRifiutata(m_archivio, true, 8);
    }
    {
        SCOPED_TRACE("another program holds the write lock");
        QSqlDatabase altro = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("altro-programma"));
        altro.setDatabaseName(m_archivio);
        ASSERT_TRUE(altro.open());
        QSqlQuery blocco(altro);
        ASSERT_TRUE(blocco.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        scritturaRifiutata(m_archivio, false, 5);
        ASSERT_TRUE(blocco.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("altro-programma"));
    if (::geteuid() != 0) { // folder permissions do not bind the superuser
        SCOPED_TRACE("read-only file in a read-only folder");
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        QFile::setPermissions(m_archivio, QFile::ReadOwner);
        scritturaRifiutata(m_archivio, false, 0);
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(m_archivio, QFile::ReadOwner | QFile::WriteOwner);
    }
}

TEST(DaoValoriTest, ValuesAreStoredAsTheArchivesStoreThem)
{
    EXPECT_EQ(ValoreArchivio(QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6))).toString(),
              QStringLiteral("2026-02-03 04:05:06"));
    EXPECT_EQ(ValoreArchivio(QDate(2026, 2, 3)).toString(), QStringLiteral("2026-02-03 00:00:00"));
    EXPECT_EQ(ValoreArchivio(true).toInt(), -1);
    EXPECT_EQ(ValoreArchivio(false).toInt(), 0);
    EXPECT_TRUE(ComeTesto(QVariant()).isEmpty());
    EXPECT_FALSE(ComeData(QStringLiteral("non una data")).isValid());
    EXPECT_EQ(ComeData(QStringLiteral("2026-02-03")), QDate(2026, 2, 3).startOfDay());
    // the day alone reads the same dates as ComeData does
    for (const QVariant &v : {QVariant(QStringLiteral("2024-02-29")), QVariant(QStringLiteral(" 2024-02-29 23:59:59")),
                              QVariant(QStringLiteral("2024-02-29T00:00:00")), QVariant(QStringLiteral("2024-02-30")),
                              QVariant(QStringLiteral("2024-02-29 24:00:00")), QVariant(QStringLiteral("29/02/2024")),
                              QVariant(QDateTime(QDate(2024, 2, 29), QTime(1, 2))), QVariant()}) {
        const QDateTime d = ComeData(v);
        EXPECT_EQ(ComeGiorno(v), d.isValid() ? d.date() : QDate()) << v.toString().toStdString();
    }
    EXPECT_TRUE(ComeBool(-1));
    EXPECT_TRUE(ComeBool(QStringLiteral("1")));
    EXPECT_FALSE(ComeBool(QVariant()));
    EXPECT_FALSE(ComeBool(0));
}

} // namespace
