#pragma once

#include <QString>
#include <QVariant>

class clsXML;

namespace clinora {
class ClsDB;
}

// The chart document sent back to Ulmet: the rows of the open archive changed since the chart
// arrived (ToSend not -1), one section per kind of row under the root "dati".
namespace modUlmet {

// The whole document, in `xml` (the text of clsXML::XML). True when at least one row went in;
// false when none did or the archive could not be read (then `xml` is left alone).
bool CreaDatiCartella(clinora::ClsDB &db, QString &xml);

// Each adds its section under the document's root and gives the number of rows written, or -1
// when the archive could not be read (a failed statement, a missing column).
int EsportaAllergie(clinora::ClsDB &db, clsXML &doc);
int EsportaProblemi(clinora::ClsDB &db, clsXML &doc);
int EsportaDiario(clinora::ClsDB &db, clsXML &doc);
int EsportaPrestazioni(clinora::ClsDB &db, clsXML &doc);
// Blood-pressure rows first, then weight rows.
int EsportaMisure(clinora::ClsDB &db, clsXML &doc);
int EsportaRicoveri(clinora::ClsDB &db, clsXML &doc);
int EsportaVaccinazioni(clinora::ClsDB &db, clsXML &doc);

// Look-ups by identifier: empty text for a Null or non-numeric identifier, a missing row, or a
// statement that fails.
QString CodiceATCPrincipio(clinora::ClsDB &db, const QVariant &idPrincipio);
QString NomePrincipio(clinora::ClsDB &db, const QVariant &idPrincipio);
QString AICFarmaco(clinora::ClsDB &db, const QVariant &idFarmaco);
// The exam's code when `idEsame` is not Null, otherwise the visit's.
QString CodicePrestazione(clinora::ClsDB &db, const QVariant &idEsame, const QVariant &idVisita);
// The ICD-9 code of the first problem linked to the diary entry.
QString CodiceICD9Diario(clinora::ClsDB &db, const QVariant &idDiario);

// The name of a diary row's document type (IDPrestazione); "Altro" for any value not known.
QString TipoDocumento(const QVariant &valore);

} // namespace modUlmet
