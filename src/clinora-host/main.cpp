#include "Finestre.h"
#include "Host.h"
#include "Script.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QMessageBox>
#include <QTextStream>

#include <cstdio>

namespace {

bool senzaSchermo()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

// Qt's own "-plugin" option would take our "--plugin FILE": it is taken out before Qt sees it.
QString TogliPlugin(int &argc, char **argv)
{
    QString valore;
    int scritti = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argomento(argv[i]);
        if (argomento == "--plugin" && i + 1 < argc) {
            valore = QString::fromLocal8Bit(argv[++i]);
        } else if (argomento.startsWith("--plugin=")) {
            valore = QString::fromLocal8Bit(argomento.mid(9));
        } else {
            argv[scritti++] = argv[i];
        }
    }
    argc = scritti;
    argv[argc] = nullptr;
    return valore;
}

int main(int argc, char **argv)
{
    if (senzaSchermo()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QString filePlugin = TogliPlugin(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("clinora-host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Clinora, the stand-in host of the Lanvera plug-in.\n"
                                                    "--plugin FILE: the plug-in library to load."));
    parser.addHelpOption();
    const QCommandLineOption archivio(QStringLiteral("archivio"), QStringLiteral("The archive to open."),
                                      QStringLiteral("PATH"));
    const QCommandLineOption versione(QStringLiteral("versione"), QStringLiteral("Host version (05.01.0000)."),
                                      QStringLiteral("V"), QStringLiteral("05.01.0000"));
    const QCommandLineOption script(QStringLiteral("script"), QStringLiteral("Run the lines of FILE (- for stdin)."),
                                    QStringLiteral("FILE"));
    parser.addOptions({archivio, versione, script});
    parser.process(app);

    Host::Opzioni opzioni;
    opzioni.archivio = parser.value(archivio);
    opzioni.plugin = filePlugin;
    opzioni.versione = parser.value(versione);
    Host host(opzioni);
    QTextStream uscita(stdout);

    const bool conScript = parser.isSet(script);
    if (!host.caricaPlugin()) {
        // The host runs on without the plug-in, as Clinora does.
        if (conScript) {
            uscita << "ERRORE " << host.errore() << '\n';
            uscita.flush();
        } else {
            QMessageBox::warning(nullptr, QStringLiteral("Clinora"), host.errore());
        }
    }
    if (!opzioni.archivio.isEmpty() && !host.apri(opzioni.archivio)) {
        std::fprintf(stderr, "%s\n", qPrintable(host.errore()));
        return 2;
    }
    if (conScript) {
        QStringList righe;
        QFile file;
        const QString nome = parser.value(script);
        const bool aperto = nome == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                       : (file.setFileName(nome), file.open(QIODevice::ReadOnly));
        if (!aperto) {
            std::fprintf(stderr, "Impossibile leggere lo script %s\n", qPrintable(nome));
            return 2;
        }
        righe = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        return Script(host, uscita).esegui(righe);
    }
    host.finestra().show();
    return QApplication::exec();
}
