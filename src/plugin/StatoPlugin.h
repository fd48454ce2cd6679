#pragma once

#include "ConnessioneServer.h"
#include "ContrattoClinora.h"
#include "ListaPazienti.h"
#include "StatoMotore.h"
#include "clsPaziente.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One doctor of the group, as the authorisation table shows him.
struct clsMedico
{
    QString CF;
    QString Cognome;
    QString Nome;
    qint32 Progressivo = 0;
};

// The request of one operation: filled by the caller, read back after the operation window closed.
struct RichiestaOperazione
{
    enum Codice : qint16
    {
        RileggiAutorizzazioni = 1,
        InviaAutorizzazioni = 2,
        CercaSuServer = 3,
        ScaricaPaziente = 4,
        InviaModifiche = 5,
        Accesso = 6,
        Rimozione = 7
    };

    qint16 CodiceOperazione = 0;
    QString ChiavePaziente;
    QString ElencoTabelle;
    QString NomePaziente;
    bool EsitoOperazione = false;
    QString IDPazienteImportato;
    QString ArchivioRete;
    QString ChiaveUlmetCorrente;
    // Operation 5: the package it built and the chart's owner, for the outbox when sending fails.
    QString ModificheCreate;
    QString TitolareModifiche;
};

// What the parts of the loaded plug-in share: the host's values, the doctor's identity after the
// last access, the working collections and the authorisation table.
struct StatoPlugin
{
    // From the host.
    clinora::ClsDB *db = nullptr;
    clinora::Risposte *risposte = nullptr;
    QString disk;
    QString userDisk;
    QString commonDisk;
    QString versione;
    bool iniHostPresente = false;
    bool satpeAttivo = false;
    // The host's main window, for the switch to a downloaded chart.
    clinora::FinestraPrincipale *principale = nullptr;
    // The region the host last named: its exemption catalogue applies to imported charts.
    qint32 idLocazione = 0;

    RichiestaOperazione richiesta;

    // The doctor, as the last access identified him.
    QString cf;
    qint32 idGruppo = 0;
    qint32 progressivo = 0;
    qint32 id = 0;
    QString password; // encrypted

    QList<clsMedico> medici;
    ListaPazienti pazientiServer;
    ListaPazienti pazientiLocali;
    ListaPazienti risultatiRicerca;

    // Cells (column, row): row 0 the doctors, column 0 the patients, column D+1 the patient's
    // position in the local list.
    QList<QStringList> tabella;
    QString cella(int colonna, int riga) const { return tabella.value(colonna).value(riga); }
    void impostaCella(int colonna, int riga, const QString &testo)
    {
        if (colonna < tabella.size() && riga < tabella.at(colonna).size()) {
            tabella[colonna][riga] = testo;
        }
    }
    int colonne() const { return int(tabella.size()); }
    int righe() const { return tabella.isEmpty() ? 0 : int(tabella.first().size()); }

    // The chart tables, loaded once; the server's clock offset of the last access.
    StatoMotore motore;
    // This computer's clock, as the access compares it with the server's (the tests set it).
    std::function<QDateTime()> adesso = [] { return QDateTime::currentDateTime(); };

    // The server connection of the operations: kept while it answers, so that each operation does
    // not open one of its own.
    lanvera::ConnessioneServer server;
};
