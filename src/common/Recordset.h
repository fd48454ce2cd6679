#pragma once

#include "Database.h"

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <optional>

namespace lanvera::dao {

// The rows of one query on a Database, read one at a time (forward-only), or held with their
// identity so that they can be edited and new rows added (dynaset). A dynaset must select from one
// table. Field names match without regard to letter case. The recordset closes itself.
class Recordset
{
public:
    enum class Tipo
    {
        SoloAvanti,
        Dynaset
    };

    explicit Recordset(Database &db);
    ~Recordset();
    Q_DISABLE_COPY_MOVE(Recordset)

    bool apri(const QString &sql, Tipo tipo = Tipo::SoloAvanti, const QVariantList &valori = {});
    void chiudi();

    // True when there is no current row (an empty result, or past the last row).
    bool eof() const;
    bool muoviProssimo();
    // Dynaset only.
    bool muoviPrimo();
    bool muoviUltimo();
    int conteggio() const;

    QStringList campi() const { return m_campi; }
    bool haCampo(const QString &campo) const { return indice(campo) >= 0; }
    // The current row's value (while adding or editing: the value being written).
    QVariant valore(const QString &campo) const;
    QString testo(const QString &campo) const;

    // Dynaset only: start a new row or an edit of the current one, set values, then write them.
    // After aggiorna() the written row is the current one, so that a new row's counter is readable.
    bool aggiungiNuovo();
    bool modifica();
    bool imposta(const QString &campo, const QVariant &valore);
    bool aggiorna();
    void annullaModifica();
    bool inModifica() const { return m_modo != Modo::Nessuno; }

    const Errore &ultimoErrore() const;

private:
    enum class Modo
    {
        Nessuno,
        Nuovo,
        Modifica
    };

    int indice(const QString &campo) const;
    bool fallisci(int numero, const QString &descrizione);
    bool rileggiRiga(qint64 rowid, QVector<QVariant> *riga);

    Database &m_db;
    Tipo m_tipo = Tipo::SoloAvanti;
    QString m_tabella;
    QStringList m_campi;
    QHash<QString, int> m_indici;          // name as the query gives it -> column
    QHash<QString, int> m_indiciMinuscoli; // lower-case name -> column

    // forward-only
    std::optional<Istruzione> m_query;
    bool m_suRiga = false;

    // dynaset
    QVector<QVector<QVariant>> m_righe;
    QVector<qint64> m_rowid;
    qsizetype m_posizione = 0;

    Modo m_modo = Modo::Nessuno;
    QVector<QVariant> m_buffer;
    QVector<bool> m_cambiati;
    mutable Errore m_errore;
};

} // namespace lanvera::dao
