#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTabWidget;
namespace lanvera {
class Prompt;
namespace dao {
class Database;
}
} // namespace lanvera

// One archive of the list: its description and its path, checked and saved by ID.
class frmEditUtente : public QDialog
{
    Q_OBJECT

public:
    // `idArchivio` 0 makes a new row.
    frmEditUtente(lanvera::dao::Database &lista, lanvera::Prompt &prompt, qint32 idArchivio, QWidget *parent = nullptr);

    // True until a save succeeds; then the saved row's ID and what was saved.
    bool DialogoAnnullato() const { return m_annullato; }
    qint32 IDArchivio() const { return m_idArchivio; }
    QString TestoDialogo() const { return m_testo; }
    QString FileDialogo() const { return m_file; }

    // 0 description, 1 path.
    QLineEdit *Campo(int indice) const;
    // 0 Salva, 1 Chiudi, 2 Sfoglia.
    QPushButton *Pulsante(int indice) const;

    void Sfoglia();
    void Salva();

protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

private:
    void Messaggio(const QString &testo);

    lanvera::dao::Database &m_lista;
    lanvera::Prompt &m_prompt;
    qint32 m_idArchivio = 0;
    bool m_annullato = true;
    QString m_testo;
    QString m_file;

    QTabWidget *m_tab = nullptr;
    QLineEdit *m_Text1[2] = {};
    QPushButton *m_cmdPulsante[3] = {};
};
