// clinora-archive: makes Clinora archives for tests, the demo and the benchmarks.
//   clinora-archive create PATH
//   clinora-archive generate PATH --cf CF --patients N [--seed S] [--sole] [--today YYYY-MM-DD] ...
// Exit code 0 on success, 2 with a message on standard error otherwise.

#include "modArchivioHost.h"
#include "modGeneratore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTextStream>

#include <optional>

using namespace Qt::StringLiterals;
using namespace lanvera::host;

namespace {

constexpr int kErrore = 2;

int errore(const QString &testo)
{
    QTextStream(stderr) << "clinora-archive: " << testo << '\n';
    return kErrore;
}

std::optional<double> quota(const QCommandLineParser &parser, const QString &nome, double predefinita, QString *motivo)
{
    if (!parser.isSet(nome)) {
        return predefinita;
    }
    bool ok = false;
    const double valore = parser.value(nome).toDouble(&ok);
    if (!ok) {
        *motivo = u"--%1 expects a number, got \"%2\""_s.arg(nome, parser.value(nome));
        return std::nullopt;
    }
    return valore;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"clinora-archive"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Creates Clinora archives (SQLite files named .mdb): the empty template with \"create\", "
        "or with \"generate\" a realistic archive of one doctor, reproducible from its seed. "
        "An existing file is never overwritten."_s);
    const QCommandLineOption aiuto = parser.addHelpOption();
    parser.addPositionalArgument(u"command"_s, u"create | generate"_s);
    parser.addPositionalArgument(u"path"_s, u"the archive file to create"_s);
    const QList<QCommandLineOption> opzioniGenerate = {
        {u"cf"_s, u"Fiscal code of the owning doctor (16 characters)."_s, u"CF"_s},
        {u"patients"_s, u"Number of patients."_s, u"N"_s},
        {u"seed"_s, u"Seed of the content (default 1)."_s, u"S"_s},
        {u"today"_s, u"Reference day of the content (default: the current date)."_s, u"YYYY-MM-DD"_s},
        {u"sole"_s, u"Archive with the SOLE extension."_s},
        {u"revoked"_s, u"Share of revoked patients (default 0.08)."_s, u"F"_s},
        {u"deaths"_s, u"Share of the revoked that died (default 0.25)."_s, u"F"_s},
        {u"restarted"_s, u"Share of the others whose care ended and began again (default 0.02)."_s, u"F"_s},
        {u"proprio"_s, u"Share of private patients, Proprio true (default 0.03)."_s, u"F"_s},
        {u"colleague"_s, u"Share downloaded from a colleague, UIDCMedico filled (default 0.02)."_s, u"F"_s},
        {u"to-check"_s, u"Share with tblAnagrafica2.TagStato 1 (default 0.05)."_s, u"F"_s},
        {u"aligned"_s, u"With --sole: share aligned with the regional registry (default 0.9)."_s, u"F"_s},
        {u"rows"_s, u"Scale of the chart rows per patient, 0 to 20 (default 1)."_s, u"F"_s},
        {u"password"_s, u"Stored server password for the items QUOR.PasswordMedicoSync/QUOR.PasswordMedico."_s,
         u"TEXT"_s},
        {u"no-quor"_s, u"Leave out the network tables (an archive the plug-in never opened)."_s},
    };
    parser.addOptions(opzioniGenerate);

    if (!parser.parse(app.arguments())) {
        return errore(parser.errorText());
    }
    if (parser.isSet(aiuto) || parser.isSet(u"help-all"_s)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    const QStringList argomenti = parser.positionalArguments();
    if (argomenti.size() != 2) {
        return errore(u"expected a command and a path; see --help"_s);
    }
    const QString comando = argomenti.at(0);
    const QString percorso = argomenti.at(1);

    if (comando == u"create"_s) {
        for (const QCommandLineOption &opzione : opzioniGenerate) {
            if (parser.isSet(opzione)) {
                return errore(u"--%1 is an option of \"generate\""_s.arg(opzione.names().constFirst()));
            }
        }
        QString motivo;
        if (!CreaArchivioVuoto(percorso, &motivo)) {
            return errore(motivo);
        }
        QTextStream(stdout) << "Created " << percorso << '\n';
        return 0;
    }
    if (comando != u"generate"_s) {
        return errore(u"unknown command \"%1\"; expected create or generate"_s.arg(comando));
    }

    OpzioniGeneratore opzioni;
    opzioni.cf = parser.value(u"cf"_s).trimmed().toUpper();
    static const QRegularExpression kFormaCF(u"^[A-Z0-9]{16}$"_s);
    if (!kFormaCF.match(opzioni.cf).hasMatch()) {
        return errore(u"--cf needs the doctor's 16-character fiscal code"_s);
    }
    bool ok = false;
    opzioni.pazienti = parser.value(u"patients"_s).toInt(&ok);
    if (!ok || opzioni.pazienti < 0) {
        return errore(u"--patients needs a number of patients, 0 or more"_s);
    }
    if (parser.isSet(u"seed"_s)) {
        opzioni.seme = parser.value(u"seed"_s).toUInt(&ok);
        if (!ok) {
            return errore(u"--seed needs a number between 0 and 4294967295"_s);
        }
    }
    if (parser.isSet(u"today"_s)) {
        opzioni.oggi = QDate::fromString(parser.value(u"today"_s), Qt::ISODate);
        if (!opzioni.oggi.isValid()) {
            return errore(u"--today needs a date written YYYY-MM-DD"_s);
        }
    }
    QString motivo;
    const auto leggi = [&](const QString &nome, double predefinita, double &campo) {
        const std::optional<double> valore = quota(parser, nome, predefinita, &motivo);
        if (valore) {
            campo = *valore;
        }
        return valore.has_value();
    };
    if (!leggi(u"revoked"_s, opzioni.quotaRevocati, opzioni.quotaRevocati) ||
        !leggi(u"deaths"_s, opzioni.quotaDecessi, opzioni.quotaDecessi) ||
        !leggi(u"restarted"_s, opzioni.quotaRiattivati, opzioni.quotaRiattivati) ||
        !leggi(u"proprio"_s, opzioni.quotaProprio, opzioni.quotaProprio) ||
        !leggi(u"colleague"_s, opzioni.quotaDaCollega, opzioni.quotaDaCollega) ||
        !leggi(u"to-check"_s, opzioni.quotaDaVerificare, opzioni.quotaDaVerificare) ||
        !leggi(u"aligned"_s, opzioni.quotaAllineati, opzioni.quotaAllineati) ||
        !leggi(u"rows"_s, opzioni.righe, opzioni.righe)) {
        return errore(motivo);
    }
    opzioni.sole = parser.isSet(u"sole"_s);
    opzioni.strutturaQuor = !parser.isSet(u"no-quor"_s);
    opzioni.passwordSync = parser.value(u"password"_s);
    motivo = VerificaOpzioni(opzioni);
    if (!motivo.isEmpty()) {
        return errore(motivo);
    }

    QElapsedTimer tempo;
    tempo.start();
    RiepilogoGeneratore riepilogo;
    if (!GeneraArchivio(percorso, opzioni, &motivo, &riepilogo)) {
        return errore(motivo);
    }
    QTextStream(stdout) << "Generated " << percorso << ": " << riepilogo.pazienti << " patients, " << riepilogo.righe
                        << " rows in " << QString::number(tempo.elapsed() / 1000.0, 'f', 2) << " s\n";
    return 0;
}
