// lanvera-demo: what the plug-in and the administration program would do on a doctor's behalf, for
// the demo and the tests: publishing patients, a colleague's modifications, the doctor's second
// installation and Sync's list of archives.

#include "ColleagueCopy.h"
#include "DemoArchive.h"
#include "DemoServer.h"
#include "clsPaziente.h"
#include "modArchivio.h"
#include "modCartelle.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>
#include <optional>

using namespace lanvera;
using namespace lanvera::demo;

namespace {

enum ExitCode
{
    ExitOk = 0,
    ExitFailed = 1,
    ExitUsage = 2,
    ExitUnreachable = 3,
    ExitLoginRefused = 4,
};

QString usageText()
{
    return QStringLiteral(
        "Usage: lanvera-demo COMMAND [options]\n"
        "\n"
        "Does on the group's server and in the archives what the plug-in would do for a doctor.\n"
        "\n"
        "Commands:\n"
        "  publish                    publish the first active patients of an archive, as their first\n"
        "                             authorisation does: server rows without a chart, for Sync to send\n"
        "      --archive PATH           the doctor's archive\n"
        "      --cf CF                  the doctor's fiscal code (the archive's owner)\n"
        "      --count N                how many patients\n"
        "      --authorise TEXT         authorisations, \"0\" and \"1\" by position in the group\n"
        "                               (default: every active colleague of the group)\n"
        "                             The doctor's server password becomes the archive's sync password\n"
        "                             when the server has none.\n"
        "  modify                     queue a colleague's modifications of published patients, as the\n"
        "                             plug-in sends them when he closes their charts\n"
        "      --archive PATH           the owner's archive\n"
        "      --owner CF               the owner's fiscal code\n"
        "      --colleague CF           the colleague's fiscal code (same group, authorised)\n"
        "      --patients N             how many patients\n"
        "  prepare-empty              make an empty archive (clinora-archive create) the doctor's\n"
        "                             second installation: owner row and sync password item\n"
        "      --archive PATH --cf CF --password TEXT\n"
        "  add-archive                list an archive for Sync in its list (tblFile of Quor.mdb),\n"
        "                             creating the list when it is missing\n"
        "      --list PATH --file PATH --description TEXT\n"
        "\n"
        "Connection options of publish and modify:\n"
        "  --host HOST                server address (default 127.0.0.1)\n"
        "  --port PORT                server port (default 3306)\n"
        "  --user USER                administrator account (default root)\n"
        "  --socket PATH              connect through this local socket instead of host and port\n"
        "The administrator's password comes from the environment variable LANVERA_ADMIN_PASSWORD.\n"
        "\n"
        "Exit status: 0 done, 1 refused or failed, 2 bad arguments, 3 server unreachable,\n"
        "4 administrator login refused.\n");
}

QString normaliseCf(const QString &cf)
{
    return cf.trimmed().toUpper();
}

bool isValidCf(const QString &cf)
{
    static const QRegularExpression forma(QStringLiteral("^[A-Z0-9]{16}$"));
    return forma.match(cf).hasMatch();
}

class Cli
{
public:
    Cli() : m_out(stdout), m_err(stderr) {}

    int run(const QStringList &arguments);

private:
    int usageError(const QString &message)
    {
        m_err << "lanvera-demo: " << message << "\n\n" << usageText();
        m_err.flush();
        return ExitUsage;
    }
    int failed(const QString &message)
    {
        m_out.flush();
        m_err << "lanvera-demo: " << message << '\n';
        m_err.flush();
        return ExitFailed;
    }
    int failed(const DemoServer &server)
    {
        const int code = failed(server.lastError());
        switch (server.lastFailure()) {
        case DemoServer::Failure::Unreachable:
            return ExitUnreachable;
        case DemoServer::Failure::LoginRefused:
            return ExitLoginRefused;
        default:
            return code;
        }
    }

    QString value(const char *option) const { return m_parser.value(QString::fromLatin1(option)).trimmed(); }
    bool positive(const char *option, int *number);
    bool fiscalCode(const char *option, QString *cf);
    int connect(DemoServer &server);
    // The active doctor with that fiscal code, or the exit code of the failure.
    int activeDoctor(DemoServer &server, const QString &cf, DemoDoctor *doctor);

    int publish();
    int modify();
    int prepareEmpty();
    int addArchive();

