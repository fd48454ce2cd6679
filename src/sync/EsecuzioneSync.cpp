#include "EsecuzioneSync.h"

#include "Database.h"
#include "Recordset.h"
#include "clsSincronizza.h"
#include "modEsitiSync.h"
#include "modLog.h"

#include <QDateTime>
#include <QDir>

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

bool EsecuzioneSync::sincronizzaArchivio(const QString &file, const QList<qint32> &idFile, qint32 &totaleErrori)
{
    lanvera::EsitoSync esito;
    esito.file = file;
    esito.inizio = QDateTime::currentDateTime();
    const bool ok = m_sync->Sincronizza(file);
    esito.fine = QDateTime::currentDateTime();
    esito.errori = m_sync->Errori();
    if (!m_sync->ErroreNonGestito().isEmpty()) {
        // The archive log could not hold the reason: keep it in the run log.
        ScriviLog(m_sync->ErroreNonGestito(), true);
        ++esito.errori;
    }
    if (ok) {
        ScriviLog(QStringLiteral("Operazione completata con successo"));
        totaleErrori += m_sync->Errori();
    } else {
        ScriviLog(QStringLiteral("Operazione non completata"));
    }
    esito.esito = m_sync->Esito().isEmpty() ? QStringLiteral("Operazione non completata") : m_sync->Esito();
    esito.riuscito = esito.esito == QLatin1String("Operazione conclusa");
    esito.inviate = m_sync->Inviate();
    esito.scaricate = m_sync->Scaricate();
    esito.unite = m_sync->Unite();
    esito.conflitti = m_sync->Conflitti();
    if (!esito.riuscito) {
        m_tuttiConclusi = false;
    }
    registraEsiti(idFile, esito);
    return ok;
}

void EsecuzioneSync::registraEsiti(const QList<qint32> &idFile, const lanvera::EsitoSync &esito)
{
    for (const qint32 id : idFile) {
        lanvera::EsitoSync riga = esito;
        riga.idFile = id;
        QString errore;
        // The outcomes only inform: a list that cannot take one never stops the run.
        if (!lanvera::RegistraEsito(*m_databaseSync, riga, &errore)) {
            ScriviLog(QStringLiteral("Esito della sincronizzazione non registrato: Errore ") + errore, true);
        }
    }
}

bool EsecuzioneSync::righeDelFile(const QString &file, QList<qint32> &idFile, QString &errore)
{
    idFile.clear();
    if (!m_databaseSync) {
        return true;
    }
    Recordset rs(*m_databaseSync);
    if (!rs.apri(QStringLiteral("SELECT ID, File FROM tblFile"))) {
        errore = rs.ultimoErrore().testo();
        return false;
    }
    const QString cercato = QDir::cleanPath(file);
    for (; !rs.eof(); rs.muoviProssimo()) {
        if (QDir::cleanPath(rs.testo(QStringLiteral("File"))) == cercato) {
            idFile << rs.valore(QStringLiteral("ID")).toInt();
        }
    }
    return true;
}

void EsecuzioneSync::RegistraSenzaServer(const QString &motivo)
{
    m_tuttiConclusi = false;
    lanvera::EsitoSync esito;
    esito.inizio = esito.fine = QDateTime::currentDateTime();
    esito.esito = motivo;
    esito.errori = 1;
    QList<std::pair<qint32, QString>> archivi;
    QString errore;
    if (!m_rigaComando.isEmpty()) {
        QList<qint32> idFile;
        if (righeDelFile(m_rigaComando, idFile, errore)) {
            for (const qint32 id : std::as_const(idFile)) {
                archivi.append({id, m_rigaComando});
            }
        }
    } else if (m_databaseSync) {
        Recordset rs(*m_databaseSync);
        if (rs.apri(QStringLiteral("SELECT ID, File FROM tblFile"))) {
            for (; !rs.eof(); rs.muoviProssimo()) {
                archivi.append({rs.valore(QStringLiteral("ID")).toInt(), rs.testo(QStringLiteral("File"))});
            }
        }
    }
    for (const auto &[id, file] : std::as_const(archivi)) {
        esito.file = file;
        registraEsiti({id}, esito);
    }
}

bool EsecuzioneSync::SincronizzaTutti()
{
    m_annullato = false;
    m_tuttiConclusi = true;
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
        m_tuttiConclusi = false;
        m_ultimoErrore = QStringLiteral("Errore: ") + motivo;
        ScriviLog(m_ultimoErrore, true);
        return false;
    };
    if (!m_rigaComando.isEmpty()) {
        // The plug-in's run of one archive counts for that archive's row of the list, if it has one.
        QList<qint32> idFile;
        QString errore;
        if (!righeDelFile(m_rigaComando, idFile, errore)) {
            ScriviLog(QStringLiteral("Esito della sincronizzazione non registrato: Errore ") + errore, true);
        }
        esito = sincronizzaArchivio(m_rigaComando, idFile, totaleErrori);
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
            if (!sincronizzaArchivio(rs.testo(QStringLiteral("File")), {rs.valore(QStringLiteral("ID")).toInt()},
                                     totaleErrori)) {
                esito = false;
            }
        }
    }
    return totaleErrori > 0 ? false : esito;
}
