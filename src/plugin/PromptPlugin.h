#pragma once

#include "ContrattoClinora.h"
#include "Prompt.h"

#include <QPointer>
#include <QWidget>

// The plug-in's prompt: its messages go to the host, which shows them or answers them from its
// script (no host: every message gets its default button); the save and print dialogs are the
// host's to answer first, the plug-in's own otherwise.
class PromptPlugin : public lanvera::Prompt
{
public:
    explicit PromptPlugin(clinora::Risposte *risposte, QWidget *parent = nullptr);

    Risposta chiedi(const Messaggio &messaggio) override;
    // Dialog "salva" {titolo, filtro}; the host's answer is "file".
    QString fileDaSalvare(const QString &titolo, const QString &filtro) override;
    // Dialog "stampa"; the host's answer prints to the PDF file "pdf", or nowhere without one.
    bool stampante(QPrinter &stampante) override;

    // A notice of the plug-in: exclamation, OK, the product name as the title.
    void avviso(const QString &testo);
    // A question of the plug-in: Yes and No, No as the default.
    bool domanda(const QString &testo);

private:
    clinora::Risposte *m_risposte;
    QPointer<QWidget> m_genitore;
};
