// lanvera-server: the network operator's tool for the group's server.

#include "PasswordPrompt.h"
#include "ServerAdmin.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <optional>

using namespace lanvera;

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
    return QStringLiteral("Usage: lanvera-server COMMAND [options]\n"
                          "\n"
                          "Sets up and looks after the group's MariaDB server.\n"
                          "\n"
                          "Commands:\n"
                          "  init                       create the database `quor`, its tables and the programs'\n"
                          "                             account with its rights; repeating it changes nothing\n"
                          "  add-doctor                 register a doctor:\n"
                          "      --cf CF                  fiscal code, 16 letters and digits\n"
                          "      --cognome COGNOME        surname\n"
                          "      --nome NOME              first name\n"
                          "      --gruppo G               group, a positive number\n"
                          "      --progressivo P          position in the group, a positive number\n"
                          "      --ulmet TEXT             Ulmet access text (optional)\n"
                          "      --codice-regionale X     regional doctor code (optional)\n"
                          "      --asl Y                  full health-authority code (optional)\n"
                          "  list-doctors [--gruppo G]  show the doctors of one group, or of all groups\n"
                          "  suspend-doctor --cf CF     mark a doctor as suspended\n"
                          "  reset-password --cf CF     empty a doctor's password: the plug-in asks him for a new\n"
                          "                             one at his next access\n"
                          "\n"
                          "Connection options, for every command:\n"
                          "  --host HOST                server address (default 127.0.0.1)\n"
                          "  --port PORT                server port (default 3306)\n"
                          "  --user USER                administrator account (default root)\n"
                          "  --socket PATH              connect through this local socket instead of host and port\n"
                          "\n"
                          "The administrator's password comes from the environment variable LANVERA_ADMIN_PASSWORD;\n"
                          "when that is not set and standard input is a terminal, it is asked for without echo.\n"
                          "\n"
                          "Exit status: 0 done, 1 refused or failed, 2 bad arguments, 3 server unreachable,\n"
                          "4 administrator login refused.\n");
}

class Cli
{
public:
    Cli() : m_out(stdout), m_err(stderr) {}

    int run(const QStringList &arguments);

private:
    int usageError(const QString &message)
    {
        m_err << "lanvera-server: " << message << "\n\n" << usageText();
        m_err.flush();
        return ExitUsage;
    }

    int failed(const ServerAdmin &admin)
    {
        m_err << "lanvera-server: " << admin.lastError() << '\n';
        m_err.flush();
        switch (admin.lastFailure()) {
        case ServerAdmin::Failure::Unreachable:
            return ExitUnreachable;
        case ServerAdmin::Failure::LoginRefused:
            return ExitLoginRefused;
        default:
            return ExitFailed;
        }
    }

    bool positive(const QString &option, std::optional<int> *value);
    int connect(ServerAdmin &admin);

    int init();
    int addDoctor();
    int listDoctors();
    int suspendDoctor();
    int resetPassword();
    // --cf's doctor gets the change; `already` or `done` (with %1 for the code) says what happened.
    int changeDoctor(bool (ServerAdmin::*change)(const QString &, bool *), const QString &already, const QString &done);

    QTextStream m_out;
    QTextStream m_err;
    QCommandLineParser m_parser;
    AdminLogin m_login;
    QString m_badArgument;
};

