#pragma once

#include "modUlmet.h"

#include <QString>

class clsXML;
namespace clinora {
class ClsDB;
}
class frmInviaRicevi;
struct StatoPlugin;
struct clsPaziente;

// The plug-in's side of the Ulmet exchange: the search, the download and the send-back of a
// patient who lives behind an Ulmet service, each inside the running operation window.
namespace modUlmet {

// "Host", "PortUlmet" and "TimeoutUlmet" (seconds) of section Setup, read again for every request.
ImpostazioniUlmet ImpostazioniDaIni();

// Shows the service's error, when its answer carries an error code.
void MostraErroreUlmet(StatoPlugin &stato, const clsXML &risposta);

// Adds to the search results the patients of that Ulmet doctor whose surname matches. True when
// the run ended normally, also with nobody found or an unreachable service.
bool CercaPazienteUlmet(StatoPlugin &stato, frmInviaRicevi &finestra, const QString &cognome, const QString &cfMedico);

// Downloads the patient's chart into the network archive; fills ArchivioRete and
// IDPazienteImportato. False with `errore` set for the failures that have a text of their own.
bool CaricaPazienteUlmet(StatoPlugin &stato, frmInviaRicevi &finestra, const clsPaziente &paziente, QString &errore);

// The chart document of the changed rows of an archive, without its declaration:
// the "dati" element that goes into the request; empty when nothing changed. False when the
// archive cannot be read.
bool DatiDaInviare(clinora::ClsDB &db, QString &dati);

// Sends `dati` as the changes of the patient with that key to his Ulmet doctor. True when the
// service answered OK.
bool InviaDatiUlmet(StatoPlugin &stato, frmInviaRicevi *finestra, const QString &chiave, const QString &cfMedico,
                    const QString &dati);

// The changes of the open chart to the patient's Ulmet doctor: true when nothing changed or the
// service answered OK; `errore` set when the chart cannot be read.
bool SalvaPazienteUlmet(StatoPlugin &stato, frmInviaRicevi &finestra, const QString &chiave, const QString &cfMedico,
                        QString &errore);

} // namespace modUlmet
