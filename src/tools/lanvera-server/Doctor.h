#pragma once

#include <QList>
#include <QString>

namespace lanvera {

// A row of `tblmedici` as the operator sees it. The password itself is never read: only
// whether one is set.
struct Doctor
{
    int id = 0;
    QString cf;
    QString cognome;
    QString nome;
    int gruppo = 0;
    int progressivo = 0;
    bool sospeso = false;
    bool passwordSet = false;
};

// A doctor to register. `ulmet`, `codiceRegionale` and `aslCompleto` are optional.
struct NewDoctor
{
    QString cf;
    QString cognome;
    QString nome;
    int gruppo = 0;
    int progressivo = 0;
    QString ulmet;
    QString codiceRegionale;
    QString aslCompleto;
};

// Trimmed and upper-cased fiscal code; normaliseCf(" rssmrc68c12a944x ") == "RSSMRC68C12A944X".
QString normaliseCf(const QString &cf);

// True for 16 letters and digits (after normaliseCf).
bool isValidCf(const QString &cf);

// Normalises `doctor` in place (fiscal code, trimmed texts) and checks it: a well-formed fiscal code,
// surname and name present, group and progressivo positive. On false `error` says what is wrong.
[[nodiscard]] bool normaliseNewDoctor(NewDoctor *doctor, QString *error);

// The doctors as a text table with a heading, one line each, columns aligned.
QString formatDoctorTable(const QList<Doctor> &doctors);

} // namespace lanvera
