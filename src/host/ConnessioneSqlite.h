#pragma once

#include <QSqlDatabase>
#include <QString>

namespace lanvera::host {

// One SQLite file opened under a connection name of its own. The destructor closes it and
// removes the name from Qt's registry, so that nothing lingers after the work is done.
// Queries made on db() must be gone before the object is destroyed.
class ConnessioneSqlite
{
public:
    explicit ConnessioneSqlite(const QString &percorso);
    ~ConnessioneSqlite();
    Q_DISABLE_COPY_MOVE(ConnessioneSqlite)

    [[nodiscard]] bool apri(QString *errore);
    QSqlDatabase &db() { return m_db; }
    const QString &percorso() const { return m_percorso; }

private:
    QString m_percorso;
    QString m_nome;
    QSqlDatabase m_db;
};

} // namespace lanvera::host
