#include "modIni.h"

#include "modCartelle.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace lanvera {

namespace {

QString s_fileIni;

QStringList leggiRighe(const QString &file, bool *esiste = nullptr)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        if (esiste) {
            *esiste = false;
        }
        return {};
    }
    if (esiste) {
        *esiste = true;
    }
    QString testo = QString::fromUtf8(f.readAll());
    if (testo.startsWith(QChar(0xFEFF))) {
        testo.remove(0, 1);
    }
    testo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList righe = testo.split(QLatin1Char('\n'));
    if (!righe.isEmpty() && righe.last().isEmpty()) {
        righe.removeLast();
    }
    return righe;
}

// "[Name]" -> "Name"; anything else -> null.
QString nomeSezione(const QString &riga)
{
    const QString t = riga.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
        return t.mid(1, t.size() - 2).trimmed();
    }
    return {};
}

bool isCommento(const QString &riga)
{
    const QString t = riga.trimmed();
    return t.isEmpty() || t.startsWith(QLatin1Char(';'));
}

bool stessoNome(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString chiaveDiRiga(const QString &riga)
{
    const qsizetype uguale = riga.indexOf(QLatin1Char('='));
    return uguale < 0 ? QString() : riga.left(uguale).trimmed();
}

} // namespace

QString LeggiIniFile(const QString &file, const QString &sezione, const QString &chiave)
{
    bool dentro = false;
    for (const QString &riga : leggiRighe(file)) {
        const QString sez = nomeSezione(riga);
        if (!sez.isNull()) {
            dentro = stessoNome(sez, sezione);
            continue;
        }
        if (!dentro || isCommento(riga) || !stessoNome(chiaveDiRiga(riga), chiave)) {
            continue;
        }
        QString valore = riga.mid(riga.indexOf(QLatin1Char('=')) + 1).trimmed();
        if (valore.size() >= 2 && ((valore.front() == QLatin1Char('"') && valore.back() == QLatin1Char('"')) ||
                                   (valore.front() == QLatin1Char('\'') && valore.back() == QLatin1Char('\'')))) {
            valore = valore.mid(1, valore.size() - 2);
        }
        return valore.left(LunghezzaMassimaValoreIni);
    }
    return {};
}

bool ScriviIniFile(const QString &file, const QString &sezione, const QString &chiave, const QString &valore)
{
    if (sezione.isEmpty() || chiave.isEmpty() || chiave.contains(QLatin1Char('=')) ||
        valore.contains(QLatin1Char('\n')) || valore.contains(QLatin1Char('\r'))) {
        return false;
    }
    bool esiste = false;
    QStringList righe = leggiRighe(file, &esiste);
    const QString nuova = chiave + QLatin1Char('=') + valore;

    qsizetype inizio = -1; // line after the section header
    qsizetype fine = -1;   // first line of the next section
    for (qsizetype i = 0; i < righe.size(); ++i) {
        const QString sez = nomeSezione(righe.at(i));
        if (sez.isNull()) {
            continue;
        }
        if (inizio >= 0) {
            fine = i;
            break;
        }
        if (stessoNome(sez, sezione)) {
            inizio = i + 1;
        }
    }
    if (inizio < 0) {
        if (!righe.isEmpty() && !righe.last().trimmed().isEmpty()) {
            righe.append(QString());
        }
        righe.append(QLatin1Char('[') + sezione + QLatin1Char(']'));
        righe.append(nuova);
    } else {
        if (fine < 0) {
            fine = righe.size();
        }
        bool fatto = false;
        for (qsizetype i = inizio; i < fine; ++i) {
            if (!isCommento(righe.at(i)) && stessoNome(chiaveDiRiga(righe.at(i)), chiave)) {
                righe[i] = nuova;
                fatto = true;
                break;
            }
        }
        if (!fatto) {
            // after the last non-blank line of the section
            qsizetype dopo = fine;
            while (dopo > inizio && righe.at(dopo - 1).trimmed().isEmpty()) {
                --dopo;
            }
            righe.insert(dopo, nuova);
        }
    }

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    out.write(righe.join(QStringLiteral("\r\n")).toUtf8());
    out.write("\r\n");
    return out.commit();
}

void ImpostaFileIni(const QString &file)
{
    s_fileIni = file;
}

QString FileIni()
{
    return s_fileIni;
}

QString LeggiIni(const QString &sezione, const QString &chiave)
{
    return s_fileIni.isEmpty() ? QString() : LeggiIniFile(s_fileIni, sezione, chiave);
}

bool ScriviIni(const QString &sezione, const QString &chiave, const QString &valore, const QString &file)
{
    const QString destinazione = file.isEmpty() ? DataFolder() + QStringLiteral("/Quor.ini") : file;
    return ScriviIniFile(destinazione, sezione, chiave, valore);
}

} // namespace lanvera
