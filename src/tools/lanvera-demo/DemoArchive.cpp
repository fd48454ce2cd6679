#include "DemoArchive.h"

#include "Database.h"
#include "Recordset.h"
#include "modArchivio.h"

#include <QFileInfo>

namespace lanvera::demo {

using dao::Database;
using dao::Recordset;

namespace {

bool failed(QString *error, const QString &what, const dao::Errore &reason)
{
    if (error) {
        *error = what + QStringLiteral(": ") + reason.testo();
    }
    return false;
}

} // namespace

bool PrepareSecondInstallation(const QString &archivio, const QString &cf, const QString &password, QString *error)
{
    if (!QFileInfo(archivio).isFile()) {
        if (error) {
            *error = QStringLiteral("no archive at %1 (make it with \"clinora-archive create\")").arg(archivio);
        }
        return false;
    }
    Database db;
    if (!db.apri(archivio)) {
        return failed(error, QStringLiteral("opening ") + archivio, db.ultimoErrore());
    }
    if (!db.iniziaTransazione()) {
        return failed(error, QStringLiteral("preparing ") + archivio, db.ultimoErrore());
    }
    const bool ok =
        db.esegui(QStringLiteral("UPDATE tblMedico SET CodiceFiscale=? WHERE IDRete=1"), {cf}) &&
        (db.righeInteressate() > 0 ||
         db.esegui(QStringLiteral("INSERT INTO tblMedico (IDRete, CodiceFiscale) VALUES (1, ?)"), {cf})) &&
        db.esegui(QStringLiteral("DELETE FROM arcItems WHERE Key='QUOR.PasswordMedicoSync'")) &&
        db.esegui(
            QStringLiteral("INSERT INTO arcItems (Key, Item, Cancellato) VALUES ('QUOR.PasswordMedicoSync', ?, 0)"),
            {password}) &&
        db.confermaTransazione();
    if (!ok) {
        const dao::Errore reason = db.ultimoErrore();
        db.annullaTransazione();
        return failed(error, QStringLiteral("preparing ") + archivio, reason);
    }
    return true;
}

bool AddToArchiveList(const QString &list, const QString &archivio, const QString &description, bool *added,
                      QString *error)
{
    if (!QFileInfo::exists(list)) {
        QString reason;
        if (!CreaDatabaseSync(list, &reason)) {
            if (error) {
                *error = QStringLiteral("creating the list %1: %2").arg(list, reason);
            }
            return false;
        }
    }
    Database db;
    if (!db.apri(list)) {
        return failed(error, QStringLiteral("opening the list ") + list, db.ultimoErrore());
    }
    if (!db.esegui(QStringLiteral("UPDATE tblFile SET Descrizione=? WHERE File=?"), {description, archivio})) {
        return failed(error, QStringLiteral("writing the list ") + list, db.ultimoErrore());
    }
    *added = db.righeInteressate() == 0;
    if (*added &&
        !db.esegui(QStringLiteral("INSERT INTO tblFile (File, Descrizione) VALUES (?, ?)"), {archivio, description})) {
        return failed(error, QStringLiteral("writing the list ") + list, db.ultimoErrore());
    }
    return true;
}

} // namespace lanvera::demo
