#pragma once

#include <QByteArray>
#include <QString>

class clsXML;

namespace lanvera::dao {
class Database;
}

// The stand-in service's side of a download: one patient of a host archive as an Ulmet chart
// document, and the document packed as the service sends it.
namespace CartellaUlmet {

// Fills the empty document with the root "dati" and the sections anagrafica, esenzioni,
// allergie, problemi, diarioclinico, prestazioni, misure, ricoveri and vaccinazioni of the
// patient; dates "yyyymmdd". False with the reason when the archive cannot be read.
bool CreaDocumento(lanvera::dao::Database &archivio, qint64 idPaziente, clsXML &documento, QString &errore);

// A zip archive holding `xml` as its single entry "Dati.xml".
bool Comprimi(const QByteArray &xml, QByteArray &zip, QString &errore);

} // namespace CartellaUlmet
