#include "ConnessioneServer.h"

#include "Segreti.h"
#include "modIni.h"
#include "modLog.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

namespace lanvera {

namespace {

QAtomicInt s_prossimaConnessione;
QString s_ultimoErrore;

constexpr int OpzioneRigheTrovate = 2; // the settings' "found rows" flag

QString valoreOPredefinito(const QString &valore, const QString &predefinito)
{
    return valore.trimmed().isEmpty() ? predefinito : valore.trimmed();
}

// A Qt driver name is used as it stands; the ODBC driver names of older settings files mean MySQL.
QString driverQt(const QString &driver)
{
    if (driver.startsWith(QLatin1Char('Q')) && !driver.contains(QLatin1Char(' '))) {
        return driver;
    }
    return QStringLiteral("QMYSQL");
}

} // namespace

ImpostazioniServer ImpostazioniServer::daIni()
{
    ImpostazioniServer s;
    const QString setup = QStringLiteral("Setup");
    s.host = LeggiIni(setup, QStringLiteral("Host")).trimmed();
    s.porta = valoreOPredefinito(LeggiIni(setup, QStringLiteral("Port")), s.porta);
    s.driver = valoreOPredefinito(LeggiIni(setup, QStringLiteral("Driver")), s.driver);
    s.opzioni = valoreOPredefinito(LeggiIni(setup, QStringLiteral("Option")), s.opzioni);
    return s;
}

dao::Errore ErroreServer(const QSqlError &errore)
{
    bool ok = false;
    const int numero = errore.nativeErrorCode().toInt(&ok);
    QString testo = errore.databaseText();
    if (testo.isEmpty()) {
        testo = errore.driverText();
    }
    return {ok ? numero : -1, testo};
}

ConnessioneServer::ConnessioneServer()
    // Qt keeps one list of connection names per process; a plug-in brings its own copy of this
    // library, so the object's address makes the name unique across copies too.
    : m_nomeConnessione(QStringLiteral("lanvera-server-%1-%2")
                            .arg(s_prossimaConnessione.fetchAndAddRelaxed(1))
                            .arg(reinterpret_cast<quintptr>(this), 0, 16))
{}

ConnessioneServer::~ConnessioneServer()
{
    chiudi();
}

QSqlDatabase ConnessioneServer::database() const
{
    return QSqlDatabase::database(m_nomeConnessione, false);
}

bool ConnessioneServer::aperta() const
{
    return QSqlDatabase::contains(m_nomeConnessione) && database().isOpen();
}

bool ConnessioneServer::fallisciConnessione(const dao::Errore &errore)
{
    m_errore = errore;
    m_ultimoErrore = QStringLiteral("Connessione al server: Errore ") + errore.testo();
    chiudi();
    return false;
}

bool ConnessioneServer::apri(const ImpostazioniServer &impostazioni, const LimitiServer &limiti)
{
    m_impostazioni = impostazioni;
    m_errore = {};
    m_ultimoErrore.clear();
    if (impostazioni.host.isEmpty()) {
        m_ultimoErrore = QStringLiteral("Manca l'indirizzo dell'Host");
        return false;
    }
    bool portaOk = false;
    const int porta = impostazioni.porta.toInt(&portaOk);
    if (!portaOk || porta <= 0 || porta > 65535) {
        return fallisciConnessione({0, QStringLiteral("Porta del server non valida: %1").arg(impostazioni.porta)});
    }
    const int opzioni = impostazioni.opzioni.toInt();

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driverQt(impostazioni.driver), m_nomeConnessione);
        if (!db.isValid()) {
            dao::Errore e = ErroreServer(db.lastError());
            if (e.descrizione.isEmpty()) {
                e = {0, QStringLiteral("Driver %1 non disponibile").arg(impostazioni.driver)};
            }
            return fallisciConnessione(e);
        }
        QStringList opzioniConnessione{
            QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(limiti.connessione),
            QStringLiteral("MYSQL_OPT_READ_TIMEOUT=%1").arg(limiti.lettura),
            QStringLiteral("MYSQL_OPT_WRITE_TIMEOUT=%1").arg(limiti.scrittura),
        };
        if (opzioni & OpzioneRigheTrovate) {
            opzioniConnessione << QStringLiteral("CLIENT_FOUND_ROWS");
        }
        db.setConnectOptions(opzioniConnessione.join(QLatin1Char(';')));
        db.setHostName(impostazioni.host);
        db.setPort(porta);
        db.setUserName(UtenteServer());
        db.setPassword(PasswordServer());
        if (!db.open()) {
            return fallisciConnessione(ErroreServer(db.lastError()));
        }
    }
    // Backslashes are plain characters in literals: doubling apostrophes is then enough to keep a
    // value inside its literal.
    for (const QString &sql : {QStringLiteral("SET NAMES utf8mb4"),
                               QStringLiteral("SET SESSION sql_mode = CONCAT_WS(',', NULLIF(@@SESSION.sql_mode, ''), "
                                              "'NO_BACKSLASH_ESCAPES')")}) {
        QSqlQuery q(database());
        if (!q.exec(sql)) {
            return fallisciConnessione(ErroreServer(q.lastError()));
        }
    }
    return true;
}

bool ConnessioneServer::connetti(const ImpostazioniServer &impostazioni, bool scriviLog, const LimitiServer &limiti)
{
    if (scriviLog) {
        ScriviLog(QStringLiteral("Connessione al server"));
    }
    chiudi();
    return apri(impostazioni, limiti);
}

