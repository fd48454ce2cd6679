#include "Recordset.h"

#include "DaoInterno.h"

#include <QRegularExpression>
#include <QSqlRecord>

namespace lanvera::dao {

namespace {

constexpr int ErroreCampoMancante = 3265;   // no column of that name
constexpr int ErroreSenzaModifica = 3020;   // a value set or written without add or edit
constexpr int ErroreNessunaRiga = 3021;     // no current row
constexpr int ErroreNonAggiornabile = 3027; // a recordset that cannot be written

// SELECT <list> FROM <one table> ...
const QRegularExpression &formaSelezione()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*(SELECT\s+)(.*?)\s+FROM\s+(?:\[([^\]]+)\]|([^\s\[\](),;]+)))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

} // namespace

Recordset::Recordset(Database &db) : m_db(db) {}

Recordset::~Recordset()
{
    chiudi();
}

bool Recordset::fallisci(int numero, const QString &descrizione)
{
    m_errore = {numero, descrizione};
    m_db.registraErrore(m_errore);
    return false;
}

const Errore &Recordset::ultimoErrore() const
{
    return m_errore;
}

void Recordset::chiudi()
{
    m_query.reset();
    m_suRiga = false;
    m_righe.clear();
    m_rowid.clear();
    m_posizione = 0;
    m_campi.clear();
    m_indici.clear();
    m_indiciMinuscoli.clear();
    m_modo = Modo::Nessuno;
    m_buffer.clear();
    m_cambiati.clear();
    m_tabella.clear();
}

bool Recordset::apri(const QString &sql, Tipo tipo, const QVariantList &valori)
{
    chiudi();
    m_errore = {};
    m_tipo = tipo;
    if (!m_db.aperto()) {
        return fallisci(ErroreFileMancante, QStringLiteral("Database non aperto"));
    }

    QString testo = sql;
    if (tipo == Tipo::Dynaset) {
        const QRegularExpressionMatch m = formaSelezione().match(sql);
        if (!m.hasMatch()) {
            return fallisci(ErroreNonAggiornabile, QStringLiteral("Recordset non aggiornabile: %1").arg(sql));
        }
        m_tabella = m.captured(3).isEmpty() ? m.captured(4) : m.captured(3);
        // The row's identity travels along as a hidden first column.
        testo = sql.left(m.capturedEnd(1)) + QStringLiteral("_rowid_ AS lv_rowid, ") + sql.mid(m.capturedEnd(1));
    }

    // The statement comes from the database's prepared ones: the same look-up for every patient is
    // parsed once.
    m_query.emplace(m_db, testo);
    if (!m_query->pronta() || !m_query->esegui(valori)) {
        const Errore e = m_db.ultimoErrore();
        m_query.reset();
        return fallisci(e.numero, e.descrizione);
    }
    QSqlQuery &q = m_query->query();

    const QSqlRecord record = q.record();
    const int primo = tipo == Tipo::Dynaset ? 1 : 0;
    for (int i = primo; i < record.count(); ++i) {
        m_campi << record.fieldName(i);
        m_indici.insert(record.fieldName(i), i - primo);
        m_indiciMinuscoli.insert(record.fieldName(i).toLower(), i - primo);
    }

    if (tipo == Tipo::SoloAvanti) {
        m_suRiga = q.next();
        if (!m_suRiga && q.lastError().isValid()) {
            const Errore e = ErroreDa(q.lastError());
            return fallisci(e.numero, e.descrizione);
        }
        return true;
    }

    const int n = record.count();
    while (q.next()) {
        m_rowid << q.value(0).toLongLong();
        QVector<QVariant> riga(n - 1);
        for (int i = 1; i < n; ++i) {
            riga[i - 1] = q.value(i);
        }
        m_righe << std::move(riga);
    }
    if (q.lastError().isValid()) {
        const Errore e = ErroreDa(q.lastError());
        return fallisci(e.numero, e.descrizione);
    }
    m_query.reset(); // the rows are held: the statement goes back for the next one
    return true;
}

