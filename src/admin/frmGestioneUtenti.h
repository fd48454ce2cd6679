#pragma once

#include "modOrdano.h"

#include <QDateTime>
#include <QMainWindow>

#include <functional>

class QAction;
class QLabel;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// The list of archives that Sync walks, with the last run of each, the server address and the
// commands of the "Principale" tool bar.
class frmGestioneUtenti : public QMainWindow
{
    Q_OBJECT

public:
    // Tool bar ids.
    enum Comando
    {
        Nuovo = 1,
        Modifica = 2,
        Elimina = 3,
        Sincronizza = 4,
        Server = 5,
        Log = 6
    };
    // Grid columns.
    enum Colonna
    {
        ColDescrizione,
        ColFile,
        ColFine,
        ColEsito,
        NumeroColonne
    };

    frmGestioneUtenti(lanvera::dao::Database &lista, lanvera::Prompt &prompt, QWidget *parent = nullptr);
    ~frmGestioneUtenti() override;

    // Tests show the modal forms their own way, and fix the moment the rows are judged against.
    void ImpostaMostraModale(modOrdano::MostraModale mostra) { m_mostra = std::move(mostra); }
    void ImpostaOrologio(std::function<QDateTime()> adesso) { m_adesso = std::move(adesso); }

    // Reloads the grid from the list, keeping the selected archive selected.
    void RefreshLista();
    void MostraServer();
    void EseguiComando(int id);

    QTreeWidget *Griglia() const { return m_Grid1; }
    QToolBar *Barra() const { return m_barra; }
    QAction *Azione(int id) const;
    QString TestoPannello(int indice) const;
    // The row of an archive, null when the grid does not show it.
    QTreeWidgetItem *Riga(qint32 id) const;
    static qint32 IDRiga(const QTreeWidgetItem *riga);
    // True when the row stands out: the archive needs a look.
    static bool RigaSegnalata(const QTreeWidgetItem *riga);

private:
    void CostruisciBarra();
    void MenuOrdinamento(const QPoint &punto);
    QTreeWidgetItem *RigaSelezionata() const;
    void NuovoArchivio();
    void ModificaArchivio();
    void EliminaArchivio();
    void AvviaSincronizzazione();
    void ImpostaServer();
    void MostraLog();
    void Errore(const QString &testo);

    lanvera::dao::Database &m_lista;
    lanvera::Prompt &m_prompt;
    modOrdano::MostraModale m_mostra;
    std::function<QDateTime()> m_adesso;

    QToolBar *m_barra = nullptr;
    QTreeWidget *m_Grid1 = nullptr;
    QLabel *m_vuota = nullptr;
    QLabel *m_pannello[2] = {};
    QPushButton *m_cmdChiudi = nullptr;
};
