#pragma once

#include <QDate>
#include <QMap>
#include <QString>

class QSqlDatabase;

// Realistic Clinora archives of one doctor, for tests, the demo and the benchmarks. The
// content follows from the options alone: the same options give the same rows, GUIDs included.
namespace lanvera::host {

// Shares are fractions (0 to 1) and are applied as exact counts (rounded), not patient by
// patient, so that a test can rely on them.
struct OpzioniGeneratore
{
    QString cf;                      // the owner's fiscal code, written as given into tblMedico (IDRete 1)
    int pazienti = 100;              // rows of tblAnagrafica
    quint32 seme = 1;                // seed of the content; mixed with cf, so two doctors differ
    QDate oggi;                      // reference day of every date; invalid = the current date
    double quotaRevocati = 0.08;     // care relationship ended on or before oggi
    double quotaDecessi = 0.25;      // of the revoked: ended by death ("Decesso", "Morte", ...)
    double quotaRiattivati = 0.02;   // of the others: ended once, then begun again
    double quotaProprio = 0.03;      // private patients (Proprio true)
    double quotaDaCollega = 0.02;    // downloaded from a colleague (UIDCMedico filled)
    double quotaDaVerificare = 0.05; // tblAnagrafica2.TagStato 1
    double righe = 1.0;              // scale of the chart rows per patient; 0 writes the registry only
    bool sole = false;               // SOLE extension: SOLE_Versione, its configuration, alignment rows
    double quotaAllineati = 0.9;     // with sole: patients whose SOLE_tblAllineati.Allineato is true
    bool strutturaQuor = true;       // network tables in place (QUOR_Versione 1, item "QUOR.DataInit");
                                     // false drops QUOR_Versione and QUOR_tblUpdate
    QString passwordSync;            // when not empty: items "QUOR.PasswordMedicoSync" and "QUOR.PasswordMedico"
};

struct RiepilogoGeneratore
{
    int pazienti = 0;
    qint64 righe = 0; // every row written, catalogues and configuration included
    QMap<QString, qint64> righePerTabella;
};

// Why the options cannot be used, or an empty text when they can.
QString VerificaOpzioni(const OpzioniGeneratore &opzioni);

// Fills an open database that holds the empty schema, in one transaction.
[[nodiscard]] bool RiempiArchivioDemo(QSqlDatabase &db, const OpzioniGeneratore &opzioni, QString *errore,
                                      RiepilogoGeneratore *riepilogo = nullptr);

// Creates the archive file at percorso (never overwriting one; nothing is left behind on failure).
[[nodiscard]] bool GeneraArchivio(const QString &percorso, const OpzioniGeneratore &opzioni, QString *errore,
                                  RiepilogoGeneratore *riepilogo = nullptr);

} // namespace lanvera::host
