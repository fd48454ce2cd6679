#pragma once

#include "Prompt.h"

#include <QList>
#include <QPrinter>
#include <QStringList>

namespace lanvera::test {

// Answers as a test tells it and writes down each question as "title icon text [buttons]" and each
// file or print dialog as "title|filter" or "stampa". The file dialogs give `file`; the print
// dialog points the printer at `pdf`, so only a print not refused leaves that file.
class PromptCopione : public Prompt
{
public:
    Risposta chiedi(const Messaggio &m) override
    {
        const char *icone[] = {"i", "?", "!", "x"};
        QString riga = m.titolo + QLatin1Char(' ') + QLatin1String(icone[int(m.icona)]) + QLatin1Char(' ') + m.testo;
        if (m.pulsanti == Pulsanti::SiNo) {
            riga += m.predefinita == Risposta::No ? QStringLiteral(" [Si/No*]") : QStringLiteral(" [Si*/No]");
        }
        domande << riga;
        return risposte.isEmpty() ? m.predefinita : risposte.takeFirst();
    }
    QString fileDaSalvare(const QString &titolo, const QString &filtro) override
    {
        dialoghi << titolo + QLatin1Char('|') + filtro;
        return file;
    }
    QString fileDaAprire(const QString &titolo, const QString &filtro, const QString &) override
    {
        dialoghi << titolo + QLatin1Char('|') + filtro;
        return file;
    }
    bool stampante(QPrinter &stampante) override
    {
        dialoghi << QStringLiteral("stampa");
        stampante.setOutputFormat(QPrinter::PdfFormat);
        stampante.setOutputFileName(pdf);
        return stampa;
    }

    QList<Risposta> risposte;
    QStringList domande;
    QStringList dialoghi;
    QString file;
    QString pdf;
    bool stampa = true;
};

} // namespace lanvera::test
