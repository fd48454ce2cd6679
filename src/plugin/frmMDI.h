#pragma once

#include "ContrattoClinora.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <QWidget>

struct StatoPlugin;
class QTableView;

// The authorisation table as a grid: row 0 the doctors, column 0 the patients, every other cell
// "1" when that patient authorises that doctor. The column of list positions is not shown.
class ModelloAutorizzazioni : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ModelloAutorizzazioni(StatoPlugin &stato, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &indice, int ruolo = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &indice, const QVariant &valore, int ruolo = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &indice) const override;
    // The table was built anew.
    void ricarica();
    // Cells changed outside the grid.
    void aggiorna();

Q_SIGNALS:
    void modificato();

private:
    StatoPlugin &m_stato;
};

// The network panel: the grid of authorisations inside the host's child window, and the commands
// of its tool bar (ids 1 to 7) that the host forwards to Execute.
class frmMDI : public QWidget, public clinora::Pannello
{
    Q_OBJECT

public:
    enum Comando
    {
        Log = 1,
        Autorizza = 2,
        Nega = 3,
        Sincronizza = 4,
        Rileggi = 5,
        Password = 6,
        Rimuovi = 7
    };

    explicit frmMDI(StatoPlugin &stato, QWidget *parent = nullptr);
    ~frmMDI() override;

    void Execute(int id) override;
    void TabChanged() override {}
    void Reload() override;

    // The area that the host embeds.
    QWidget *picPanel() { return this; }
    QTableView *Grid1() const { return m_grid; }
    bool Modificato() const { return m_modificato; }
    // The panel is closing: unsent changes may be sent first.
    void QueryUnload();

private:
    void Imposta(const QString &valore);
    void AvviaSync();
    bool Operazione(int codice);
    void Avviso(const QString &testo);

    StatoPlugin &m_stato;
    ModelloAutorizzazioni m_modello;
    QTableView *m_grid = nullptr;
    QTimer m_timer;
    bool m_modificato = false;
};
