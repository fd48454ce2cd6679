#pragma once

#include <QString>

class QPrinter;

namespace lanvera {

// A message box the engines need answered: the programs show a real one, headless runs and tests
// answer through their own implementation.
class Prompt
{
public:
    enum class Icona
    {
        Informazione,
        Domanda,
        Esclamazione,
        Critico
    };
    enum class Pulsanti
    {
        Ok,
        SiNo
    };
    enum class Risposta
    {
        Ok,
        Si,
        No
    };

    struct Messaggio
    {
        QString titolo;
        QString testo;
        Icona icona = Icona::Informazione;
        Pulsanti pulsanti = Pulsanti::Ok;
        Risposta predefinita = Risposta::Ok;
    };

    virtual ~Prompt() = default;
    virtual Risposta chiedi(const Messaggio &messaggio) = 0;
    // A file name to save to (the save dialog: it asks before overwriting); empty when cancelled.
    // `filtro` is Qt's own form or descriptions and patterns after bars: "File di testo|*.txt".
    virtual QString fileDaSalvare(const QString &titolo, const QString &filtro) = 0;
    // The print dialog over `stampante` (default settings): true to print, false when cancelled.
    virtual bool stampante(QPrinter &stampante) = 0;
    // An existing file to open, starting in `cartella`; empty when cancelled. Nobody but the
    // programs' own prompt has a file to offer, hence the empty default.
    virtual QString fileDaAprire(const QString &titolo, const QString &filtro, const QString &cartella)
    {
        Q_UNUSED(titolo);
        Q_UNUSED(filtro);
        Q_UNUSED(cartella);
        return {};
    }

    // A confirmation: question icon, Yes and No, No as the default.
    Risposta conferma(const QString &titolo, const QString &testo)
    {
        return chiedi({titolo, testo, Icona::Domanda, Pulsanti::SiNo, Risposta::No});
    }
};

// Nobody is there to answer: every message gets its default button.
class PromptNonPresidiato : public Prompt
{
public:
    Risposta chiedi(const Messaggio &messaggio) override { return messaggio.predefinita; }
    QString fileDaSalvare(const QString &, const QString &) override { return {}; }
    bool stampante(QPrinter &) override { return false; }
};

} // namespace lanvera
