#pragma once

#include "ContrattoClinora.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QWidget>

#include <functional>

class ArchivioHost;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class PannelloConflitti;
class QPushButton;
class QTableWidget;
class QToolBar;

// A child window of the main window, as plug-ins fill it: a tool bar whose buttons go to the
// plug-in's panel, and the plug-in's area below it.
class FinestraFigliaHost : public clinora::FinestraFiglia
{
    Q_OBJECT

public:
    FinestraFigliaHost(QMdiArea &area, QObject *parent);
    ~FinestraFigliaHost() override;

    QString Name() const override { return QStringLiteral("frmchild"); }
    void HandleForm(clinora::Pannello *pannello) override { m_pannello = pannello; }
    void ImpostaIcona(const QIcon &icona) override;
    void ImpostaCaption(const QString &caption) override;
    void InitGui(const QString &identificatore, const QString &titolo, QWidget *area) override;
    void AddToolbarButton(int id, const QString &caption, const QString &tooltip, bool gruppo,
                          const QIcon &immagine) override;
    void Show() override;
    void SetFocus() override;
    void Unload() override;

    QWidget *widget() const;
    QToolBar *barra() const { return m_barra; }
    bool scaricata() const { return m_scaricata; }

protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

private:
    QPointer<QMdiSubWindow> m_finestra;
    QWidget *m_contenuto = nullptr;
    QToolBar *m_barra = nullptr;
    clinora::Pannello *m_pannello = nullptr;
    bool m_scaricata = false;
};

// The host's patient list: a table whose row 0 is its header.
class ListaHost : public clinora::ListaPazienti
{
public:
    explicit ListaHost(QTableWidget &tabella) : m_tabella(tabella) {}

    int Width() const override;
    void Redraw(bool ridisegna) override;
    int Row() const override;
    void SetRow(int riga) override;
    int Rows() const override;
    void SetRows(int righe) override;
    void AddItem(const QString &testo) override;
    bool ColonnaVisibile(int colonna) const override;
    void ImpostaColonnaVisibile(int colonna, bool visibile) override;
    int LarghezzaColonna(int colonna) const override;
    void ImpostaLarghezzaColonna(int colonna, int larghezza) override;
    QVariant TagRiga(int riga) const override;
    void ImpostaTagRiga(int riga, const QVariant &tag) override;
    QString Cella(int riga, int colonna) const override;

private:
    QTableWidget &m_tabella;
};

// The patient search window: its own search lists the archive's patients whose "Cognome Nome"
// starts with the text; the plug-in adds the server's.
class frmRicercaPaziente : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Colonne = 17;

    explicit frmRicercaPaziente(ArchivioHost &archivio, QWidget *parent = nullptr);
    ~frmRicercaPaziente() override;

    clinora::FinestraRicerca &finestra();
    QLineEdit *txtCerca() const { return m_txtCerca; }
    QTableWidget *TList1() const { return m_lista; }
    QPushButton *cmdAvanti() const { return m_cmdAvanti; }
    QPushButton *cmdCercaSuServer() const { return m_cmdCercaSuServer; }
    QPushButton *cmdGestione() const { return m_cmdGestione; }

    // The archive's own search.
    void Cerca();

Q_SIGNALS:
    // Forward on a row: its number (1 = the first row under the header) and its local ID (-1: none).
    void Avanti(int riga, int idPaziente);

private:
    class Adattatore;

    ArchivioHost &m_archivio;
    QLineEdit *m_txtCerca = nullptr;
    QTableWidget *m_lista = nullptr;
    QPushButton *m_cmdAvanti = nullptr;
    QPushButton *m_cmdCercaSuServer = nullptr;
    QPushButton *m_cmdGestione = nullptr;
    Adattatore *m_adattatore = nullptr;
};

// The chart window of one patient: his diary, where an entry can be added and saved with the
// host's bookkeeping, and his conflicts when he has any.
class frmAmbulatorio : public QWidget
{
    Q_OBJECT

public:
    frmAmbulatorio(ArchivioHost &archivio, qint32 idPaziente, QWidget *parent = nullptr);
    ~frmAmbulatorio() override;

    clinora::FinestraCartella &finestra();
    qint32 idPaziente() const { return m_idPaziente; }
    // A diary entry of today with that text, saved at once.
    bool AggiungiDiario(const QString &testo, QString *errore = nullptr);
    // The text of the diary entry with that ID, saved at once.
    bool ModificaDiario(qint32 id, const QString &testo, QString *errore = nullptr);
    PannelloConflitti *conflitti() const { return m_conflitti; }

protected:
    void closeEvent(QCloseEvent *evento) override;

private:
    class Adattatore;
    void Carica();

    ArchivioHost &m_archivio;
    qint32 m_idPaziente;
    QLabel *m_nome = nullptr;
    QTableWidget *m_diario = nullptr;
    QLineEdit *m_nuovo = nullptr;
    PannelloConflitti *m_conflitti = nullptr;
    Adattatore *m_adattatore = nullptr;
};

// The host's main window: its child windows, the search window, the plug-in's menu commands.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(ArchivioHost &archivio, QWidget *parent = nullptr);
    ~frmMain() override;

    clinora::FinestraPrincipale &finestra();
    QMdiArea *area() const { return m_area; }
    frmRicercaPaziente *ricerca() const { return m_ricerca; }
    frmAmbulatorio *cartella() const { return m_cartella; }
    QList<FinestraFigliaHost *> figlie() const;

    // Opens the chart window of a patient (closing the one open).
    frmAmbulatorio *ApriCartella(qint32 idPaziente);
    void ChiudiCartella();
    void ChiudiTutto();

    // What the host does when its windows open and its menu is used: set by the program.
    std::function<void(clinora::Finestra &)> finestraAperta;
    std::function<void(const QVariantList &)> comandoMenu;
    // The switch to another archive and the preparation of one, as the program does them.
    std::function<bool(const QString &)> cambiaArchivio;
    std::function<bool(const QString &, const QString &)> aggiornaArchivio;

private:
    class Adattatore;

    ArchivioHost &m_archivio;
    QMdiArea *m_area = nullptr;
    QPointer<frmRicercaPaziente> m_ricerca;
    QPointer<frmAmbulatorio> m_cartella;
    Adattatore *m_adattatore = nullptr;
};