// Reads a whole positive number from `option`; leaves `value` empty when the option is not given.
bool Cli::positive(const QString &option, std::optional<int> *value)
{
    if (!m_parser.isSet(option)) {
        return true;
    }
    const QString text = m_parser.value(option).trimmed();
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number <= 0) {
        m_badArgument = QStringLiteral("--%1 needs a positive whole number, not \"%2\"").arg(option, text);
        return false;
    }
    *value = number;
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
    if (command == QLatin1String("--version")) {
        m_out << "lanvera-server " << QCoreApplication::applicationVersion() << '\n';
        return ExitOk;
    }

    using Option = QCommandLineOption;
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions({
        Option(QStringLiteral("host"), QString(), QStringLiteral("host")),
        Option(QStringLiteral("port"), QString(), QStringLiteral("port")),
        Option(QStringLiteral("user"), QString(), QStringLiteral("user")),
        Option(QStringLiteral("socket"), QString(), QStringLiteral("path")),
        Option(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
    });

    int (Cli::*handler)() = nullptr;
    QStringList required;
    if (command == QLatin1String("init")) {
        handler = &Cli::init;
    } else if (command == QLatin1String("add-doctor")) {
        handler = &Cli::addDoctor;
        required = {QStringLiteral("cf"), QStringLiteral("cognome"), QStringLiteral("nome"), QStringLiteral("gruppo"),
                    QStringLiteral("progressivo")};
        for (const QString &name : required) {
            m_parser.addOption(Option(name, QString(), QStringLiteral("value")));
        }
        for (const char *name : {"ulmet", "codice-regionale", "asl"}) {
            m_parser.addOption(Option(QString::fromLatin1(name), QString(), QStringLiteral("value")));
        }
    } else if (command == QLatin1String("list-doctors")) {
        handler = &Cli::listDoctors;
        m_parser.addOption(Option(QStringLiteral("gruppo"), QString(), QStringLiteral("value")));
    } else if (command == QLatin1String("suspend-doctor")) {
        handler = &Cli::suspendDoctor;
        required = {QStringLiteral("cf")};
        m_parser.addOption(Option(QStringLiteral("cf"), QString(), QStringLiteral("value")));
    } else if (command == QLatin1String("reset-password")) {
        handler = &Cli::resetPassword;
        required = {QStringLiteral("cf")};
        m_parser.addOption(Option(QStringLiteral("cf"), QString(), QStringLiteral("value")));
    } else {
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
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
    for (const QString &name : required) {
        if (!m_parser.isSet(name) || m_parser.value(name).trimmed().isEmpty()) {
            return usageError(QStringLiteral("%1 needs --%2").arg(command, name));
        }
    }

    if (m_parser.isSet(QStringLiteral("host"))) {
        m_login.host = m_parser.value(QStringLiteral("host")).trimmed();
        if (m_login.host.isEmpty()) {
            return usageError(QStringLiteral("--host is empty"));
        }
    }
    std::optional<int> port;
    if (!positive(QStringLiteral("port"), &port) || (port && *port > 65535)) {
        return usageError(port ? QStringLiteral("--port must be at most 65535") : m_badArgument);
    }
    if (port) {
        m_login.port = *port;
    }
    if (m_parser.isSet(QStringLiteral("user"))) {
        m_login.user = m_parser.value(QStringLiteral("user"));
    }
    m_login.socket = m_parser.value(QStringLiteral("socket"));

    return (this->*handler)();
}

int Cli::connect(ServerAdmin &admin)
{
    if (qEnvironmentVariableIsSet("LANVERA_ADMIN_PASSWORD")) {
        m_login.password = qEnvironmentVariable("LANVERA_ADMIN_PASSWORD");
    } else if (standardInputIsTerminal()) {
        const std::optional<QString> typed =
            readPasswordFromTerminal(QStringLiteral("Password of %1 at %2: ").arg(m_login.user, m_login.describe()));
        m_login.password = typed.value_or(QString());
    }
    if (!admin.connect(m_login)) {
        return failed(admin);
    }
    return ExitOk;
}

int Cli::init()
{
    ServerAdmin admin;
    if (const int code = connect(admin); code != ExitOk) {
        return code;
    }
    QStringList report;
    const bool ok = admin.initialise(&report);
    m_out << "Server " << m_login.describe() << ":\n";
    for (const QString &line : report) {
        m_out << "  " << line << '\n';
    }
    m_out.flush();
    if (!ok) {
        return failed(admin);
    }
    m_out << "The server is ready for the programs.\n";
    return ExitOk;
}

int Cli::addDoctor()
{
    NewDoctor doctor;
    doctor.cf = m_parser.value(QStringLiteral("cf"));
    doctor.cognome = m_parser.value(QStringLiteral("cognome"));
    doctor.nome = m_parser.value(QStringLiteral("nome"));
    doctor.ulmet = m_parser.value(QStringLiteral("ulmet"));
    doctor.codiceRegionale = m_parser.value(QStringLiteral("codice-regionale"));
    doctor.aslCompleto = m_parser.value(QStringLiteral("asl"));
    std::optional<int> gruppo;
    std::optional<int> progressivo;
    if (!positive(QStringLiteral("gruppo"), &gruppo) || !positive(QStringLiteral("progressivo"), &progressivo)) {
        return usageError(m_badArgument);
    }
    doctor.gruppo = gruppo.value_or(0);
    doctor.progressivo = progressivo.value_or(0);
    QString problem;
    if (!normaliseNewDoctor(&doctor, &problem)) {
        return usageError(problem);
    }

    ServerAdmin admin;
    if (const int code = connect(admin); code != ExitOk) {
        return code;
    }
    int id = 0;
    if (!admin.addDoctor(doctor, &id)) {
        return failed(admin);
    }
    m_out << QStringLiteral("Added the doctor with ID %1: %2 %3 %4, group %5, progressivo %6\n")
                 .arg(QString::number(id), doctor.cf, doctor.cognome, doctor.nome, QString::number(doctor.gruppo),
                      QString::number(doctor.progressivo));
    return ExitOk;
}

int Cli::listDoctors()
{
    std::optional<int> gruppo;
    if (!positive(QStringLiteral("gruppo"), &gruppo)) {
        return usageError(m_badArgument);
    }
    ServerAdmin admin;
    if (const int code = connect(admin); code != ExitOk) {
        return code;
    }
    QList<Doctor> doctors;
    if (!admin.listDoctors(gruppo, &doctors)) {
        return failed(admin);
    }
    if (doctors.isEmpty()) {
        m_out << (gruppo ? QStringLiteral("No doctors in group %1.\n").arg(*gruppo)
                         : QStringLiteral("No doctors registered.\n"));
    } else {
        m_out << formatDoctorTable(doctors);
    }
    return ExitOk;
}

int Cli::suspendDoctor()
{
    return changeDoctor(&ServerAdmin::suspendDoctor, QStringLiteral("The doctor %1 was already suspended.\n"),
                        QStringLiteral("Suspended the doctor %1.\n"));
}

int Cli::resetPassword()
{
    return changeDoctor(&ServerAdmin::resetPassword,
                        QStringLiteral("The doctor %1 had no password set; the plug-in asks him for one at his "
                                       "next access.\n"),
                        QStringLiteral("Emptied the password of the doctor %1: the plug-in asks him for a new one at "
                                       "his next access.\n"));
}

int Cli::changeDoctor(bool (ServerAdmin::*change)(const QString &, bool *), const QString &already, const QString &done)
{
    const QString cf = normaliseCf(m_parser.value(QStringLiteral("cf")));
    if (!isValidCf(cf)) {
        return usageError(QStringLiteral("the fiscal code \"%1\" is not 16 letters and digits").arg(cf));
    }
    ServerAdmin admin;
    if (const int code = connect(admin); code != ExitOk) {
        return code;
    }
    bool was = false;
    if (!(admin.*change)(cf, &was)) {
        return failed(admin);
    }
    m_out << (was ? already : done).arg(cf);
    return ExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lanvera-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LANVERA_VERSION));
    Cli cli;
    return cli.run(QCoreApplication::arguments());
}
