#pragma once

#include "StatoMotore.h"
#include "clsPaziente.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class PacchettoCartella;
class QSqlQuery;
class UnioneCartellaTest;

namespace lanvera {
struct Conflitto;
}
namespace lanvera::dao {
class Database;
}

// Merges a chart package, or a colleague's modifications package, into the archive row by row:
// rows are matched by GUID, the newer row wins by LastUpdate, local keys are kept and the package's
// foreign keys are translated to them. One import is one transaction: applied whole or not at all.
//
// Nothing is lost without a trace: when both sides changed a row apart from each other (the local
// row not yet sent, or the package's row older than the local one) and their texts differ, the
// version that loses is kept in QUOR_Conflitti, in the same transaction, and the log names it. A
// package row stamped more than a day after the server's clock is taken with the server's time.
//
// Packages come from the network, so they are checked before they are merged: a package that is no
// chart, a whole chart that is not the chart of the patient it was filed under, and a colleague's
// changes that reach into another patient's rows are refused whole with
// "<operazione>: pacchetto non valido: <motivo>".
class UnioneCartella
{
public:
    UnioneCartella(StatoMotore &stato, PacchettoCartella &pacchetto);

    // A whole chart. On return the patient's ID is his local ID (a new patient gets one).
    bool ImportaCartella(clsPaziente &paziente, const QString &testo);
    // The rows a colleague changed, with the colleague's name.
    bool ImportaModifiche(const clsPaziente &paziente, const QString &modificatoDa, const QString &testo);

private:
    friend class UnioneCartellaTest;

    // The imports proper, on a package database that is already open.
    bool ImportaCartellaDa(clsPaziente &paziente, lanvera::dao::Database &pacchetto);
    bool ImportaModificheDa(const clsPaziente &paziente, const QString &modificatoDa,
                            lanvera::dao::Database &pacchetto);

    // The merge routines: true unless the import was cancelled or failed (then m_erroreTesto says why).
    bool UnisciTabellaPadre(lanvera::dao::Database &pacchetto, const QString &tabella, const QString &campoChiave,
                            qint32 idPaziente, const QString &modificatoDa, bool cartellaIntera,
                            const QString &condizione);
    bool UnisciTabellaFiglia(lanvera::dao::Database &pacchetto, const QString &tabella, qint32 idPaziente,
                             const QString &modificatoDa, bool cartellaIntera, const QString &condizione);
    bool UnisciTabellaSingola(lanvera::dao::Database &pacchetto, const QString &tabella, qint32 idPaziente,
                              const QString &modificatoDa, bool cartellaIntera, const QString &condizione);
    // The patient's own row, for a patient new to this archive: his local ID, 0 when the package has
    // no patient row or on failure.
    qint32 UnisciAnagrafica(lanvera::dao::Database &pacchetto);

    // Local ID of a package key ("iddiario" followed by the package's ID), 0 when unknown.
    qint32 NuovoID(const QString &chiave) const;

    bool IniziaImportazione(lanvera::dao::Database &pacchetto);
    bool VerificaPaziente(qint32 idPaziente);
    // What an opened package must be before its import begins; false with the reason.
    bool VerificaContenuto(const clsPaziente &paziente, lanvera::dao::Database &pacchetto, bool cartellaIntera,
                           QString &motivo);
    // Whole chart brought up to date: does the package's patient row equal the local one?
    bool AnagraficaUguale(lanvera::dao::Database &pacchetto, qint32 idPaziente);
    // Which of the steps, each a table and the condition it reads its rows by, find rows to merge
    // in the package; with conGuid, also which of its empty tables have the row identity.
    void LeggiPassiConRighe(lanvera::dao::Database &pacchetto, const QStringList &tabelle,
                            const QStringList &condizioni, bool conGuid);
    bool PacchettoConGuid(lanvera::dao::Database &pacchetto, const QString &tabella) const;
    // The tables of a whole chart or of a colleague's changes, in their order.
    bool EseguiPassi(qint32 idPaziente, const QString &modificatoDa, bool cartellaIntera,
                     lanvera::dao::Database &pacchetto);
    bool ApriRighe(QSqlQuery &righe, const QString &tabella, bool cartellaIntera, const QString &condizione);
    // The same, leaving a failure in the query.
    bool LeggiRighe(QSqlQuery &righe, const QString &tabella, bool cartellaIntera, const QString &condizione);
    bool UnisciPerGuid(lanvera::dao::Database &pacchetto, const QString &tabella, const QString &campoChiave,
                       bool figlia, qint32 idPaziente, const QString &modificatoDa, bool cartellaIntera,
                       const QString &condizione);
    bool VerificaCompletezza(const QString &tabella, qint32 idPaziente, const QString &condizione, qint64 righe);
    bool ConcludiImportazione(const QString &operazione, bool ok);
    bool Fallisci(int numero, const QString &testo);
    // The package is refused: the import ends with "pacchetto non valido" and the reason.
    bool Rifiuta(const QString &motivo);
    bool InErrore() const { return m_erroreNumero != 0 || !m_erroreTesto.isEmpty() || !m_rifiuto.isEmpty(); }
    QString NomePaziente(qint32 id) const;
    // The archive's own doctor, the author of a local row that names nobody else.
    QString MedicoArchivio();
    // Keeps the losing version of a row; its log line waits for the merge to be kept.
    bool Conserva(const lanvera::Conflitto &conflitto);
    // An incoming stamp beyond tomorrow of the server's clock becomes the server's time.
    void CorreggiFuturo(QVariant &aggiornato, const QString &tabella, qint32 idPaziente);

    StatoMotore &m_stato;
    PacchettoCartella &m_pacchetto;
    QHash<QString, qint32> m_mappaChiavi;
    int m_erroreNumero = 0;
    QString m_erroreTesto;
    QString m_rifiuto;
    // Whole chart brought up to date: stays true while everything met in the package is what this
    // archive already holds.
    bool m_comeQui = false;
    // Whether each step of the import finds rows in the package, when the package could tell, and
    // whether the step in progress does (true when unknown).
    QList<bool> m_passiConRighe;
    bool m_righeNote = false;
    bool m_passoConRighe = true;
    // The package's tables with a GUID column (lower-case names), when read at once.
    QSet<QString> m_tabelleConGuid;
    bool m_guidNoti = false;
    // Whether a table so defined has a GUID column, by its definition's text.
    QHash<QString, bool> m_guidPerDefinizione;
    // What the import in progress has to say once it is kept.
    QStringList m_righeConflitti;
    QStringList m_righeFuturo;
    QString m_medico; // null until asked
    QDateTime m_oraServer;
    QString m_limiteFuturo; // as Momento() gives it
};
