#pragma once

#include "Prompt.h"

#include <QPointer>

class QWidget;

// The programs' prompt: real message boxes and the save dialog, over a parent window.
class PromptMessageBox : public lanvera::Prompt
{
public:
    explicit PromptMessageBox(QWidget *parent = nullptr);
    void impostaGenitore(QWidget *parent) { m_genitore = parent; }

    Risposta chiedi(const Messaggio &messaggio) override;
    QString fileDaSalvare(const QString &titolo, const QString &filtro) override;

private:
    QPointer<QWidget> m_genitore;
};
