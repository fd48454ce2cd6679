#include "Doctor.h"

#include <QStringList>

namespace lanvera {

QString normaliseCf(const QString &cf)
{
    return cf.trimmed().toUpper();
}

bool isValidCf(const QString &cf)
{
    if (cf.size() != 16) {
        return false;
    }
    for (const QChar c : cf) {
        const bool letter = c >= QLatin1Char('A') && c <= QLatin1Char('Z');
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!letter && !digit) {
            return false;
        }
    }
    return true;
}

bool normaliseNewDoctor(NewDoctor *doctor, QString *error)
{
    doctor->cf = normaliseCf(doctor->cf);
    doctor->cognome = doctor->cognome.trimmed();
    doctor->nome = doctor->nome.trimmed();
    doctor->ulmet = doctor->ulmet.trimmed();
    doctor->codiceRegionale = doctor->codiceRegionale.trimmed();
    doctor->aslCompleto = doctor->aslCompleto.trimmed();

    QString problem;
    if (!isValidCf(doctor->cf)) {
        problem = QStringLiteral("the fiscal code \"%1\" is not 16 letters and digits").arg(doctor->cf);
    } else if (doctor->cognome.isEmpty()) {
        problem = QStringLiteral("the surname (Cognome) is empty");
    } else if (doctor->nome.isEmpty()) {
        problem = QStringLiteral("the name (Nome) is empty");
    } else if (doctor->gruppo <= 0) {
        problem = QStringLiteral("the group must be a positive number, not %1").arg(doctor->gruppo);
    } else if (doctor->progressivo <= 0) {
        problem = QStringLiteral("the progressivo must be a positive number, not %1").arg(doctor->progressivo);
    }
    if (problem.isEmpty()) {
        return true;
    }
    if (error) {
        *error = problem;
    }
    return false;
}

QString formatDoctorTable(const QList<Doctor> &doctors)
{
    const QStringList heading = {QStringLiteral("ID"),      QStringLiteral("CF"),      QStringLiteral("Cognome"),
                                 QStringLiteral("Nome"),    QStringLiteral("Gruppo"),  QStringLiteral("Progressivo"),
                                 QStringLiteral("Sospeso"), QStringLiteral("Password")};
    const auto yesNo = [](bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); };

    QList<QStringList> rows{heading};
    for (const Doctor &d : doctors) {
        rows.append({QString::number(d.id), d.cf, d.cognome, d.nome, QString::number(d.gruppo),
                     QString::number(d.progressivo), yesNo(d.sospeso), yesNo(d.passwordSet)});
    }

    QList<qsizetype> widths(heading.size(), 0);
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            widths[i] = qMax(widths[i], row[i].size());
        }
    }

    // Numbers right-aligned, texts left-aligned; the last column unpadded.
    const auto numeric = [](qsizetype column) { return column == 0 || column == 4 || column == 5; };
    QString text;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i == row.size() - 1) {
                cells.append(row[i]);
            } else if (numeric(i)) {
                cells.append(row[i].rightJustified(widths[i]));
            } else {
                cells.append(row[i].leftJustified(widths[i]));
            }
        }
        text += cells.join(QStringLiteral("  ")) + QLatin1Char('\n');
    }
    return text;
}

} // namespace lanvera
