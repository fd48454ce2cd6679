#include "modLog.h"

#include "modCartelle.h"

#include <QFile>

namespace lanvera {

namespace {

constexpr qsizetype LarghezzaSeverita = 4;
constexpr qsizetype LarghezzaData = 19;

} // namespace

QString FormattaVoceLog(const QString &messaggio, bool errore, QLatin1StringView tag, const QDateTime &quando)
{
    if (messaggio.isEmpty()) {
        return {};
    }
    const qsizetype rientro = LarghezzaSeverita + tag.size() + LarghezzaData + 1;
    const QString acapo = QStringLiteral("\r\n") + QString(rientro, QLatin1Char(' '));

    QString testo = messaggio;
    testo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    testo.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    testo.replace(QLatin1Char('\n'), acapo);

    QString voce;
    voce.reserve(rientro + testo.size());
    voce += errore ? QStringLiteral("ERR ") : QStringLiteral("    ");
    voce += tag;
    voce += quando.toString(QStringLiteral("dd/MM/yyyy hh.mm.ss"));
    voce += QLatin1Char(' ');
    voce += testo;
    return voce;
}

bool AccodaVoceLog(const QString &file, const QString &voce)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        return false;
    }
    const QByteArray riga = (voce + QStringLiteral("\r\n")).toUtf8();
    return f.write(riga) == riga.size();
}

QString FileLogSync()
{
    return DataFolder() + QStringLiteral("/Quor.log");
}

void ScriviLog(const QString &messaggio, bool errore, const QDateTime &quando)
{
    AccodaVoceLog(FileLogSync(), FormattaVoceLog(messaggio, errore, QLatin1StringView(), quando));
}

QString CartellaArchivio(const QString &archivio)
{
    const qsizetype barra = archivio.lastIndexOf(QLatin1Char('/'));
    return barra < 0 ? QString() : archivio.left(barra);
}

QString FileLogArchivio(const QString &cartellaArchivio)
{
    return cartellaArchivio + QStringLiteral("/Lanvera.log");
}

QString ScriviLogArchivio(const QString &cartellaArchivio, const QString &messaggio, bool errore, QLatin1StringView tag,
                          const QDateTime &quando)
{
    const QString voce = FormattaVoceLog(messaggio, errore, tag, quando);
    AccodaVoceLog(FileLogArchivio(cartellaArchivio), voce);
    return voce;
}

} // namespace lanvera
