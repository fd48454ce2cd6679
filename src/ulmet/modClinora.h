#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

namespace clinora {
class ClsDB;
} // namespace clinora

namespace lanvera::dao {
class Database;
class Recordset;
} // namespace lanvera::dao

// Writes the records of an incoming chart into an archive in the host's format, one record per
// call, and resolves the chart's codes against the host's catalogues.
//
// Every writer trims its text arguments, writes nothing when it has nothing to write, and reports
// a failure through its result with the reason in the context's MessaggioErrore. Dates are valid
// QDate values or "no date". Codes and names that arrive from the network reach the databases only
// as bound values, never inside a statement's text.
namespace modClinora {

// What every writer needs: where rows go, where the catalogues are, and the clock.
struct ContestoClinora
{
    ContestoClinora(lanvera::dao::Database &archivio, clinora::ClsDB &catalogo, qint32 idLocazione = 0)
        : db(archivio), clsDB(catalogo), IDLocazione(idLocazione)
    {}

    // The chart database that receives the rows.
    lanvera::dao::Database &db;
    // The host's open archive: drugs, active ingredients, ICD-9, exams, visits, exemptions.
    clinora::ClsDB &clsDB;
    // The region whose exemption catalogue applies.
    qint32 IDLocazione = 0;
    // The current moment, for the rows' stamps and for exemption expiry; the system clock when empty.
    std::function<QDateTime()> orologio;
    // The reason of the last failure: "<routine>: Errore <number> <description>"; and how many
    // failures there were, so that a reader can tell "nothing to write" from "could not write".
    QString MessaggioErrore;
    int Errori = 0;

