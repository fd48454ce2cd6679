#pragma once

#include "ContrattoClinora.h"
#include "Database.h"

#include <QString>

// The archive that the host has open, as its plug-ins reach it.
class ArchivioHost : public clinora::ClsDB
{
public:
    bool apri(const QString &percorso);
    void chiudi() { m_db.chiudi(); }
    bool aperto() const { return m_db.aperto(); }
    lanvera::dao::Database &database() { return m_db; }

    QString Name() const override { return m_db.percorso(); }
    QSqlDatabase DB() const override { return m_db.connessione(); }
    std::unique_ptr<clinora::Record> OpenRecordset(const QString &sql, int tipo = Dynaset) override;
    bool Execute(const QString &sql) override;
    bool ExecuteTrans(const QString &sql) override;
    std::unique_ptr<clinora::Record> OpenRecord(const QString &tabella, const QString &criterio) override;
    bool Update(clinora::Record &record) override;
    QString UltimoErrore() const override { return m_errore; }

private:
    bool fallisci(const lanvera::dao::Errore &errore);

    lanvera::dao::Database m_db;
    QString m_errore;
};
