#include "modArchivio.h"

#include "Database.h"
#include "Recordset.h"
#include "Segreti.h"
#include "modCartelle.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>

namespace lanvera {

using dao::Database;
using dao::Recordset;

namespace {

QString impronta(const QString &utente, const QString &password)
{
    return QString::fromLatin1(
        QCryptographicHash::hash((utente + QLatin1Char(':') + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool leggiPrimoValore(Database &db, const QString &sql, const QString &chiave, const QString &campo, QString &valore)
{
    valore.clear();
    Recordset rs(db);
    if (!rs.apri(sql, Recordset::Tipo::SoloAvanti, {chiave})) {
        return false;
    }
    if (!rs.eof()) {
        valore = rs.testo(campo);
    }
    return true;
}

// Adds the patient's row of a per-patient table, or edits the one there, and writes the values.
bool scriviRigaPaziente(Database &archivio, const QString &tabella, qint32 idPaziente, const QString &campo,
                        const QVariant &valore)
{
    Recordset rs(archivio);
    if (!rs.apri(QStringLiteral("SELECT * FROM %1 WHERE IDPaziente=?").arg(dao::Parentesi(tabella)),
                 Recordset::Tipo::Dynaset, {idPaziente})) {
        return false;
    }
    const bool ok = (rs.eof() ? rs.aggiungiNuovo() : rs.modifica()) &&
                    rs.imposta(QStringLiteral("IDPaziente"), idPaziente) && rs.imposta(campo, valore) && rs.aggiorna();
    return ok;
}

// The one table of the list of archives, after "CREATE TABLE".
constexpr QLatin1StringView TabellaListaArchivi{
    "tblFile(ID INTEGER PRIMARY KEY AUTOINCREMENT, File TEXT(255), Descrizione TEXT(50))"};

// The outcome of every archive's runs, beside the list. AUTOINCREMENT: an archive removed from the
// list never lends its ID, and so its history, to one added later.
constexpr QLatin1StringView TabellaEsitiSync{
    "tblEsitiSync(ID INTEGER PRIMARY KEY AUTOINCREMENT, IDFile INTEGER NOT NULL, File TEXT(255), Inizio DATETIME, "
    "Fine DATETIME, Esito TEXT(255), Riuscito INTEGER NOT NULL DEFAULT 0, Errori INTEGER NOT NULL DEFAULT 0, "
    "Inviate INTEGER NOT NULL DEFAULT 0, Scaricate INTEGER NOT NULL DEFAULT 0, Unite INTEGER NOT NULL DEFAULT 0, "
    "Conflitti INTEGER NOT NULL DEFAULT 0)"};

} // namespace

QString QuoteSQL(const QString &testo)
{
    QString copia = testo;
    return copia.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString CreaGUID()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

bool LeggiItem(Database &archivio, const QString &chiave, QString &item)
{
    // The key is bound, not pasted into the statement.
    return leggiPrimoValore(archivio, QStringLiteral("SELECT Item FROM arcItems WHERE Key=?"), chiave,
                            QStringLiteral("Item"), item);
}

bool LeggiConfig(Database &archivio, const QString &chiave, QString &valore)
{
    return leggiPrimoValore(archivio, QStringLiteral("SELECT * FROM SOLE_tblConfig WHERE Key=?"), chiave,
                            QStringLiteral("Valore"), valore);
}

bool EsisteTabella(const Database &db, const QString &tabella)
{
    return db.esisteTabella(tabella);
}

bool EsisteCampo(const Database &db, const QString &tabella, const QString &campo)
{
    return db.esisteCampo(tabella, campo);
}

bool HaSole(const Database &archivio)
{
    return archivio.esisteTabella(QStringLiteral("SOLE_Versione"));
}

QStringList CampiComuni(const Database &origine, const Database &destinazione, const QString &tabella)
{
    return CampiComuni(origine.campi(tabella), destinazione.campi(tabella));
}

QStringList CampiComuni(const QStringList &origine, const QStringList &destinazione)
{
    QStringList comuni;
    for (const QString &campo : origine) {
        if (destinazione.contains(campo, Qt::CaseInsensitive)) {
            comuni << campo;
        }
    }
    return comuni;
}

bool ImpostaUpdate(Database &archivio, qint32 idPaziente, const QString &guid)
{
    return scriviRigaPaziente(archivio, QStringLiteral("QUOR_tblUpdate"), idPaziente, QStringLiteral("IDUpdate"), guid);
}

bool ImpostaDateUpdate(Database &archivio, qint32 idPaziente, const QDateTime &quando)
{
    return scriviRigaPaziente(archivio, QStringLiteral("tblAnagrafica2"), idPaziente, QStringLiteral("DateUpdate"),
                              quando);
}

bool CreaDatabaseSync(const QString &percorso, QString *errore)
{
    auto fallisci = [errore](const dao::Errore &e) {
        if (errore) {
            *errore = e.testo();
        }
        return false;
    };
    const dao::Errore esiste{dao::ErroreFileEsistente, QStringLiteral("Il database '%1' esiste già.").arg(percorso)};
    if (QFileInfo::exists(percorso) || QFileInfo(percorso).isSymLink()) {
        return fallisci(esiste);
    }
    // Made beside and renamed into place: a program stopped halfway leaves no half-made list.
    const QString nuovo = percorso + QLatin1Char('.') + CreaGUID().mid(1, 8) + QStringLiteral(".tmp");
    {
        Database db;
        if (!db.crea(nuovo) || !db.esegui(QStringLiteral("CREATE TABLE ") + TabellaListaArchivi) ||
            !CreaTabellaEsitiSync(db)) {
            const dao::Errore e = db.ultimoErrore();
            if (db.aperto()) {
                db.chiudi();
                QFile::remove(nuovo);
            }
            return fallisci(e);
        }
    }
    // A rename never replaces a list that another program made meanwhile: that one is kept.
    QFile file(nuovo);
    errno = 0;
    if (!file.rename(percorso)) {
        const dao::Errore e{errno != 0 ? errno : static_cast<int>(file.error()), file.errorString()};
        QFile::remove(nuovo);
        return fallisci(QFileInfo::exists(percorso) ? esiste : e);
    }
    return true;
}

bool PreparaDatabaseSync(const QString &percorso, QString *errore)
{
    if (!EsisteFile(percorso)) {
        if (CreaDatabaseSync(percorso, errore)) {
            return true;
        }
        if (!EsisteFile(percorso)) {
            return false;
        }
        // Another program made it meanwhile: it is checked as any list found.
    }
    Database db;
    if (!db.apri(percorso)) {
        // Not a database at all: left as it is.
        if (errore) {
            *errore = db.ultimoErrore().testo();
        }
        return false;
    }
    if (db.esisteTabella(QStringLiteral("tblFile")) && db.esisteTabella(QStringLiteral("tblEsitiSync"))) {
        return true;
    }
    // An empty file, a database without the tables, an older list: what is missing is added in place.
    if (!db.iniziaTransazione() || !db.esegui(QStringLiteral("CREATE TABLE IF NOT EXISTS ") + TabellaListaArchivi) ||
        !CreaTabellaEsitiSync(db) || !db.confermaTransazione()) {
        if (errore) {
            *errore = db.ultimoErrore().testo();
        }
        if (db.inTransazione()) {
            db.annullaTransazione();
        }
        return false;
    }
    return true;
}

bool CreaTabellaEsitiSync(Database &lista)
{
    if (!lista.esegui(QStringLiteral("CREATE TABLE IF NOT EXISTS ") + TabellaEsitiSync) ||
        !lista.esegui(QStringLiteral("CREATE INDEX IF NOT EXISTS tblEsitiSync_IDFile ON tblEsitiSync(IDFile)"))) {
        return false;
    }
    // A list made by an older version lacks the later columns: they are added in place.
    return lista.esisteCampo(QStringLiteral("tblEsitiSync"), QStringLiteral("Conflitti")) ||
           lista.esegui(QStringLiteral("ALTER TABLE tblEsitiSync ADD COLUMN Conflitti INTEGER NOT NULL DEFAULT 0"));
}

bool CreaFileGruppo(const QString &percorso, QString *errore)
{
    Database db;
    const bool ok = db.crea(percorso) &&
                    db.esegui(QStringLiteral(
                        "CREATE TABLE Account(Nome TEXT PRIMARY KEY COLLATE NOCASE, Impronta TEXT NOT NULL)")) &&
                    db.esegui(QStringLiteral("INSERT INTO Account VALUES (?, ?), (?, ?)"),
                              {UtenteJet(), impronta(UtenteJet(), PasswordJet()), UtenteJetEsclusivo(),
                               impronta(UtenteJetEsclusivo(), PasswordJetEsclusivo())});
    if (!ok) {
        if (errore) {
            *errore = db.ultimoErrore().testo();
        }
        if (db.aperto()) {
            db.chiudi();
            QFile::remove(percorso);
        }
    }
    return ok;
}

bool PreparaMotore(const QString &cartellaDati, const QString &cartellaProgramma, QString *errore)
{
    auto fallisci = [&](const QString &testo) {
        if (errore) {
            *errore = testo;
        }
        return false;
    };
    const QString copia = cartellaDati + QStringLiteral("/System.Mdw");
    if (!EsisteFile(copia)) {
        QFile::copy(cartellaProgramma + QStringLiteral("/System.mdw"), copia);
    }
    Database gruppo;
    if (!gruppo.apri(copia, true)) {
        return fallisci(QStringLiteral("File di gruppo di lavoro: Errore ") + gruppo.ultimoErrore().testo());
    }
    for (const auto &[utente, password] :
         {std::pair{UtenteJet(), PasswordJet()}, std::pair{UtenteJetEsclusivo(), PasswordJetEsclusivo()}}) {
        Recordset rs(gruppo);
        if (!rs.apri(QStringLiteral("SELECT Impronta FROM Account WHERE Nome=?"), Recordset::Tipo::SoloAvanti,
                     {utente}) ||
            rs.eof() || rs.testo(QStringLiteral("Impronta")) != impronta(utente, password)) {
            return fallisci(QStringLiteral("Nome utente o password non validi per l'account '%1'.").arg(utente));
        }
    }
    return true;
}

} // namespace lanvera
