#pragma once

#include <QList>
#include <QStringList>
#include <QVariant>
#include <QWidget>

class QLabel;
class QStackedLayout;
class QStandardItemModel;
class QTreeView;

// A list of records as the plug-in's windows show them: one row a record with a tag of its own,
// columns that share the width in fixed proportions, an optional check box in column 0, and
// "Non ci sono dati da visualizzare" in place of an empty list.
class ElencoRecord : public QWidget
{
    Q_OBJECT

public:
    ElencoRecord(const QStringList &colonne, const QList<int> &larghezze, QWidget *parent = nullptr);

    QTreeView *Vista() const { return m_vista; }
    QStandardItemModel *Modello() const { return m_modello; }
    QLabel *TestoVuoto() const { return m_vuoto; }

    // `spunta`: column 0 carries an unticked check box.
    void AggiungiRecord(const QStringList &celle, const QVariant &tag, bool spunta = false);
    int Records() const;
    QVariant Tag(int riga) const;
    QString Cella(int riga, int colonna) const;
    bool Spuntato(int riga) const;
    void Spunta(int riga, bool spuntato);
    // The selected record, -1 for none.
    int RigaSelezionata() const;
    void Seleziona(int riga);

protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

private:
    void AggiornaVuoto();
    void AdattaColonne();

    QList<int> m_larghezze;
    QStandardItemModel *m_modello = nullptr;
    QTreeView *m_vista = nullptr;
    QLabel *m_vuoto = nullptr;
    QStackedLayout *m_pagine = nullptr;
};
