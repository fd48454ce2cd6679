#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace lanvera {
namespace dao {
class Database;
}

// A row that two doctors changed apart from each other. The merge keeps the newer version; the
// other one is kept here, in table QUOR_Conflitti of the archive, so that nothing a doctor wrote is
// lost without a trace. The table belongs to the archive: it never travels in a chart package.
struct Conflitto
{
    QDateTime quando;           // when the merge met the two versions
    QString tabella;            // the chart table of the row
    QString guid;               // the row's identity
    qint32 idPaziente = 0;      // the patient's local ID
    QString aggiornatoVincente; // LastUpdate of the version kept in the chart, as stored
    QString aggiornatoPerdente; // LastUpdate of the version that lost, as stored
    QString autoreVincente;     // who wrote each version: ModificatoDa, or the archive's doctor
    QString autorePerdente;
    QString rigaVincente; // the columns of each version as a JSON object
    QString rigaPerdente;
};

// Creates QUOR_Conflitti when missing; works inside an open transaction.
bool PreparaConflitti(dao::Database &archivio);
// Keeps one conflict; the same two versions of the same row are kept once only (`nuovo` says
// whether a row was added). false with the archive's error.
bool RegistraConflitto(dao::Database &archivio, const Conflitto &conflitto, bool *nuovo = nullptr);
// A patient's conflicts, the latest first; empty when the archive has none.
QList<Conflitto> LeggiConflitti(dao::Database &archivio, qint32 idPaziente);
// Columns and their values as the compact JSON object that the table keeps (dates as stored text).
QString RigaJson(const QStringList &campi, const QVariantList &valori);

} // namespace lanvera
