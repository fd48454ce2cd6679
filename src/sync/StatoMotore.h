#pragma once

#include "clsTabelle.h"

#include <QList>
#include <QString>

#include <functional>

namespace lanvera::dao {
class Database;
}

// What the synchronisation engine shares with its inner steps for the archive in progress.
struct StatoMotore
{
    // The archive being synchronised; null between archives.
    lanvera::dao::Database *archivio = nullptr;
    // Set by a cancel request; the steps test it between patients and between tables.
    bool annullato = false;
    // The reason of the step that failed.
    QString messaggioErrore;
    // Set by a whole-chart import when this archive holds rows that the server's chart lacks.
    bool reinviaCartella = false;
    // Set by a whole-chart import when the chart that came back is this archive's chart as it
    // stands (its own upload, whose local marks were lost): nothing of it is left to send.
    bool cartellaComeInviata = false;
    // The tables of a chart, loaded once from "Cartella.sql".
    QList<clsTabelle> tabelle;
    // Writes one line to the archive log (and to the window); error lines count.
    std::function<void(const QString &messaggio, bool errore)> log;
    // Lets pending events run, so that Stop works during long steps.
    std::function<void()> attendiEventi;

    void scrivi(const QString &messaggio, bool errore = false) const
    {
        if (log) {
            log(messaggio, errore);
        }
    }
    void cedi() const
    {
        if (attendiEventi) {
            attendiEventi();
        }
    }
};
