#pragma once

#include "clsPaziente.h"

#include <QHash>
#include <QList>

// Patients keyed by their network key, in the order they were added; a key is taken once.
class ListaPazienti
{
public:
    // False, and nothing added, when the key is there already.
    bool aggiungi(const clsPaziente &paziente)
    {
        if (m_indice.contains(paziente.KeyPaziente)) {
            return false;
        }
        m_indice.insert(paziente.KeyPaziente, m_pazienti.size());
        m_pazienti.append(paziente);
        return true;
    }
    const clsPaziente *trova(const QString &chiave) const
    {
        const auto it = m_indice.constFind(chiave);
        return it == m_indice.cend() ? nullptr : &m_pazienti.at(*it);
    }
    // For changing a patient in place; his key stays as it is.
    clsPaziente *trova(const QString &chiave)
    {
        const auto it = m_indice.constFind(chiave);
        return it == m_indice.cend() ? nullptr : &m_pazienti[*it];
    }
    QList<clsPaziente> &pazienti() { return m_pazienti; }
    void svuota()
    {
        m_pazienti.clear();
        m_indice.clear();
    }
    qsizetype size() const { return m_pazienti.size(); }
    const QList<clsPaziente> &pazienti() const { return m_pazienti; }
    auto begin() const { return m_pazienti.cbegin(); }
    auto end() const { return m_pazienti.cend(); }

private:
    QList<clsPaziente> m_pazienti;
    QHash<QString, qsizetype> m_indice;
};
