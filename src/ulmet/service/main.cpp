// ulmet-service: a stand-in Ulmet service that answers for doctors whose archives it is given.

#include "ServerHttp.h"
#include "ServizioUlmet.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

enum CodiceUscita
{
    UscitaOk = 0,
    UscitaAscolto = 1, // the port cannot be opened
    UscitaUso = 2,     // bad arguments
};

QString TestoUso()
{
    return u"Usage: ulmet-service --port P --medico CF=ARCHIVIO [--medico CF=ARCHIVIO ...]\n"
           "                     [--password CF=STORED ...] [--ricevuti DIR] [--log FILE]\n"
           "\n"
           "A stand-in for the Ulmet service: answers \"cercapaziente\", \"caricapaziente\" and\n"
           "\"salvapaziente\" requests (HTTP POST of the request XML to http://HOST:P) from the host\n"
           "archives of the doctors it is given. One request at a time.\n"
           "\n"
           "  --port P               TCP port to listen on; 0 picks a free one (default 12345).\n"
           "                         Once listening, \"in ascolto sulla porta N\" is printed.\n"
           "  --medico CF=ARCHIVIO   answer for the doctor with fiscal code CF from the host\n"
           "                         archive ARCHIVIO (repeatable, at least one)\n"
           "  --password CF=STORED   requests of doctor CF must carry STORED as pwrichiedente;\n"
           "                         a doctor without this option is not checked (repeatable)\n"
           "  --ricevuti DIR         where each chart received by salvapaziente is kept\n"
           "                         (default: the folder \"ricevuti\" beside the first archive)\n"
           "  --log FILE             append one line per request here (default: standard output)\n"
           "\n"
           "Error codes of a KO answer (header/errorecodice):\n"
           "  E10  malformed request: not XML, or no header\n"
           "  E11  unknown method\n"
           "  E20  unknown destination doctor (cfdestinazione)\n"
           "  E21  wrong password for the requesting doctor (cfrichiedente)\n"
           "  E30  unknown chart (idcartella)\n"
           "  E31  salvapaziente without a readable chart document\n"
           "  E50  the archive cannot be read or written\n"
           "\n"
           "Exit status: 0 stopped, 1 cannot listen, 2 bad arguments.\n"_s;
}

// "CF=VALUE" -> (upper-case CF, VALUE); false when the form is wrong.
bool Coppia(const QString &testo, QString &cf, QString &valore)
{
    const qsizetype uguale = testo.indexOf(u'=');
    if (uguale <= 0) {
        return false;
    }
    cf = testo.left(uguale).trimmed().toUpper();
    valore = testo.mid(uguale + 1);
    return !cf.isEmpty();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto errore = [&](const QString &messaggio) {
        err << "ulmet-service: " << messaggio << "\n\n" << TestoUso();
        err.flush();
        return int(UscitaUso);
    };

    QCommandLineParser parser;
    const QCommandLineOption porta(u"port"_s, {}, u"P"_s, u"12345"_s);
    const QCommandLineOption medico(u"medico"_s, {}, u"CF=ARCHIVIO"_s);
    const QCommandLineOption password(u"password"_s, {}, u"CF=STORED"_s);
    const QCommandLineOption ricevuti(u"ricevuti"_s, {}, u"DIR"_s);
    const QCommandLineOption log(u"log"_s, {}, u"FILE"_s);
    const QCommandLineOption aiuto(QStringList{u"help"_s, u"h"_s});
    parser.addOptions({porta, medico, password, ricevuti, log, aiuto});
    if (!parser.parse(app.arguments())) {
        return errore(parser.errorText());
    }
    if (parser.isSet(aiuto)) {
        out << TestoUso();
        return UscitaOk;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return errore(u"unexpected argument: "_s + parser.positionalArguments().constFirst());
    }

    bool numero = false;
    const uint numeroPorta = parser.value(porta).toUInt(&numero);
    if (!numero || numeroPorta > 65535) {
        return errore(u"not a port: "_s + parser.value(porta));
    }

    QHash<QString, QString> archivi;
    QString primoArchivio;
    for (const QString &voce : parser.values(medico)) {
        QString cf;
        QString archivio;
        if (!Coppia(voce, cf, archivio)) {
            return errore(u"--medico wants CF=ARCHIVIO, not "_s + voce);
        }
        if (!QFileInfo(archivio).isFile()) {
            return errore(u"no archive at "_s + archivio);
        }
        archivi.insert(cf, QFileInfo(archivio).absoluteFilePath());
        if (primoArchivio.isEmpty()) {
            primoArchivio = archivio;
        }
    }
    if (archivi.isEmpty()) {
        return errore(u"at least one --medico is needed"_s);
    }
    QHash<QString, QString> passwords;
    for (const QString &voce : parser.values(password)) {
        QString cf;
        QString stored;
        if (!Coppia(voce, cf, stored)) {
            return errore(u"--password wants CF=STORED"_s);
        }
        passwords.insert(cf, stored);
    }

    QFile fileLog(parser.value(log));
    if (parser.isSet(log) && !fileLog.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        return errore(u"cannot write the log "_s + fileLog.fileName() + u": "_s + fileLog.errorString());
    }
    QTextStream registro(&fileLog);

    ServizioUlmet servizio;
    servizio.ImpostaMedici(archivi);
    servizio.ImpostaPassword(passwords);
    servizio.ImpostaCartellaRicevuti(parser.isSet(ricevuti) ? QFileInfo(parser.value(ricevuti)).absoluteFilePath()
                                                            : QString());
    servizio.ImpostaRegistro([&](const QString &riga) {
        if (fileLog.isOpen()) {
            registro << riga << '\n';
            registro.flush();
        } else {
            out << riga << '\n';
            out.flush();
        }
    });

    ServerHttp server([&servizio](const QByteArray &corpo) { return servizio.Rispondi(corpo); });
    const quint16 ascolto = server.ascolta(quint16(numeroPorta));
    if (ascolto == 0) {
        err << "ulmet-service: cannot listen on port " << numeroPorta << ": " << server.errore() << '\n';
        return UscitaAscolto;
    }
    out << "in ascolto sulla porta " << ascolto << '\n';
    out.flush();
    return app.exec();
}
