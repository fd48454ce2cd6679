#pragma once

#include "ConnessioneSqlite.h"
#include "RigheTesto.h"
#include "StampaQt.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

// Reading an archive's structure and rows in tests, through SQLite's own catalogue.
namespace lanvera::host::test {

class Archivio
{
public:
    explicit Archivio(const QString &percorso) : m_connessione(percorso)
    {
        QString errore;
        EXPECT_TRUE(m_connessione.apri(&errore)) << errore.toStdString();
    }

    QSqlDatabase &db() { return m_connessione.db(); }

    // Every row of a query, its fields as text joined by "|" (NULL as "<null>").
    QStringList righe(const QString &sql, const QVariantList &parametri = {})
    {
        return lanvera::test::Righe(db(), sql, parametri);
    }

    qint64 conta(const QString &sql, const QVariantList &parametri = {})
    {
        return righe(sql, parametri).value(0, QStringLiteral("-1")).toLongLong();
    }

    QStringList tabelle()
    {
        return righe(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                    "AND name <> 'sqlite_sequence' ORDER BY name"));
    }

    bool esisteTabella(const QString &nome) { return tabelle().contains(nome, Qt::CaseInsensitive); }

    // Every row of every table as text, in a stable order: equal dumps mean equal archives.
    QStringList dump()
    {
        QStringList testo;
        for (const QString &tabella : tabelle()) {
            testo << QStringLiteral("#") + tabella
                  << righe(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(tabella));
        }
        return testo;
    }

private:
    ConnessioneSqlite m_connessione;
};

// The tables of a patient's chart, each once: those the chart merge walks, and tblAnagrafica2.
inline QStringList TabelleCartella()
{
    return QStringLiteral(
               "tblAnagrafica2,tblDiario,tblProblemi,tblCertificatiINAIL,tblCertificatiINPS,tblRicette,"
               "DIABETE_tblStorico,tblallergie,tblAnamnesi,tblanamnesifamiliare,tblanamnesipatologica,tblAppunti,"
               "tbldiario pip,tblesameobiettivo,tblesami,tblesamisospesi,tblesenzioni,tblmemocertificati,tblmonitorbmi,"
               "tblmonitorfumo,tblmonitorglicemia,tblmonitoripertensione,tblmonitormetabolismolipidico,tblmonitorpt,"
               "tblpianoterapeutico,tblposologia,tblprescrizioni,tblproblemidiario,tblproblemisospetti,tblRapporti,"
               "tblRicettaFarmaci,tblRicettaEsami,tblRicettaVisite,tblrischiocardiovascolare,tblscadenze,tblscreening,"
               "tblstato,tblStatoFarmaci,tblvaccinazioni,tblvisitesospese,sole_tbllinkdiario,sole_tbllinkprescrizioni,"
               "SOLE_tblConsenso,SOLE_tblAllineati,DIABETE_tblDatiExtra,DIABETE_tblStoricoItems")
        .split(u',');
}

} // namespace lanvera::host::test
