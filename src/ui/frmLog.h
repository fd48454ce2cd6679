#pragma once

#include <QDialog>

class QAction;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
namespace lanvera {
class Prompt;
struct ErroreFile;
} // namespace lanvera

// A log file shown as text, with Save, Print and Clear. The form keeps nothing of its own: the file
// on disk is the log. The plug-in shows "Lanvera.log" of the host, the administration "Quor.log";
// their product name titles the message boxes.
class frmLog : public QDialog
{
    Q_OBJECT

public:
    // Toolbar ids.
    enum Comando
    {
        Salva = 1,
        Azzera = 2,
        Stampa = 3
    };

    frmLog(const QString &file, const QString &prodotto, lanvera::Prompt &prompt, QWidget *parent = nullptr);
    ~frmLog() override;

    // What the callers do: the form, modally, or only a notice when there is no log yet.
    static void Visualizza(const QString &file, const QString &prodotto, lanvera::Prompt &prompt,
                           QWidget *parent = nullptr);

    void EseguiComando(int id);
    void SalvaLog();
    void StampaLog();
    void AzzeraLog();

private:
    QToolBar *CostruisciBarra();
    void CaricaLog();
    void AzioneScelta(QAction *azione);
    void MostraErrore(const lanvera::ErroreFile &errore, const QString &durante);

    QString m_file;
    QString m_prodotto;
    lanvera::Prompt &m_prompt;

    QPlainTextEdit *m_Text1 = nullptr;
    QPushButton *m_cmdChiudi = nullptr;
};
