#pragma once

#include "ContrattoClinora.h"

#include <QHash>
#include <QList>
#include <QStringList>

namespace lanvera::test {

// The host as a test plays it: writes down each message as "title icon text [buttons]" and answers
// from a queue (the default button once it is empty); answers the dialogs it was given values for
// and leaves the others to the plug-in.
class RisposteTest : public clinora::Risposte
{
public:
    Risposta Messaggio(const QString &titolo, const QString &testo, Icona icona, Pulsanti pulsanti,
                       Risposta predefinita) override
    {
        const char *icone[] = {"i", "?", "!", "x"};
        QString riga = titolo + QLatin1Char(' ') + QLatin1String(icone[int(icona)]) + QLatin1Char(' ') + testo;
        if (pulsanti == Pulsanti::SiNo) {
            riga += predefinita == Risposta::No ? QStringLiteral(" [Si/No*]") : QStringLiteral(" [Si*/No]");
        }
        messaggi << riga;
        return risposte.isEmpty() ? predefinita : risposte.takeFirst();
    }

    bool Dialogo(const QString &nome, QVariantHash &valori) override
    {
        dialoghi << nome;
        if (!copione.contains(nome)) {
            return false;
        }
        valori = copione.take(nome);
        return true;
    }

    QList<Risposta> risposte;
    QStringList messaggi;
    QHash<QString, QVariantHash> copione;
    QStringList dialoghi;
};

} // namespace lanvera::test
