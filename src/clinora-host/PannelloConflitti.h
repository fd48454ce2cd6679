#pragma once

#include "modConflitti.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QTableWidget;

namespace lanvera::dao {
class Database;
}

// The part of a chart window that shows the patient's conflicts: the rows of his chart that two
// doctors changed apart from each other. A list of them and, for the chosen one, both versions
// field by field, the differing fields marked, and the chosen field's discarded text in a box it
// can be copied from. Read-only: the doctor copies what he wants to keep by hand.
class PannelloConflitti : public QWidget
{
    Q_OBJECT

public:
    // Columns of the list.
    enum Colonna
    {
        Quando,
        Tabella,
        AutoreVincente,
        DataVincente,
        AutorePerdente,
        DataPerdente,
        Colonne
    };

    explicit PannelloConflitti(QWidget *parent = nullptr);
    ~PannelloConflitti() override;

    // Reads the patient's conflicts; their number (the panel hides itself when there are none).
    int Carica(lanvera::dao::Database &archivio, qint32 idPaziente);

    QTableWidget *Elenco() const { return m_elenco; }
    QTableWidget *Confronto() const { return m_confronto; }
    QPlainTextEdit *TestoScartato() const { return m_testoScartato; }
    // The fields of the chosen conflict whose two versions differ.
    QStringList CampiDiversi() const;

private:
    void MostraConflitto(int riga);
    void MostraCampo(int riga);

    QTableWidget *m_elenco = nullptr;
    QTableWidget *m_confronto = nullptr;
    QPlainTextEdit *m_testoScartato = nullptr;
    QList<lanvera::Conflitto> m_conflitti;
    // The columns of each chart table, in the order of the archive's definition.
    QHash<QString, QStringList> m_campiTabelle;
};
