#include "DemoServer.h"

#include "ErroriServer.h"
#include "clsPaziente.h"

#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <atomic>

Q_LOGGING_CATEGORY(lcDemoServer, "lanvera.tools.demo", QtInfoMsg)

namespace lanvera::demo {

namespace {
using namespace lanvera::erroriserver;

DemoDoctor doctorFrom(const QSqlQuery &q)
{
    DemoDoctor d;
    d.id = q.value(QStringLiteral("ID")).toInt();
    d.cf = q.value(QStringLiteral("CF")).toString();
    d.cognome = q.value(QStringLiteral("Cognome")).toString();
    d.nome = q.value(QStringLiteral("Nome")).toString();
    d.password = q.value(QStringLiteral("Password")).toString();
    d.gruppo = q.value(QStringLiteral("IDGruppo")).toInt();
    d.progressivo = q.value(QStringLiteral("Progressivo")).toInt();
    d.sospeso = q.value(QStringLiteral("Sospeso")).toInt() != 0;
    return d;
}

const QString DoctorColumns = QStringLiteral("ID, CF, Cognome, Nome, Password, IDGruppo, Progressivo, Sospeso");

} // namespace

DemoServer::DemoServer() = default;

DemoServer::~DemoServer()
{
    if (m_connectionName.isEmpty()) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool DemoServer::fail(Failure failure, const QString &text)
{
    m_lastFailure = failure;
    m_lastError = text;
    return false;
}

bool DemoServer::failSql(const QString &what, const QSqlError &error)
{
    const int code = nativeCode(error);
    QString message = what + QStringLiteral(": ") + describe(error);
    if (code == 1049 || code == 1146) {
        message += QStringLiteral(" (run \"lanvera-server init\" first)");
    }
    return fail(isUnreachable(code) ? Failure::Unreachable : Failure::Failed, message);
}

bool DemoServer::run(QSqlQuery &query, const QString &what)
{
    if (!query.exec()) {
        return failSql(what, query.lastError());
    }
    return true;
}

bool DemoServer::connect(const AdminLogin &login)
{
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("lanvera-demo-%1").arg(++counter);
    m_address = login.describe();

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), m_connectionName);
    if (!db.isValid()) {
        return fail(Failure::Failed,
                    QStringLiteral("the Qt MySQL driver (QMYSQL) is not available: install libqt6sql6-mysql"));
    }
    QStringList options{QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(login.connectTimeoutSeconds)};
    if (!login.socket.isEmpty()) {
        db.setHostName(QStringLiteral("localhost"));
        options.append(QStringLiteral("UNIX_SOCKET=") + login.socket);
    } else {
        db.setHostName(login.host);
        db.setPort(login.port);
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    db.setUserName(login.user);
    db.setPassword(login.password);
    qCDebug(lcDemoServer) << "connecting to" << m_address << "as" << login.user;
    if (db.open()) {
        return true;
    }
    const QSqlError error = db.lastError();
    const int code = nativeCode(error);
    if (isUnreachable(code)) {
        return fail(Failure::Unreachable,
                    QStringLiteral("cannot reach the server at %1: %2").arg(m_address, describe(error)));
    }
    if (isLoginRefused(code)) {
        return fail(Failure::LoginRefused, QStringLiteral("the server at %1 refused the login of \"%2\": %3")
                                               .arg(m_address, login.user, describe(error)));
    }
    return fail(Failure::Failed,
                QStringLiteral("cannot connect to the server at %1: %2").arg(m_address, describe(error)));
}

bool DemoServer::doctor(const QString &cf, std::optional<DemoDoctor> *found)
{
    found->reset();
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM quor.tblmedici WHERE CF=?").arg(DoctorColumns));
    q.addBindValue(cf);
    if (!run(q, QStringLiteral("reading the doctor ") + cf)) {
        return false;
    }
    if (q.next()) {
        *found = doctorFrom(q);
    }
    return true;
}

bool DemoServer::groupDoctors(int gruppo, QList<DemoDoctor> *doctors)
{
    doctors->clear();
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM quor.tblmedici WHERE IDGruppo=? AND Sospeso=0 ORDER BY Cognome, Nome")
                  .arg(DoctorColumns));
    q.addBindValue(gruppo);
    if (!run(q, QStringLiteral("reading the doctors of group %1").arg(gruppo))) {
        return false;
    }
    while (q.next()) {
        doctors->append(doctorFrom(q));
    }
    return true;
}

