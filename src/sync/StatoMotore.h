#pragma once

#include "clsTabelle.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

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
    // The server's clock less this computer's real clock, in milliseconds, read at login; empty
    // when the server's clock could not be read.
    std::optional<qint64> scartoServerMs;
    // Conflicts recorded by the merges of the archive in progress.
    int conflitti = 0;
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
    // The server's time now, as well as this computer knows it (its own clock when unknown).
    QDateTime oraServer() const { return QDateTime::currentDateTime().addMSecs(scartoServerMs.value_or(0)); }
    void cedi() const
    {
        if (attendiEventi) {
            attendiEventi();
        }
    }
};
