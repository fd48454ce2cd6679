#pragma once

#include "modClinora.h"

#include <QDate>
#include <QString>

class clsXML;

// Reads an incoming chart document, section by section, and has modClinora write its records. The
// section readers work for any patient of the archive: a new one made by ImportaAnagrafica, or one
// already there that a chart without personal data is merged into.
//
// A reader goes through all its records; one that cannot be written does not stop the others. A
// reader gives false when a record could not be written (the context's MessaggioErrore says why).
namespace modUlmetImporta {

using modClinora::ContestoClinora;

// A "yyyymmdd" date of the document; anything else is no date.
QDate DataUlmet(const QString &testo);
// A number of the document: its leading digits, with "." or "," before the decimals; 0 when none.
double NumeroUlmet(const QString &testo);

// The patient of the "anagrafica" section and his care relationship: his new number, 0 when the
// document has no such section or the row could not be written.
qint32 ImportaAnagrafica(ContestoClinora &c, const clsXML &xml);

bool ImportaEsenzioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);
bool ImportaAllergie(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);
bool ImportaProblemi(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);
bool ImportaDiario(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);
bool ImportaPrestazioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);
bool ImportaMisure(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);
bool ImportaRicoveri(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);
bool ImportaVaccinazioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);

// Every section but the patient's own, in the order of the chart, for a patient of the archive. One
// transaction (unless the caller has one open). False when some record could not be written.
bool ImportaSezioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml);

// The whole chart of a new patient: his number, 0 when his own row could not be written (then
// nothing of the chart is kept).
qint32 ImportaCartella(ContestoClinora &c, const clsXML &xml);

} // namespace modUlmetImporta