bool Recordset::eof() const
{
    if (m_tipo == Tipo::SoloAvanti) {
        return !m_suRiga;
    }
    return m_posizione >= m_righe.size();
}

bool Recordset::muoviProssimo()
{
    if (eof()) {
        return fallisci(ErroreNessunaRiga, QStringLiteral("Nessun record corrente."));
    }
    m_modo = Modo::Nessuno;
    if (m_tipo == Tipo::SoloAvanti) {
        m_suRiga = m_query->query().next();
        if (!m_suRiga && m_query->query().lastError().isValid()) {
            const Errore e = ErroreDa(m_query->query().lastError());
            return fallisci(e.numero, e.descrizione);
        }
        return true;
    }
    ++m_posizione;
    return true;
}

bool Recordset::muoviPrimo()
{
    if (m_tipo != Tipo::Dynaset) {
        return fallisci(ErroreNonAggiornabile, QStringLiteral("Operazione non consentita su questo recordset."));
    }
    m_modo = Modo::Nessuno;
    m_posizione = 0;
    return true;
}

bool Recordset::muoviUltimo()
{
    if (m_tipo != Tipo::Dynaset) {
        return fallisci(ErroreNonAggiornabile, QStringLiteral("Operazione non consentita su questo recordset."));
    }
    m_modo = Modo::Nessuno;
    m_posizione = m_righe.isEmpty() ? 0 : m_righe.size() - 1;
    return true;
}

int Recordset::conteggio() const
{
    return m_tipo == Tipo::Dynaset ? int(m_righe.size()) : (m_suRiga ? 1 : 0);
}

int Recordset::indice(const QString &campo) const
{
    // Most callers spell the name as the table does: only the others pay for the case folding.
    const auto esatto = m_indici.constFind(campo);
    return esatto != m_indici.cend() ? *esatto : m_indiciMinuscoli.value(campo.toLower(), -1);
}

QVariant Recordset::valore(const QString &campo) const
{
    const int i = indice(campo);
    if (i < 0) {
        m_errore = {ErroreCampoMancante, QStringLiteral("Elemento non trovato nell'insieme: %1").arg(campo)};
        return {};
    }
    if (m_modo != Modo::Nessuno) {
        return m_buffer.at(i);
    }
    if (eof()) {
        m_errore = {ErroreNessunaRiga, QStringLiteral("Nessun record corrente.")};
        return {};
    }
    return m_tipo == Tipo::SoloAvanti ? m_query->query().value(i) : m_righe.at(m_posizione).at(i);
}

QString Recordset::testo(const QString &campo) const
{
    return ComeTesto(valore(campo));
}

bool Recordset::aggiungiNuovo()
{
    if (m_tipo != Tipo::Dynaset) {
        return fallisci(ErroreNonAggiornabile,
                        QStringLiteral("Impossibile aggiornare. Database o oggetto di sola lettura."));
    }
    m_modo = Modo::Nuovo;
    m_buffer = QVector<QVariant>(m_campi.size());
    m_cambiati = QVector<bool>(m_campi.size(), false);
    return true;
}

bool Recordset::modifica()
{
    if (m_tipo != Tipo::Dynaset) {
        return fallisci(ErroreNonAggiornabile,
                        QStringLiteral("Impossibile aggiornare. Database o oggetto di sola lettura."));
    }
    if (eof()) {
        return fallisci(ErroreNessunaRiga, QStringLiteral("Nessun record corrente."));
    }
    m_modo = Modo::Modifica;
    m_buffer = m_righe.at(m_posizione);
    m_cambiati = QVector<bool>(m_campi.size(), false);
    return true;
}

