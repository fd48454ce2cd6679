#include "DemoArchive.h"

#include "Database.h"
#include "ListaPazienti.h"
#include "Recordset.h"
#include "clsPaziente.h"
#include "clsSincronizza.h"
#include "modArchivio.h"

#include <QDateTime>
#include <QFileInfo>

namespace lanvera::demo {

using dao::ComeBool;
using dao::ComeData;
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

QString dateOfBirth(const QVariant &value)
{
    const QDateTime d = ComeData(value);
    return d.isValid() ? d.date().toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

} // namespace

bool ArchiveOwner(Database &archivio, QString *cf, QString *error)
{
    cf->clear();
    Recordset rs(archivio);
    if (!rs.apri(QStringLiteral("SELECT CodiceFiscale FROM tblMedico WHERE IDRete=1 ORDER BY ID"))) {
        return failed(error, QStringLiteral("reading the archive's doctor"), rs.ultimoErrore());
    }
    if (!rs.eof()) {
        *cf = rs.testo(QStringLiteral("CodiceFiscale")).trimmed().toUpper();
    }
    return true;
}

bool LocalPatients(Database &archivio, const QDate &today, QList<clsPaziente> *patients, QString *error)
{
    patients->clear();
    const bool sole = HaSole(archivio);
    const QString allineato =
        sole ? QStringLiteral("(SELECT Allineato FROM SOLE_tblAllineati WHERE IDPaziente=tblAnagrafica.ID LIMIT 1)")
             : QStringLiteral("1");
    Recordset rs(archivio);
    const QString sql =
        QStringLiteral("SELECT ID, Cognome, Nome, Tessera, CodiceFiscale, Sesso, Indirizzo, [Città], CAP, Provincia, "
                       "DataNascita, LuogoNascita, Proprio,"
                       " (SELECT Max(DataInizio) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID) AS DataInizio,"
                       " (SELECT Max(DataFine) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID) AS DataFine,"
                       " (SELECT Motivo FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID ORDER BY ID DESC LIMIT 1)"
                       " AS MotivoRevoca, %1 AS Allineato"
                       " FROM tblAnagrafica WHERE ((UIDCMedico='') OR (UIDCMedico IS NULL))"
                       " ORDER BY Cognome COLLATE NOCASE, Nome COLLATE NOCASE, ID")
            .arg(allineato);
    if (!rs.apri(sql)) {
        return failed(error, QStringLiteral("reading the archive's patients"), rs.ultimoErrore());
    }
    ListaPazienti lista;
    for (; !rs.eof(); rs.muoviProssimo()) {
        const QVariant cf = rs.valore(QStringLiteral("CodiceFiscale"));
        const QVariant cognome = rs.valore(QStringLiteral("Cognome"));
        const QVariant nome = rs.valore(QStringLiteral("Nome"));
        const QVariant proprio = rs.valore(QStringLiteral("Proprio"));
        if (cf.isNull() || cognome.isNull() || nome.isNull() || proprio.isNull() || cf.toString().size() != 16 ||
            cognome.toString().isEmpty() || nome.toString().isEmpty() || ComeBool(proprio)) {
            continue;
        }
        clsPaziente p;
        const QDateTime fine = ComeData(rs.valore(QStringLiteral("DataFine")));
        if (fine.isValid() && fine.date() <= today) {
            const QDateTime inizio = ComeData(rs.valore(QStringLiteral("DataInizio")));
            if (!(inizio.isValid() && inizio.date() >= fine.date())) {
                const QString motivo = rs.testo(QStringLiteral("MotivoRevoca"));
                const bool morte = motivo.contains(QStringLiteral("dece"), Qt::CaseInsensitive) ||
                                   motivo.contains(QStringLiteral("mort"), Qt::CaseInsensitive);
                p.Revocato = morte ? 2 : 1;
            }
        }
        p.ID = rs.valore(QStringLiteral("ID")).toInt();
        p.CF = cf.toString().trimmed();
        p.Tessera = rs.testo(QStringLiteral("Tessera")).trimmed();
        p.Cognome = cognome.toString().trimmed();
        p.Nome = nome.toString().trimmed();
        p.KeyPaziente = clsSincronizza::ChiavePaziente(p.CF, p.Cognome, p.Nome);
        p.Indirizzo = rs.testo(QStringLiteral("Indirizzo"));
        p.Citta = rs.testo(QStringLiteral("Città"));
        p.CAP = rs.testo(QStringLiteral("CAP"));
        p.Provincia = rs.testo(QStringLiteral("Provincia"));
        p.Sesso = rs.testo(QStringLiteral("Sesso"));
        p.LuogoNascita = rs.testo(QStringLiteral("LuogoNascita"));
        p.DataNascita = dateOfBirth(rs.valore(QStringLiteral("DataNascita")));
        p.Allineato = ComeBool(rs.valore(QStringLiteral("Allineato")));
        lista.aggiungi(p); // a second row with the same key is left out, as Sync does
    }
    *patients = lista.pazienti();
    return true;
}

bool IsPublishable(const clsPaziente &paziente)
{
    return paziente.Revocato == 0 && paziente.Allineato;
}

QString AuthorisationText(const QList<int> &colleaguePositions)
{
    QString testo(colleaguePositions.size(), QLatin1Char('0'));
    for (const int p : colleaguePositions) {
        if (p <= 0) {
            continue;
        }
        if (testo.size() < p) {
            testo = testo.leftJustified(p, QLatin1Char('0'));
        }
        testo[p - 1] = QLatin1Char('1');
    }
    return testo;
}

bool Authorises(const QString &autorizzazioni, int position)
{
    return position > 0 && position <= autorizzazioni.size() && autorizzazioni.at(position - 1) == QLatin1Char('1');
}

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
