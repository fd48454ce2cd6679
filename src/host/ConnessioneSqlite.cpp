#include "ConnessioneSqlite.h"

#include <QSqlError>

#include <atomic>

using namespace Qt::StringLiterals;

namespace lanvera::host {

namespace {
QString nuovoNomeConnessione()
{
    static std::atomic<quint64> contatore{0};
    return u"lanvera.host.%1"_s.arg(++contatore);
}
} // namespace

ConnessioneSqlite::ConnessioneSqlite(const QString &percorso) : m_percorso(percorso), m_nome(nuovoNomeConnessione())
{
    m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_nome);
    m_db.setDatabaseName(percorso);
}

ConnessioneSqlite::~ConnessioneSqlite()
{
    if (m_db.isOpen()) {
        m_db.close();
    }
    // The registry refuses to forget a connection that a QSqlDatabase still refers to.
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_nome);
}

bool ConnessioneSqlite::apri(QString *errore)
{
    if (!m_db.isValid()) {
        if (errore) {
            *errore = u"Driver QSQLITE non disponibile"_s;
        }
        return false;
    }
    if (!m_db.open()) {
        if (errore) {
            *errore = u"Apertura di %1: %2"_s.arg(m_percorso, m_db.lastError().text());
        }
        return false;
    }
    return true;
}

} // namespace lanvera::host