    QDateTime Adesso() const { return orologio ? orologio() : QDateTime::currentDateTime(); }
    QDate Oggi() const { return Adesso().date(); }
};

// Document types of the diary (tblDiario.IDPrestazione) that the import writes.
namespace TipoDiario {
inline constexpr int Altro = 1;
inline constexpr int Certificato = 2;
inline constexpr int Laboratorio = 5;
inline constexpr int Strumentale = 6;
inline constexpr int Farmaco = 7;
inline constexpr int Materiale = 8;
inline constexpr int Ricovero = 9;
inline constexpr int Visita = 11;
inline constexpr int Prestazione = 12;
inline constexpr int RisultatoLaboratorio = 18;
inline constexpr int Referto = 20;
} // namespace TipoDiario

// One `codiceprestazione` of a record: the code and its optional `tipo` attribute.
struct CodicePrestazione
{
    QString codice;
    QString tipo;
};

// What a service code stands for in the catalogues; 0 where nothing was found.
struct CodiciRisolti
{
    qint32 esame = 0;
    qint32 sottoesame = 0;
    qint32 visita = 0;
};

// A prescribed drug, exam or visit (tblPrescrizioni). Numbers 0 and empty texts mean "not given".
struct Prescrizione
{
    QDate data;
    qint32 idDiario = 0;
    QString descrizione;
    qint32 idFarmaco = 0;
    qint32 idEsame = 0;
    qint32 idVisita = 0;
    double quantita = 0;
    QString classe;
    QString nota;
    QString posologia;
};

// Sets the synchronisation columns of a row about to be stored: in step with its source, updated
// now, a first-insert moment and a GUID when it has none. Columns the table lacks are skipped.
void TimbraRiga(lanvera::dao::Recordset &rs, const QDateTime &adesso);

// The care relationship; nothing when neither date is a date.
bool ScriviRapporto(ContestoClinora &c, qint32 idPaziente, const QDate &inizio, const QDate &fine,
                    const QString &motivo);

// An exemption of the regional catalogue; nothing when the code is unknown or the exemption has
// expired (its expiry today or earlier). True when a row was written.
bool ScriviEsenzione(ContestoClinora &c, qint32 idPaziente, const QString &codice, const QString &sottocodice,
                     const QDate &scadenza);
// The catalogue row (arcLinkEsenzioni.ID) of an exemption code of the context's region, 0 when none.
qint32 IDEsenzioneDaCodice(ContestoClinora &c, const QString &codice, const QString &sottocodice);

// An allergy ("I" as `tipo`: an intolerance). Nothing without an ATC code, a known drug or a note.
bool ScriviAllergia(ContestoClinora &c, qint32 idPaziente, const QString &tipo, const QString &codiceATC,
                    const QString &codiceAIC, const QString &note, const QString &molecola);

// A problem; an end before its start leaves it open. Nothing without a code or a description.
bool ScriviProblema(ContestoClinora &c, qint32 idPaziente, const QDate &inizio, const QDate &fine,
                    const QString &codiceICD9, const QString &descrizione);

// A diary entry. An entry that is no prescription joins the patient's entry of the same day and
// document type, on a line of its own unless that line is already there. Linked to the patient's
// problem of the ICD-9 code, if he has one. Gives the entry's row number, 0 when nothing was written
// (no date, no text) or on failure.
qint32 ScriviDiario(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QString &testo, int tipo,
                    bool ricetta, const QString &codiceICD9 = {}, const QString &url = {}, bool gruppo = false);

// A certificate: a diary entry and its memo. Gives the diary row number (0: nothing written).
qint32 ScriviCertificato(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QString &codiceICD9,
                         const QString &titolo, const QString &testo);

// A prescription row; nothing without a date, or without a description, drug, exam and visit.
// Gives the new row's number, 0 when nothing was written.
qint32 ScriviPrescrizione(ContestoClinora &c, qint32 idPaziente, const Prescrizione &p);

// A prescribed drug by its AIC code: a diary entry and, for a known drug, its prescription. Gives the
// diary row number.
qint32 ScriviFarmaco(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QString &aic,
                     const QString &codiceICD9, double quantita, const QString &classe, const QString &nota,
                     const QString &posologia, const QString &descrizione = {});
// An ongoing therapy with a known drug (tblStatoFarmaci).
bool ScriviTerapia(ContestoClinora &c, qint32 idPaziente, const QString &aic, double quantita, const QString &classe,
                   const QString &nota, const QString &posologia, const QString &codiceEsenzione,
                   const QString &diagnosi);

// A visit, an instrumental test, a laboratory test, with their catalogue numbers already resolved:
// the diary entry and prescription, and the result on the report date. Give the diary row number.
qint32 ScriviVisita(ContestoClinora &c, qint32 idPaziente, const QDate &data, const CodiciRisolti &codici,
                    const QString &descrizione, const QString &codiceICD9, const QDate &dataReferto,
                    const QString &risultato);
qint32 ScriviStrumentale(ContestoClinora &c, qint32 idPaziente, const QDate &data, const CodiciRisolti &codici,
                         const QString &descrizione, const QString &codiceICD9, const QDate &dataReferto,
                         const QString &risultato);
qint32 ScriviLaboratorio(ContestoClinora &c, qint32 idPaziente, const QDate &data, const CodiciRisolti &codici,
                         const QString &descrizione, const QString &codiceICD9, const QDate &dataReferto,
                         const QString &risultato);

// A hospital stay, as a diary entry on the admission date.
qint32 ScriviRicovero(ContestoClinora &c, qint32 idPaziente, const QString &struttura, const QString &diagnosiIngresso,
                      const QDate &dimissione, const QString &diagnosiDimissione, const QDate &ingresso);

// Blood pressure, and weight/height/waist: each joins the patient's row of the same day. Nothing
// without a date or without a value other than 0.
bool ScriviPressione(ContestoClinora &c, qint32 idPaziente, const QDate &data, double minima, double massima,
                     double frequenza, bool aritmico, const QString &note = {});
bool ScriviPeso(ContestoClinora &c, qint32 idPaziente, const QDate &data, double peso, double altezza, double vita,
                const QString &note = {});

// A vaccination; nothing without a vaccine name and a date.
bool ScriviVaccinazione(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QDate &richiamo,
                        const QString &vaccino, const QString &note);

// The diary document type that a free text suggests (1 when none).
int ClassificaPrestazione(const QString &testo);
// True when the text contains one of the comma-separated words, in any letter case.
bool ContieneParola(const QString &testo, const QString &parole);
// The exam, sub-exam or visit that a record's service codes stand for; `descrizione` chooses among
// catalogue rows that share a code.
CodiciRisolti RisolviCodicePrestazione(ContestoClinora &c, const QList<CodicePrestazione> &codici,
                                       const QString &descrizione);
// How close two descriptions are: higher is closer; 0 when they share no word.
int Vicinanza(const QString &a, const QString &b);
// Body-mass index from kg and cm; 0 without a height.
float CalcolaBMI(double peso, double altezza);

// A posology text split into its leading quantity ("1/2", "2") and the rest.
std::pair<QString, QString> DividiPosologia(const QString &posologia);

} // namespace modClinora
