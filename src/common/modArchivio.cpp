#include "modArchivio.h"

#include "Database.h"
#include "Recordset.h"
#include "Segreti.h"
#include "modCartelle.h"

#include <QCryptographicHash>
#include <QFile>
#include <QUuid>

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
    QStringList comuni;
    const QStringList inDestinazione = destinazione.campi(tabella);
    for (const QString &campo : origine.campi(tabella)) {
        if (inDestinazione.contains(campo, Qt::CaseInsensitive)) {
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
    Database db;
    if (!db.crea(percorso) ||
        !db.esegui(QStringLiteral("CREATE TABLE tblFile(ID INTEGER PRIMARY KEY AUTOINCREMENT, File TEXT(255), "
                                  "Descrizione TEXT(50))"))) {
        if (errore) {
            *errore = db.ultimoErrore().testo();
        }
        const bool creato = db.aperto();
        db.chiudi();
        if (creato) {
            QFile::remove(percorso);
        }
        return false;
    }
    return true;
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
