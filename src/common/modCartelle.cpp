#include "modCartelle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lanvera {

namespace {

QString s_cartellaProgramma;
QString s_dataFolder;
QString s_userFolder;

QString senzaSeparatoreFinale(QString cartella)
{
    while (cartella.size() > 1 && cartella.endsWith(QLatin1Char('/'))) {
        cartella.chop(1);
    }
    return cartella;
}

QString preparaSotto(const QString &base, const QString &chiave)
{
    if (base.isEmpty()) {
        return CartellaProgramma();
    }
    QDir dir(base);
    for (const QString &nome : {QStringLiteral("Dorvane"), chiave}) {
        if (!dir.exists(nome)) {
            dir.mkdir(nome);
        }
        dir.cd(nome);
    }
    return senzaSeparatoreFinale(dir.path());
}

} // namespace

QString CartellaProgramma()
{
    if (!s_cartellaProgramma.isEmpty()) {
        return s_cartellaProgramma;
    }
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

void ImpostaCartellaProgramma(const QString &cartella)
{
    s_cartellaProgramma = senzaSeparatoreFinale(cartella);
}

QString CartellaSpeciale(int numero)
{
    QStandardPaths::StandardLocation dove;
    switch (numero) {
    case CartellaDatiComuni:
        dove = QStandardPaths::GenericDataLocation;
        break;
    case CartellaDatiUtente:
        dove = QStandardPaths::GenericConfigLocation;
        break;
    default:
        return {};
    }
    const QString cartella = QStandardPaths::writableLocation(dove);
    if (cartella.isEmpty()) {
        return {};
    }
    QDir().mkpath(cartella);
    return senzaSeparatoreFinale(cartella);
}

QString DataFolder()
{
    return s_dataFolder;
}

QString UserFolder()
{
    return s_userFolder;
}

void PreparaCartelle(QString &chiave)
{
    if (chiave.isEmpty()) {
        chiave = QCoreApplication::applicationName();
    }
    s_dataFolder = preparaSotto(CartellaSpeciale(CartellaDatiComuni), chiave);
    s_userFolder = preparaSotto(CartellaSpeciale(CartellaDatiUtente), chiave);
}

QString CartellaTemp()
{
    return senzaSeparatoreFinale(QDir::tempPath());
}

bool EsisteFile(const QString &percorso)
{
    return !percorso.isEmpty() && QFileInfo(percorso).isFile();
}

bool PreparaCartellaPrivata(const QString &cartella, QString *errore)
{
    auto fallisci = [&](const QString &testo) {
        if (errore) {
            *errore = testo;
        }
        return false;
    };
#ifdef Q_OS_UNIX
    const QByteArray nome = QFile::encodeName(cartella);
    if (::mkdir(nome.constData(), 0700) != 0 && errno != EEXIST) {
        return fallisci(QStringLiteral("Errore %1 %2").arg(errno).arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat st
    {};
    if (::lstat(nome.constData(), &st) != 0) {
        return fallisci(QStringLiteral("Errore %1 %2").arg(errno).arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!S_ISDIR(st.st_mode)) {
        return fallisci(QStringLiteral("%1 non è una cartella").arg(cartella));
    }
    if (st.st_uid != ::geteuid()) {
        return fallisci(QStringLiteral("La cartella %1 appartiene a un altro utente").arg(cartella));
    }
    if ((st.st_mode & 0077) != 0 && ::chmod(nome.constData(), 0700) != 0) {
        return fallisci(QStringLiteral("Errore %1 %2").arg(errno).arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    return true;
#else
    if (!QDir().mkpath(cartella)) {
        return fallisci(QStringLiteral("Impossibile creare la cartella %1").arg(cartella));
    }
    return true;
#endif
}

void CancellaFile(const QString &percorso)
{
    if (!percorso.isEmpty() && EsisteFile(percorso)) {
        QFile::remove(percorso);
    }
}

} // namespace lanvera