bool DemoServer::setPassword(int doctorId, const QString &password)
{
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.prepare(QStringLiteral("UPDATE quor.tblmedici SET Password=? WHERE ID=?"));
    q.addBindValue(password);
    q.addBindValue(doctorId);
    return run(q, QStringLiteral("setting the doctor's password"));
}

bool DemoServer::publish(const clsPaziente &p, const DemoDoctor &owner, const QString &autorizzazioni, bool *added)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const QString what = QStringLiteral("publishing ") + p.Cognome + QLatin1Char(' ') + p.Nome;
    QSqlQuery presente(db);
    presente.prepare(QStringLiteral("SELECT count(*) FROM quor.tblanagrafica WHERE IDPaziente=? AND CFMedico=?"));
    presente.addBindValue(p.KeyPaziente);
    presente.addBindValue(owner.cf);
    if (!run(presente, what)) {
        return false;
    }
    *added = !(presente.next() && presente.value(0).toInt() > 0);

    QSqlQuery q(db);
    if (!*added) {
        q.prepare(QStringLiteral("UPDATE quor.tblanagrafica SET Autorizzazioni=? WHERE IDPaziente=? AND CFMedico=?"));
        q.addBindValue(text(autorizzazioni));
        q.addBindValue(p.KeyPaziente);
        q.addBindValue(owner.cf);
        return run(q, what);
    }
    q.prepare(QStringLiteral("INSERT INTO quor.tblanagrafica (IDPaziente, CF, Tessera, Cognome, Nome, Indirizzo, "
                             "Citta, CAP, Provincia, Sesso, LuogoNascita, DataNascita, CFMedico, IDUpdate, "
                             "IDDatabase, Autorizzazioni) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '', ?, ?)"));
    for (const QString &value : {p.KeyPaziente, p.CF, p.Tessera, p.Cognome, p.Nome, p.Indirizzo, p.Citta, p.CAP,
                                 p.Provincia, p.Sesso, p.LuogoNascita, p.DataNascita, owner.cf}) {
        q.addBindValue(text(value));
    }
    q.addBindValue(owner.id);
    q.addBindValue(text(autorizzazioni));
    return run(q, what);
}

bool DemoServer::published(const QString &ownerCf, QList<clsPaziente> *patients)
{
    patients->clear();
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT IDPaziente, CF, Cognome, Nome, CFMedico, IDUpdate, IDDatabase, Autorizzazioni "
                             "FROM quor.tblanagrafica WHERE CFMedico=? ORDER BY Cognome, Nome, ID"));
    q.addBindValue(ownerCf);
    if (!run(q, QStringLiteral("reading the patients of ") + ownerCf)) {
        return false;
    }
    while (q.next()) {
        clsPaziente p;
        p.KeyPaziente = q.value(0).toString();
        p.CF = q.value(1).toString();
        p.Cognome = q.value(2).toString();
        p.Nome = q.value(3).toString();
        p.CFMedico = q.value(4).toString();
        p.IDUpdate = q.value(5).toString();
        p.IDDatabase = q.value(6).toInt();
        p.Autorizzazioni = q.value(7).toString();
        patients->append(p);
    }
    return true;
}

bool DemoServer::addModifications(const QString &chiave, const QString &colleagueCf, const QString &ownerCf,
                                  const QString &package, int *id)
{
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.prepare(QStringLiteral(
        "INSERT INTO quor.tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, Modifiche) VALUES (?, ?, ?, ?)"));
    q.addBindValue(chiave);
    q.addBindValue(colleagueCf);
    q.addBindValue(ownerCf);
    q.addBindValue(package);
    if (!run(q, QStringLiteral("queueing the modifications of ") + chiave)) {
        return false;
    }
    *id = q.lastInsertId().toInt();
    return true;
}

} // namespace lanvera::demo
