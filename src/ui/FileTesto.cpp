#include "FileTesto.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lanvera {

namespace {

struct ChiudiFile
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, ChiudiFile>;

// Taken right after the failed call, before anything else can change errno.
bool fallito(ErroreFile &errore)
{
    errore.numero = errno;
    errore.descrizione = QString::fromLocal8Bit(std::strerror(errore.numero));
    return false;
}

} // namespace

bool LeggiTesto(const QString &file, QString &testo, ErroreFile &errore)
{
    File f(std::fopen(QFile::encodeName(file).constData(), "rb"));
    if (!f) {
        return fallito(errore);
    }
    QByteArray contenuto;
    char blocco[65536];
    size_t letti = 0;
    while ((letti = std::fread(blocco, 1, sizeof blocco, f.get())) > 0) {
        contenuto.append(blocco, qsizetype(letti));
    }
    if (std::ferror(f.get())) {
        return fallito(errore);
    }
    testo = QString::fromUtf8(contenuto);
    testo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return true;
}

bool ScriviTesto(const QString &file, const QString &testo, ErroreFile &errore)
{
    QString righe = testo;
    righe.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QByteArray contenuto = righe.toUtf8();
    File f(std::fopen(QFile::encodeName(file).constData(), "wb"));
    if (!f) {
        return fallito(errore);
    }
    if (std::fwrite(contenuto.constData(), 1, size_t(contenuto.size()), f.get()) != size_t(contenuto.size())) {
        return fallito(errore);
    }
    // Closing flushes: a full disk shows here.
    if (std::fclose(f.release()) != 0) {
        return fallito(errore);
    }
    return true;
}

bool EliminaFile(const QString &file, ErroreFile &errore)
{
    if (std::remove(QFile::encodeName(file).constData()) != 0) {
        return fallito(errore);
    }
    return true;
}

} // namespace lanvera