    QTextStream m_out;
    QTextStream m_err;
    QCommandLineParser m_parser;
    AdminLogin m_login;
    QString m_badArgument;
};

bool Cli::positive(const char *option, int *number)
{
    bool ok = false;
    *number = value(option).toInt(&ok);
    if (!ok || *number <= 0) {
        m_badArgument = QStringLiteral("--%1 needs a positive whole number, not \"%2\"")
                            .arg(QString::fromLatin1(option), value(option));
        return false;
    }
    return true;
}

bool Cli::fiscalCode(const char *option, QString *cf)
{
    *cf = normaliseCf(value(option));
    if (!isValidCf(*cf)) {
        m_badArgument = QStringLiteral("--%1 needs a fiscal code of 16 letters and digits, not \"%2\"")
                            .arg(QString::fromLatin1(option), value(option));
        return false;
    }
    return true;
}

int Cli::run(const QStringList &arguments)
{
    if (arguments.size() < 2) {
        return usageError(QStringLiteral("no command given"));
    }
    const QString command = arguments.at(1);
    if (command == QLatin1String("help") || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        m_out << usageText();
        return ExitOk;
    }

    using Option = QCommandLineOption;
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(Option(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    QStringList required;
    QStringList optional;
    bool server = false;
    int (Cli::*handler)() = nullptr;
    if (command == QLatin1String("publish")) {
        handler = &Cli::publish;
        required = {QStringLiteral("archive"), QStringLiteral("cf"), QStringLiteral("count")};
        optional = {QStringLiteral("authorise")};
        server = true;
    } else if (command == QLatin1String("modify")) {
        handler = &Cli::modify;
        required = {QStringLiteral("archive"), QStringLiteral("owner"), QStringLiteral("colleague"),
                    QStringLiteral("patients")};
        server = true;
    } else if (command == QLatin1String("prepare-empty")) {
        handler = &Cli::prepareEmpty;
        required = {QStringLiteral("archive"), QStringLiteral("cf"), QStringLiteral("password")};
    } else if (command == QLatin1String("add-archive")) {
        handler = &Cli::addArchive;
        required = {QStringLiteral("list"), QStringLiteral("file"), QStringLiteral("description")};
    } else {
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    }
    if (server) {
        optional << QStringLiteral("host") << QStringLiteral("port") << QStringLiteral("user")
                 << QStringLiteral("socket");
    }
    for (const QString &name : required + optional) {
        m_parser.addOption(Option(name, QString(), QStringLiteral("value")));
    }

    QStringList rest = arguments.mid(2);
    rest.prepend(arguments.at(0));
    if (!m_parser.parse(rest)) {
        return usageError(m_parser.errorText());
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        m_out << usageText();
        return ExitOk;
    }
    if (!m_parser.positionalArguments().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(m_parser.positionalArguments().first()));
    }
    for (const QString &name : std::as_const(required)) {
        if (!m_parser.isSet(name) || m_parser.value(name).trimmed().isEmpty()) {
            return usageError(QStringLiteral("%1 needs --%2").arg(command, name));
        }
    }
    if (server) {
        if (m_parser.isSet(QStringLiteral("host"))) {
            m_login.host = value("host");
            if (m_login.host.isEmpty()) {
                return usageError(QStringLiteral("--host is empty"));
            }
        }
        if (m_parser.isSet(QStringLiteral("port"))) {
            int port = 0;
            if (!positive("port", &port) || port > 65535) {
                return usageError(QStringLiteral("--port needs a port number, not \"%1\"").arg(value("port")));
            }
            m_login.port = port;
        }
        if (m_parser.isSet(QStringLiteral("user"))) {
            m_login.user = value("user");
        }
        m_login.socket = value("socket");
    }
    return (this->*handler)();
}

int Cli::connect(DemoServer &server)
{
    m_login.password = qEnvironmentVariable("LANVERA_ADMIN_PASSWORD");
    if (!server.connect(m_login)) {
        return failed(server);
    }
    return ExitOk;
}

int Cli::activeDoctor(DemoServer &server, const QString &cf, DemoDoctor *doctor)
{
    std::optional<DemoDoctor> found;
    if (!server.doctor(cf, &found)) {
        return failed(server);
    }
    if (!found) {
        return failed(
            QStringLiteral("no doctor with the fiscal code %1 on the server (lanvera-server add-doctor)").arg(cf));
    }
    if (found->sospeso) {
        return failed(QStringLiteral("the doctor %1 %2 is suspended").arg(cf, found->nomeCompleto()));
    }
    *doctor = *found;
    return ExitOk;
}

int Cli::publish()
{
    QString cf;
    int count = 0;
    if (!fiscalCode("cf", &cf) || !positive("count", &count)) {
        return usageError(m_badArgument);
    }
    const QString authorise = value("authorise");
    static const QRegularExpression zeroUno(QStringLiteral("^[01]+$"));
    if (m_parser.isSet(QStringLiteral("authorise")) && !zeroUno.match(authorise).hasMatch()) {
        return usageError(QStringLiteral("--authorise needs a text of \"0\" and \"1\", not \"%1\"").arg(authorise));
    }

    // The archive first: nothing reaches the server when it is not the doctor's.
    const QString file = value("archive");
    QString owner;
    QString password;
    QList<clsPaziente> patients;
    {
        dao::Database archivio;
        if (!archivio.apri(file)) {
            return failed(QStringLiteral("cannot open the archive %1: %2").arg(file, archivio.ultimoErrore().testo()));
        }
        QString error;
        if (!ArchiveOwner(archivio, &owner, &error) ||
            !LocalPatients(archivio, QDate::currentDate(), &patients, &error)) {
            return failed(error);
        }
        if (owner != cf) {
            return failed(owner.isEmpty()
                              ? QStringLiteral("the archive %1 has no doctor (tblMedico, IDRete 1)").arg(file)
                              : QStringLiteral("the archive %1 belongs to %2, not to %3").arg(file, owner, cf));
        }
        if (!LeggiItem(archivio, QStringLiteral("QUOR.PasswordMedicoSync"), password)) {
            return failed(QStringLiteral("cannot read the archive's items: ") + archivio.ultimoErrore().testo());
        }
        if (password.isEmpty()) {
            return failed(
                QStringLiteral("the archive %1 has no sync password (item QUOR.PasswordMedicoSync)").arg(file));
        }
    }
    QList<clsPaziente> chosen;
    for (const clsPaziente &p : std::as_const(patients)) {
        if (chosen.size() < count && IsPublishable(p)) {
            chosen << p;
        }
    }

    DemoServer server;
    DemoDoctor doctor;
    if (const int code = connect(server); code != ExitOk) {
        return code;
    }
    if (const int code = activeDoctor(server, cf, &doctor); code != ExitOk) {
        return code;
    }
    if (doctor.password.isEmpty()) {
        if (!server.setPassword(doctor.id, password)) {
            return failed(server);
        }
        m_out << "Server password of " << doctor.nomeCompleto() << " set from the archive.\n";
    } else if (doctor.password != password) {
        return failed(QStringLiteral("the server password of %1 differs from the archive's: Sync would refuse the "
                                     "login")
                          .arg(doctor.nomeCompleto()));
    }

    QString autorizzazioni = authorise;
    if (!m_parser.isSet(QStringLiteral("authorise"))) {
        QList<DemoDoctor> group;
        if (!server.groupDoctors(doctor.gruppo, &group)) {
            return failed(server);
        }
        QList<int> positions;
        for (const DemoDoctor &d : std::as_const(group)) {
            if (d.cf != doctor.cf) {
                positions << d.progressivo;
            }
        }
        autorizzazioni = AuthorisationText(positions);
    }

    m_out << "Publishing " << chosen.size() << " patients of " << doctor.nomeCompleto() << " (chart database "
          << doctor.id << ", authorisations \"" << autorizzazioni << "\"):\n";
    int added = 0;
    for (const clsPaziente &p : std::as_const(chosen)) {
        bool nuovo = false;
        if (!server.publish(p, doctor, autorizzazioni, &nuovo)) {
            return failed(server);
        }
        added += nuovo ? 1 : 0;
        m_out << "  " << (nuovo ? "published   " : "re-authorised ") << p.Cognome << ' ' << p.Nome << '\n';
    }
    m_out << "Published " << added << " new patients, " << chosen.size() - added << " already on the server.\n";
    if (chosen.size() < count) {
        m_out << "The archive has only " << chosen.size() << " active patients.\n";
    }
    m_out.flush();
    return chosen.isEmpty() ? failed(QStringLiteral("the archive %1 has no active patient").arg(file)) : ExitOk;
}

int Cli::modify()
{
    QString ownerCf;
    QString colleagueCf;
    int count = 0;
    if (!fiscalCode("owner", &ownerCf) || !fiscalCode("colleague", &colleagueCf) || !positive("patients", &count)) {
        return usageError(m_badArgument);
    }
    if (ownerCf == colleagueCf) {
        return usageError(QStringLiteral("--owner and --colleague are the same doctor"));
    }

    const QString file = value("archive");
    QHash<QString, clsPaziente> local;
    {
        dao::Database archivio;
        if (!archivio.apri(file, true)) {
            return failed(QStringLiteral("cannot open the archive %1: %2").arg(file, archivio.ultimoErrore().testo()));
        }
        QString owner;
        QString error;
        QList<clsPaziente> patients;
        if (!ArchiveOwner(archivio, &owner, &error) ||
            !LocalPatients(archivio, QDate::currentDate(), &patients, &error)) {
            return failed(error);
        }
        if (owner != ownerCf) {
            return failed(QStringLiteral("the archive %1 belongs to %2, not to %3")
                              .arg(file, owner.isEmpty() ? QStringLiteral("nobody") : owner, ownerCf));
        }
        for (const clsPaziente &p : std::as_const(patients)) {
            local.insert(p.KeyPaziente, p);
        }
    }

    DemoServer server;
    DemoDoctor owner;
    DemoDoctor colleague;
    if (const int code = connect(server); code != ExitOk) {
        return code;
    }
    if (const int code = activeDoctor(server, ownerCf, &owner); code != ExitOk) {
        return code;
    }
    if (const int code = activeDoctor(server, colleagueCf, &colleague); code != ExitOk) {
        return code;
    }
    if (colleague.gruppo != owner.gruppo) {
        return failed(QStringLiteral("%1 is not in the group of %2: he cannot see the patients")
                          .arg(colleague.nomeCompleto(), owner.nomeCompleto()));
    }
    QList<clsPaziente> published;
    if (!server.published(ownerCf, &published)) {
        return failed(server);
    }

    ColleagueCopy copy;
    QString error;
    if (!copy.open(file, CartellaProgramma() + QStringLiteral("/Cartella.sql"), &error)) {
        return failed(error);
    }
    const QDateTime adesso = QDateTime::currentDateTime();
    const QString note = QStringLiteral("Visto dal collega %1 il %2.")
                             .arg(colleague.nomeCompleto(), adesso.toString(QStringLiteral("dd/MM/yyyy")));
    m_out << "Modifications of " << colleague.nomeCompleto() << " for patients of " << owner.nomeCompleto() << ":\n";
    int done = 0;
    int unauthorised = 0;
    for (const clsPaziente &row : std::as_const(published)) {
        if (done >= count) {
            break;
        }
        if (!Authorises(row.Autorizzazioni, colleague.progressivo)) {
            ++unauthorised;
            continue;
        }
        const auto it = local.constFind(row.KeyPaziente);
        if (it == local.cend() || it->Revocato != 0) {
            continue;
        }
        ColleagueCopy::ChangedRow changed;
        QString package;
        if (!copy.changeDiary(it->ID, note, adesso, &changed, &error)) {
            m_out << "  skipped " << it->Cognome << ' ' << it->Nome << ": " << error << '\n';
            continue;
        }
        if (!copy.package(it->ID, &package, &error)) {
            return failed(QStringLiteral("packing the modifications of %1 %2: %3").arg(it->Cognome, it->Nome, error));
        }
        int id = 0;
        if (!server.addModifications(row.KeyPaziente, colleague.cf, owner.cf, package, &id)) {
            return failed(server);
        }
        ++done;
        m_out << "  " << it->Cognome << ' ' << it->Nome << ": diary entry of " << changed.data << ' ' << changed.guid
              << ", package of " << (package.size() + 1023) / 1024 << " KiB (tblmodifiche ID " << id << ")\n";
    }
    m_out << "Queued " << done << " modifications packages.\n";
    if (done < count) {
        m_out << "Only " << done << " of the " << published.size() << " published patients could be changed ("
              << unauthorised << " not authorised for " << colleague.nomeCompleto() << ").\n";
    }
    m_out.flush();
    return done == 0 ? failed(QStringLiteral("no published patient of %1 could be changed").arg(owner.nomeCompleto()))
                     : ExitOk;
}

int Cli::prepareEmpty()
{
    QString cf;
    if (!fiscalCode("cf", &cf)) {
        return usageError(m_badArgument);
    }
    const QString file = value("archive");
    QString error;
    if (!PrepareSecondInstallation(file, cf, m_parser.value(QStringLiteral("password")), &error)) {
        return failed(error);
    }
    m_out << "Prepared " << file << " for " << cf << ": owner row and sync password.\n";
    return ExitOk;
}

int Cli::addArchive()
{
    const QFileInfo file(value("file"));
    if (!file.isFile()) {
        return failed(QStringLiteral("no archive at %1").arg(file.filePath()));
    }
    const QString list = value("list");
    bool added = false;
    QString error;
    if (!AddToArchiveList(list, file.absoluteFilePath(), value("description"), &added, &error)) {
        return failed(error);
    }
    m_out << (added ? "Listed " : "Already listed ") << file.absoluteFilePath() << " in " << list << ".\n";
    return ExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lanvera-demo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LANVERA_VERSION));
    Cli cli;
    return cli.run(QCoreApplication::arguments());
}
