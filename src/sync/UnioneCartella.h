#pragma once

#include "StatoMotore.h"
#include "clsPaziente.h"

#include <QHash>
#include <QString>

class PacchettoCartella;

namespace lanvera::dao {
class Database;
}

// Merges a chart package, or a colleague's modifications package, into the archive row by row:
// rows are matched by GUID, the newer row wins by LastUpdate, local keys are kept and the package's
// foreign keys are translated to them. One import is one transaction: applied whole or not at all.
class UnioneCartella
{
public:
    UnioneCartella(StatoMotore &stato, PacchettoCartella &pacchetto);

    // A whole chart. On return the patient's ID is his local ID (a new patient gets one).
    bool ImportaCartella(clsPaziente &paziente, const QString &testo);
    // The rows a colleague changed, with the colleague's name.
    bool ImportaModifiche(const clsPaziente &paziente, const QString &modificatoDa, const QString &testo);

private:
    StatoMotore &m_stato;
    PacchettoCartella &m_pacchetto;
    QHash<QString, qint32> m_mappaChiavi;
};
