#pragma once

#include "modOrdano.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for one text: a header with a title and a hint, the question, the field, OK and Annulla.
class frmInputBox : public QDialog
{
    Q_OBJECT

public:
    explicit frmInputBox(QWidget *parent = nullptr);

    void Imposta(const QString &domanda, const QString &titolo, const QString &predefinito);

    // True until OK confirms; the text confirmed.
    bool DialogoAnnullato() const { return m_annullato; }
    QString TestoDialogo() const { return m_testo; }

    QLineEdit *Testo() const { return m_Text1; }
    // 0 OK, 1 Annulla.
    QPushButton *Pulsante(int indice) const;

private:
    void Conferma();

    QLabel *m_titolo = nullptr;
    QLabel *m_domanda = nullptr;
    QLineEdit *m_Text1 = nullptr;
    QPushButton *m_cmdPulsante[2] = {};
    bool m_annullato = true;
    QString m_testo;
};

// The confirmed text, or an empty text when the dialog was cancelled (`annullato` tells an empty
// answer from a cancel).
QString ChiediTesto(const QString &domanda, const QString &titolo, const QString &predefinito,
                    bool *annullato = nullptr, QWidget *genitore = nullptr,
                    const modOrdano::MostraModale &mostra = modOrdano::MostraConExec());
