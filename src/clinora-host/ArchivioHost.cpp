#include "ArchivioHost.h"

#include "Recordset.h"

using lanvera::dao::Recordset;

namespace {

class RecordHost : public clinora::Record
{
public:
    explicit RecordHost(lanvera::dao::Database &db) : m_rs(db) {}

    Recordset &rs() { return m_rs; }
    bool Eof() const override { return m_rs.eof(); }
    void MoveNext() override { m_rs.muoviProssimo(); }
    void MoveLast() override { m_rs.muoviUltimo(); }
    int RecordCount() const override { return m_rs.conteggio(); }
    QVariant Campo(const QString &nome) const override { return m_rs.haCampo(nome) ? m_rs.valore(nome) : QVariant(); }
    void ImpostaCampo(const QString &nome, const QVariant &valore) override { m_rs.imposta(nome, valore); }
    void CloseRecordset() override { m_rs.chiudi(); }

private:
    Recordset m_rs;
};

} // namespace

bool ArchivioHost::apri(const QString &percorso)
{
    m_errore.clear();
    return m_db.apri(percorso) || fallisci(m_db.ultimoErrore());
}

bool ArchivioHost::fallisci(const lanvera::dao::Errore &errore)
{
    m_errore = errore.testo();
    return false;
}

std::unique_ptr<clinora::Record> ArchivioHost::OpenRecordset(const QString &sql, int tipo)
{
    auto record = std::make_unique<RecordHost>(m_db);
    if (!record->rs().apri(sql, tipo == SoloAvanti ? Recordset::Tipo::SoloAvanti : Recordset::Tipo::Dynaset)) {
        fallisci(record->rs().ultimoErrore());
        return nullptr;
    }
    return record;
}

bool ArchivioHost::Execute(const QString &sql)
{
    const bool ok = m_db.esegui(sql);
    // A make-table statement leaves its target attached: it is let go at once, as the file is
    // the caller's to zip, move or delete.
    m_db.staccaDestinazione();
    return ok || fallisci(m_db.ultimoErrore());
}

bool ArchivioHost::ExecuteTrans(const QString &sql)
{
    if (!m_db.iniziaTransazione()) {
        return fallisci(m_db.ultimoErrore());
    }
    if (!m_db.esegui(sql)) {
        const lanvera::dao::Errore errore = m_db.ultimoErrore();
        m_db.annullaTransazione();
        return fallisci(errore);
    }
    return m_db.confermaTransazione() || fallisci(m_db.ultimoErrore());
}

std::unique_ptr<clinora::Record> ArchivioHost::OpenRecord(const QString &tabella, const QString &criterio)
{
    auto record = std::make_unique<RecordHost>(m_db);
    Recordset &rs = record->rs();
    const QString sql = QStringLiteral("SELECT * FROM %1%2")
                            .arg(lanvera::dao::Parentesi(tabella),
                                 criterio.isEmpty() ? QString() : QStringLiteral(" WHERE ") + criterio);
    if (!rs.apri(sql, Recordset::Tipo::Dynaset) || !(rs.eof() ? rs.aggiungiNuovo() : rs.modifica())) {
        fallisci(rs.ultimoErrore());
        return nullptr;
    }
    return record;
}

bool ArchivioHost::Update(clinora::Record &record)
{
    Recordset &rs = static_cast<RecordHost &>(record).rs();
    return rs.aggiorna() || fallisci(rs.ultimoErrore());
}
