// lanvera-demo: what the administration program and a second installation would set up for the
// demo and the tests: the doctor's second installation's archive and Sync's list of archives.

#include "DemoArchive.h"
#include "modCartelle.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

using namespace lanvera;
using namespace lanvera::demo;

namespace {

enum ExitCode
{
    ExitOk = 0,
    ExitFailed = 1,
    ExitUsage = 2,
};

QString usageText()
{
    return QStringLiteral(
        "Usage: lanvera-demo COMMAND [options]\n"
        "\n"
        "Sets up a doctor's computers for the demo.\n"
        "\n"
        "Commands:\n"
        "  prepare-empty              make an empty archive (clinora-archive create) the doctor's\n"
        "                             second installation: owner row and sync password item\n"
        "      --archive PATH --cf CF --password TEXT\n"
        "  add-archive                list an archive for Sync in its list (tblFile of Quor.mdb),\n"
        "                             creating the list when it is missing\n"
        "      --list PATH --file PATH --description TEXT\n"
        "\n"
        "Exit status: 0 done, 1 refused or failed, 2 bad arguments.\n");
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

    QString value(const char *option) const { return m_parser.value(QString::fromLatin1(option)).trimmed(); }
    bool fiscalCode(const char *option, QString *cf);

    int prepareEmpty();
    int addArchive();

    QTextStream m_out;
    QTextStream m_err;
    QCommandLineParser m_parser;
    QString m_badArgument;
};

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
    int (Cli::*handler)() = nullptr;
    if (command == QLatin1String("prepare-empty")) {
        handler = &Cli::prepareEmpty;
        required = {QStringLiteral("archive"), QStringLiteral("cf"), QStringLiteral("password")};
    } else if (command == QLatin1String("add-archive")) {
        handler = &Cli::addArchive;
        required = {QStringLiteral("list"), QStringLiteral("file"), QStringLiteral("description")};
    } else {
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    }
    for (const QString &name : std::as_const(required)) {
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
    return (this->*handler)();
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
