#pragma once

#include <QString>

// One patient as the synchronisation sees him, from the server's list or the archive's.
struct clsPaziente
{
    qint32 ID = 0;       // row number in the archive (0 for a server row)
    QString KeyPaziente; // the network key
    QString CF;
    QString Tessera;
    QString Cognome;
    QString Nome;
    QString Indirizzo;
    QString Citta;
    QString CAP;
    QString Provincia;
    QString Sesso;
    QString LuogoNascita;
    QString DataNascita; // "dd/mm/yyyy"
    QString CFMedico;
    QString IDUpdate; // update stamp (GUID text)
    QString Autorizzazioni;
    qint32 IDDatabase = 0;
    bool Allineato = false;
    qint32 Revocato = 0; // 0 active, 1 revoked, 2 revoked because of death
    QString NuovaAutorizzazione;
    QString Medico;
    QString CFMedicoPrecedente;
    bool Elimina = false; // marked by the plug-in for removal from the server
};