bool Recordset::imposta(const QString &campo, const QVariant &valore)
{
    if (m_modo == Modo::Nessuno) {
        return fallisci(ErroreSenzaModifica, QStringLiteral("Aggiornamento senza AddNew o Edit."));
    }
    const int i = indice(campo);
    if (i < 0) {
        return fallisci(ErroreCampoMancante, QStringLiteral("Elemento non trovato nell'insieme: %1").arg(campo));
    }
    m_buffer[i] = ValoreArchivio(valore);
    m_cambiati[i] = true;
    return true;
}

void Recordset::annullaModifica()
{
    m_modo = Modo::Nessuno;
    m_buffer.clear();
    m_cambiati.clear();
}

bool Recordset::rileggiRiga(qint64 rowid, QVector<QVariant> *riga)
{
    Istruzione rilettura(m_db, QStringLiteral("SELECT * FROM %1 WHERE _rowid_=?").arg(Parentesi(m_tabella)));
    QSqlQuery &q = rilettura.query();
    if (!rilettura.pronta() || !rilettura.esegui({rowid}) || !q.next()) {
        const Errore e = rilettura.pronta() ? ErroreDa(q.lastError()) : m_db.ultimoErrore();
        return fallisci(e.numero ? e.numero : ErroreNessunaRiga, e.descrizione);
    }
    const QSqlRecord record = q.record();
    riga->fill(QVariant(), m_campi.size());
    for (int i = 0; i < m_campi.size(); ++i) {
        const int j = record.indexOf(m_campi.at(i));
        (*riga)[i] = j >= 0 ? q.value(j) : m_buffer.value(i);
    }
    return true;
}

bool Recordset::aggiorna()
{
    if (m_modo == Modo::Nessuno) {
        return fallisci(ErroreSenzaModifica, QStringLiteral("Aggiornamento senza AddNew o Edit."));
    }
    QStringList colonne;
    QVariantList valori;
    for (int i = 0; i < m_campi.size(); ++i) {
        if (m_cambiati.at(i)) {
            colonne << Parentesi(m_campi.at(i));
            valori << m_buffer.at(i);
        }
    }

    // The statements come from the database's prepared ones: a list that writes one row per
    // patient parses them once.
    const auto scrivi = [this](const QString &sql, const QVariantList &valori, qint64 *nuovo) {
        Istruzione istruzione(m_db, sql);
        if (!istruzione.pronta() || !istruzione.esegui(valori)) {
            const Errore e = m_db.ultimoErrore();
            return fallisci(e.numero, e.descrizione);
        }
        if (nuovo) {
            *nuovo = istruzione.query().lastInsertId().toLongLong();
        }
        return true;
    };
    qint64 rowid = 0;
    if (m_modo == Modo::Nuovo) {
        QString sql = QStringLiteral("INSERT INTO %1 ").arg(Parentesi(m_tabella));
        if (colonne.isEmpty()) {
            sql += QStringLiteral("DEFAULT VALUES");
        } else {
            sql += QStringLiteral("(%1) VALUES (%2)")
                       .arg(colonne.join(QLatin1Char(',')),
                            QStringList(colonne.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        }
        if (!scrivi(sql, valori, &rowid)) {
            return false;
        }
    } else {
        rowid = m_rowid.at(m_posizione);
        if (!colonne.isEmpty()) {
            valori << rowid;
            if (!scrivi(QStringLiteral("UPDATE %1 SET %2=? WHERE _rowid_=?")
                            .arg(Parentesi(m_tabella), colonne.join(QStringLiteral("=?,"))),
                        valori, nullptr)) {
                return false;
            }
        }
    }

    QVector<QVariant> riga;
    if (!rileggiRiga(rowid, &riga)) {
        return false;
    }
    if (m_modo == Modo::Nuovo) {
        m_righe << std::move(riga);
        m_rowid << rowid;
        m_posizione = m_righe.size() - 1;
    } else {
        m_righe[m_posizione] = std::move(riga);
    }
    annullaModifica();
    return true;
}

} // namespace lanvera::dao
