#include "modArchivioHost.h"

#include "ConnessioneSqlite.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace lanvera::host {

namespace {

void impostaErrore(QString *errore, const QString &testo)
{
    if (errore) {
        *errore = testo;
    }
}

bool esegui(QSqlDatabase &db, const QString &istruzione, QString *errore)
{
    QSqlQuery query(db);
    if (!query.exec(istruzione)) {
        impostaErrore(errore, u"%1: %2"_s.arg(istruzione.section(u'\n', 0, 0), query.lastError().text()));
        return false;
    }
    return true;
}

} // namespace

QString ScriptArchivioVuoto()
{
    QFile file(u":/lanvera/host/ClinoraTemp.sql"_s);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QStringList IstruzioniSql(const QString &script)
{
    QStringList istruzioni;
    QString corrente;
    const qsizetype n = script.size();
    qsizetype i = 0;
    auto chiudi = [&] {
        const QString testo = corrente.trimmed();
        if (!testo.isEmpty()) {
            istruzioni.append(testo);
        }
        corrente.clear();
    };
    while (i < n) {
        const QChar c = script.at(i);
        const QChar dopo = i + 1 < n ? script.at(i + 1) : QChar();
        if (c == u'-' && dopo == u'-') {
            while (i < n && script.at(i) != u'\n') {
                ++i;
            }
            continue;
        }
        if (c == u'/' && dopo == u'*') {
            const qsizetype fine = script.indexOf(u"*/"_s, i + 2);
            i = fine < 0 ? n : fine + 2;
            corrente.append(u' ');
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'[') {
            // A quoted name or literal is copied whole; a doubled quote stays inside it.
            const QChar chiusura = c == u'[' ? QChar(u']') : c;
            corrente.append(c);
            ++i;
            while (i < n) {
                const QChar d = script.at(i);
                corrente.append(d);
                ++i;
                if (d == chiusura) {
                    if (chiusura != u']' && i < n && script.at(i) == chiusura) {
                        corrente.append(chiusura);
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            continue;
        }
        if (c == u';') {
            chiudi();
            ++i;
            continue;
        }
        corrente.append(c);
        ++i;
    }
    chiudi();
    return istruzioni;
}

bool EseguiScript(QSqlDatabase &db, const QString &script, QString *errore)
{
    const QStringList istruzioni = IstruzioniSql(script);
    if (istruzioni.isEmpty()) {
        impostaErrore(errore, u"Lo script non contiene istruzioni"_s);
        return false;
    }
    if (!db.transaction()) {
        impostaErrore(errore, u"Inizio transazione: %1"_s.arg(db.lastError().text()));
        return false;
    }
    for (const QString &istruzione : istruzioni) {
        if (!esegui(db, istruzione, errore)) {
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        impostaErrore(errore, u"Conferma transazione: %1"_s.arg(db.lastError().text()));
        return false;
    }
    return true;
}

bool CreaArchivio(const QString &percorso, const RiempiArchivio &riempi, QString *errore)
{
    if (percorso.trimmed().isEmpty()) {
        impostaErrore(errore, u"Percorso dell'archivio vuoto"_s);
        return false;
    }
    const QFileInfo info(percorso);
    if (info.exists() || info.isSymLink()) {
        impostaErrore(errore, u"Il file esiste già: %1"_s.arg(percorso));
        return false;
    }
    const QDir cartella = info.absoluteDir();
    if (!cartella.exists()) {
        impostaErrore(errore, u"La cartella non esiste: %1"_s.arg(QDir::toNativeSeparators(cartella.path())));
        return false;
    }
    const QString script = ScriptArchivioVuoto();
    if (script.isEmpty()) {
        impostaErrore(errore, u"Schema dell'archivio non disponibile"_s);
        return false;
    }

    // The temporary file reserves a unique name beside the target; it is removed with the
    // object unless the rename at the end succeeds.
    QTemporaryFile temporaneo(cartella.filePath(u".%1.XXXXXX.tmp"_s.arg(info.fileName())));
    if (!temporaneo.open()) {
        impostaErrore(errore, u"Impossibile scrivere nella cartella %1: %2"_s.arg(
                                  QDir::toNativeSeparators(cartella.path()), temporaneo.errorString()));
        return false;
    }
    const QString nomeTemporaneo = temporaneo.fileName();
    temporaneo.close();
    auto eliminaResidui = [&] { QFile::remove(nomeTemporaneo + u"-journal"_s); };

    bool riuscito = false;
    {
        ConnessioneSqlite connessione(nomeTemporaneo);
        if (connessione.apri(errore)) {
            QSqlDatabase &db = connessione.db();
            // The file is thrown away on any failure, so it needs neither a journal nor syncs.
            riuscito = esegui(db, u"PRAGMA journal_mode=OFF"_s, errore) &&
                       esegui(db, u"PRAGMA synchronous=OFF"_s, errore) && EseguiScript(db, script, errore) &&
                       (!riempi || riempi(db, errore));
        }
    }
    eliminaResidui();
    if (!riuscito) {
        return false;
    }
    if (!QFile::rename(nomeTemporaneo, percorso)) {
        impostaErrore(errore, u"Impossibile creare %1 (il file esiste già o la cartella non è scrivibile)"_s.arg(
                                  QDir::toNativeSeparators(percorso)));
        return false;
    }
    temporaneo.setAutoRemove(false);
    return true;
}

bool CreaArchivioVuoto(const QString &percorso, QString *errore)
{
    return CreaArchivio(percorso, {}, errore);
}

bool AttivaSole(QSqlDatabase &db, const QString &cfMedico, QString *errore)
{
    if (!esegui(db,
                u"CREATE TABLE SOLE_Versione (ID INTEGER PRIMARY KEY AUTOINCREMENT, Versione VARCHAR(20), "
                "Data DATETIME)"_s,
                errore)) {
        return false;
    }
    QSqlQuery versione(db);
    versione.prepare(u"INSERT INTO SOLE_Versione (Versione, Data) VALUES (?, ?)"_s);
    versione.addBindValue(u"2.1.0"_s);
    versione.addBindValue(TestoData(QDate(2012, 1, 1)));
    if (!versione.exec()) {
        impostaErrore(errore, u"SOLE_Versione: %1"_s.arg(versione.lastError().text()));
        return false;
    }
    QSqlQuery config(db);
    config.prepare(u"INSERT INTO SOLE_tblConfig (\"Key\", Valore) VALUES ('CodiceFiscaleMedico', ?)"_s);
    config.addBindValue(cfMedico);
    if (!config.exec()) {
        impostaErrore(errore, u"SOLE_tblConfig: %1"_s.arg(config.lastError().text()));
        return false;
    }
    return true;
}

QString TestoData(const QDate &data)
{
    return data.toString(u"yyyy-MM-dd"_s) + u" 00:00:00"_s;
}

QString TestoMomento(const QDateTime &momento)
{
    return momento.toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

QString TestoMomentoCompatto(const QDateTime &momento)
{
    return momento.toString(u"yyyyMMddHHmmss"_s);
}

} // namespace lanvera::host
