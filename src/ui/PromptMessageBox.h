#pragma once

#include "Prompt.h"

#include <QPointer>

class QWidget;

// The programs' prompt: real message boxes, the save and the print dialogs, over a parent window.
class PromptMessageBox : public lanvera::Prompt
{
public:
    explicit PromptMessageBox(QWidget *parent = nullptr);
    void impostaGenitore(QWidget *parent) { m_genitore = parent; }

    Risposta chiedi(const Messaggio &messaggio) override;
    QString fileDaSalvare(const QString &titolo, const QString &filtro) override;
    bool stampante(QPrinter &stampante) override;
    QString fileDaAprire(const QString &titolo, const QString &filtro, const QString &cartella) override;

    // "Testo|*.txt|Tutti|*.txt;*.log" as Qt writes it: "Testo (*.txt);;Tutti (*.txt *.log)". A
    // filter without bars is Qt's already.
    static QString FiltroQt(const QString &filtro);

private:
    QPointer<QWidget> m_genitore;
};
