#include "EsecuzioneSync.h"

#include "Database.h"
#include "Recordset.h"
#include "clsSincronizza.h"
#include "modLog.h"

#include <memory>

using lanvera::ScriviLog;
using lanvera::dao::Recordset;

EsecuzioneSync::EsecuzioneSync(lanvera::ConnessioneServer &server, QObject *parent) : QObject(parent), m_server(server)
{}

EsecuzioneSync::~EsecuzioneSync() = default;

void EsecuzioneSync::Annulla()
{
    m_annullato = true;
    if (m_sync) {
        m_sync->Annulla();
    }
}

bool EsecuzioneSync::sincronizzaArchivio(const QString &file, qint32 &totaleErrori)
{
    const bool ok = m_sync->Sincronizza(file);
    if (!m_sync->ErroreNonGestito().isEmpty()) {
        // The archive log could not hold the reason: keep it in the run log.
        ScriviLog(m_sync->ErroreNonGestito(), true);
    }
    if (ok) {
        ScriviLog(QStringLiteral("Operazione completata con successo"));
        totaleErrori += m_sync->Errori();
    } else {
        ScriviLog(QStringLiteral("Operazione non completata"));
    }
    return ok;
}

bool EsecuzioneSync::SincronizzaTutti()
{
    m_annullato = false;
    bool esito = true;
    qint32 totaleErrori = 0;

    auto motore = std::make_unique<clsSincronizza>();
    connect(motore.get(), &clsSincronizza::Log, this, &EsecuzioneSync::Log);
    motore->Init(m_server);
    if (m_prepara) {
        m_prepara(*motore);
    }
    m_sync = motore.get();
    struct Rilascia
    {
        clsSincronizza *&sync;
        ~Rilascia() { sync = nullptr; }
    } rilascia{m_sync};

    // A list that cannot be read ends the run with its reason in the run log.
    auto listaIlleggibile = [this](const QString &motivo) {
        m_ultimoErrore = QStringLiteral("Errore: ") + motivo;
        ScriviLog(m_ultimoErrore, true);
        return false;
    };
    if (!m_rigaComando.isEmpty()) {
        esito = sincronizzaArchivio(m_rigaComando, totaleErrori);
    } else {
        if (!m_databaseSync) {
            return listaIlleggibile(QStringLiteral("3420 Lista degli archivi non aperta"));
        }
        // The list is read whole first, so that the administration program can edit it meanwhile.
        Recordset rs(*m_databaseSync);
        if (!rs.apri(QStringLiteral("SELECT * FROM tblFile ORDER BY Descrizione COLLATE NOCASE, ID"),
                     Recordset::Tipo::Dynaset)) {
            return listaIlleggibile(rs.ultimoErrore().testo());
        }
        for (; !rs.eof() && !m_annullato; rs.muoviProssimo()) {
            m_archivioCorrente = rs.testo(QStringLiteral("Descrizione"));
            ScriviLog(QStringLiteral("Sincronizzo ") + m_archivioCorrente);
            if (!sincronizzaArchivio(rs.testo(QStringLiteral("File")), totaleErrori)) {
                esito = false;
            }
        }
    }
    return totaleErrori > 0 ? false : esito;
}