bool ConnessioneServer::connettiRiusando(const ImpostazioniServer &impostazioni, const LimitiServer &limiti)
{
    if (QSqlDatabase::contains(m_nomeConnessione)) {
        if (impostazioni == m_impostazioni && aperta() && usaDatabaseRete()) {
            return true;
        }
        chiudi();
    }
    return apri(impostazioni, limiti) && usaDatabaseRete();
}

void ConnessioneServer::chiudi()
{
    m_cartelleVerificate.clear();
    if (!QSqlDatabase::contains(m_nomeConnessione)) {
        return;
    }
    database().close();
    QSqlDatabase::removeDatabase(m_nomeConnessione);
}

bool ConnessioneServer::esegui(const QString &sql, const QVariantList &valori)
{
    if (!aperta()) {
        m_errore = {2006, QStringLiteral("Connessione al server non aperta")};
        m_ultimoErrore = m_errore.testo();
        return false;
    }
    QSqlQuery q(database());
    bool ok = false;
    if (valori.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        for (const QVariant &v : valori) {
            q.addBindValue(v);
        }
        ok = ok && q.exec();
    }
    if (!ok) {
        m_errore = ErroreServer(q.lastError());
        m_ultimoErrore = m_errore.testo();
    }
    return ok;
}

bool ConnessioneServer::leggiOraServer(QDateTime &utc)
{
    utc = {};
    if (!aperta()) {
        m_errore = {2006, QStringLiteral("Connessione al server non aperta")};
        m_ultimoErrore = m_errore.testo();
        return false;
    }
    QSqlQuery q(database());
    // As text: the driver would read a DATETIME as local time.
    if (!q.exec(QStringLiteral("SELECT DATE_FORMAT(UTC_TIMESTAMP(3), '%Y-%m-%d %H:%i:%s.%f')")) || !q.next()) {
        m_errore = q.lastError().isValid() ? ErroreServer(q.lastError())
                                           : dao::Errore{0, QStringLiteral("Ora del server non disponibile")};
        m_ultimoErrore = m_errore.testo();
        return false;
    }
    // %f gives microseconds: the first three digits are the milliseconds.
    const QString testo = q.value(0).toString().left(23);
    const QDateTime letta = QDateTime::fromString(testo, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!letta.isValid()) {
        m_errore = {0, QStringLiteral("Ora del server non valida: ") + testo};
        m_ultimoErrore = m_errore.testo();
        return false;
    }
    utc = QDateTime(letta.date(), letta.time(), Qt::UTC);
    return true;
}

QString AvvisoOrologio(const QDateTime &orologioLocale, const QDateTime &oraServer)
{
    if (!orologioLocale.isValid() || !oraServer.isValid()) {
        return {};
    }
    const qint64 scarto = oraServer.msecsTo(orologioLocale); // > 0: this computer is ahead
    if (qAbs(scarto) <= ScartoOrologioTolleratoMs) {
        return {};
    }
    const qint64 minuti = (qAbs(scarto) + 30 * 1000) / (60 * 1000);
    return QStringLiteral("Attenzione: l'orologio di questo computer è %1 di %2 minuti rispetto al server: le "
                          "modifiche fatte qui possono prevalere o essere scartate a torto")
        .arg(scarto > 0 ? QStringLiteral("avanti") : QStringLiteral("indietro"))
        .arg(minuti);
}

bool ConnessioneServer::usaDatabaseRete()
{
    return esegui(QStringLiteral("Use `quor`"));
}

bool ConnessioneServer::usaDatabaseCartelle(qint32 numero)
{
    const QString nome = QStringLiteral("`quor_%1`").arg(numero);
    if (!esegui(QStringLiteral("Use ") + nome)) {
        if (!esegui(QStringLiteral("CREATE DATABASE IF NOT EXISTS %1 CHARACTER SET utf8mb4").arg(nome)) ||
            !esegui(QStringLiteral("Use ") + nome)) {
            return false;
        }
    }
    // A program stopped between the two creations leaves the database without its table: the
    // table is made sure of on the first use of each database on this connection.
    if (m_cartelleVerificate.contains(numero)) {
        return true;
    }
    if (!esegui(QStringLiteral("CREATE TABLE IF NOT EXISTS `tblcartella` (`ID` int(11) NOT NULL auto_increment, "
                               "`IDPaziente` varchar(116) NOT NULL default '', `Cartella` longtext NOT NULL, "
                               "PRIMARY KEY (`ID`), UNIQUE KEY `IDPaziente` (`IDPaziente`)) ENGINE=InnoDB"))) {
        return false;
    }
    m_cartelleVerificate.insert(numero);
    return true;
}

ConnessioneServer &ServerDB()
{
    static ConnessioneServer connessione;
    return connessione;
}

bool ConnettiServer()
{
    if (!ServerDB().connetti(ImpostazioniServer::daIni())) {
        s_ultimoErrore = ServerDB().ultimoErrore();
        return false;
    }
    return true;
}

void ChiudiServer()
{
    ServerDB().chiudi();
}

bool UsaDatabaseRete()
{
    return ServerDB().usaDatabaseRete();
}

bool UsaDatabaseCartelle(qint32 numero)
{
    return ServerDB().usaDatabaseCartelle(numero);
}

QString UltimoErrore()
{
    return s_ultimoErrore;
}

void ImpostaUltimoErrore(const QString &testo)
{
    s_ultimoErrore = testo;
}

} // namespace lanvera
