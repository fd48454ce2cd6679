#pragma once

#include "ConnessioneSqlite.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

// Reading an archive's structure and rows in tests, through SQLite's own catalogue.
namespace lanvera::host::test {

struct Colonna
{
    QString nome;
    QString tipo;
    bool nonNullo = false;
    QString predefinito;
    bool chiave = false;
};

class Archivio
{
public:
    explicit Archivio(const QString &percorso) : m_connessione(percorso)
    {
        QString errore;
        m_aperto = m_connessione.apri(&errore);
        EXPECT_TRUE(m_aperto) << errore.toStdString();
    }

    QSqlDatabase &db() { return m_connessione.db(); }

    QList<QVariantList> righe(const QString &sql, const QVariantList &parametri = {})
    {
        QSqlQuery query(db());
        query.setForwardOnly(true);
        if (!query.prepare(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return {};
        }
        for (const QVariant &parametro : parametri) {
            query.addBindValue(parametro);
        }
        if (!query.exec()) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return {};
        }
        QList<QVariantList> risultato;
        while (query.next()) {
            QVariantList riga;
            for (int i = 0; i < query.record().count(); ++i) {
                riga.append(query.value(i));
            }
            risultato.append(riga);
        }
        return risultato;
    }

    QVariant valore(const QString &sql, const QVariantList &parametri = {})
    {
        const QList<QVariantList> tutte = righe(sql, parametri);
        return tutte.isEmpty() || tutte.first().isEmpty() ? QVariant() : tutte.first().first();
    }

    qint64 conta(const QString &sql, const QVariantList &parametri = {}) { return valore(sql, parametri).toLongLong(); }

    bool esegui(const QString &sql)
    {
        QSqlQuery query(db());
        const bool ok = query.exec(sql);
        EXPECT_TRUE(ok) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return ok;
    }

    QStringList tabelle()
    {
        QStringList nomi;
        for (const QVariantList &riga :
             righe(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'sqlite_sequence' "
                                  "ORDER BY name"))) {
            nomi.append(riga.first().toString());
        }
        return nomi;
    }

    bool esisteTabella(const QString &nome)
    {
        return conta(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ? "
                                    "COLLATE NOCASE"),
                     {nome}) == 1;
    }

    QList<Colonna> colonne(const QString &tabella)
    {
        QList<Colonna> elenco;
        for (const QVariantList &riga :
             righe(QStringLiteral("SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?)"),
                   {tabella})) {
            elenco.append({riga[0].toString(), riga[1].toString(), riga[2].toInt() != 0, riga[3].toString(),
                           riga[4].toInt() != 0});
        }
        return elenco;
    }

    QStringList nomiColonne(const QString &tabella)
    {
        QStringList nomi;
        for (const Colonna &c : colonne(tabella)) {
            nomi.append(c.nome);
        }
        return nomi;
    }

    // The column lists of the table's indexes.
    QList<QStringList> indici(const QString &tabella)
    {
        QList<QStringList> elenco;
        for (const QVariantList &indice : righe(QStringLiteral("SELECT name FROM pragma_index_list(?)"), {tabella})) {
            QStringList colonneIndice;
            for (const QVariantList &colonna :
                 righe(QStringLiteral("SELECT name FROM pragma_index_info(?) ORDER BY seqno"), {indice.first()})) {
                colonneIndice.append(colonna.first().toString());
            }
            elenco.append(colonneIndice);
        }
        return elenco;
    }

    // Every row of every table as text, in a stable order: equal dumps mean equal archives.
    QStringList dump()
    {
        QStringList testo;
        for (const QString &tabella : tabelle()) {
            testo.append(QStringLiteral("#") + tabella);
            for (const QVariantList &riga : righe(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(tabella))) {
                QStringList campi;
                for (const QVariant &campo : riga) {
                    campi.append(campo.isNull() ? QStringLiteral("<null>") : campo.toString());
                }
                testo.append(campi.join(u'|'));
            }
        }
        return testo;
    }

private:
    ConnessioneSqlite m_connessione;
    bool m_aperto = false;
};

// The tables that the chart merge walks, with their names as it writes them.
inline const QStringList &TabelleUnione()
{
    static const QStringList tabelle = {
        QStringLiteral("tblDiario"),
        QStringLiteral("tblProblemi"),
        QStringLiteral("tblCertificatiINAIL"),
        QStringLiteral("tblCertificatiINPS"),
        QStringLiteral("tblRicette"),
        QStringLiteral("DIABETE_tblStorico"),
        QStringLiteral("tblallergie"),
        QStringLiteral("tblAnamnesi"),
        QStringLiteral("tblanamnesifamiliare"),
        QStringLiteral("tblanamnesipatologica"),
        QStringLiteral("tblAppunti"),
        QStringLiteral("tblcertificatiinail"),
        QStringLiteral("tblcertificatiinps"),
        QStringLiteral("tbldiario pip"),
        QStringLiteral("tblesameobiettivo"),
        QStringLiteral("tblesami"),
        QStringLiteral("tblesamisospesi"),
        QStringLiteral("tblesenzioni"),
        QStringLiteral("tblmemocertificati"),
        QStringLiteral("tblmonitorbmi"),
        QStringLiteral("tblmonitorfumo"),
        QStringLiteral("tblmonitorglicemia"),
        QStringLiteral("tblmonitoripertensione"),
        QStringLiteral("tblmonitormetabolismolipidico"),
        QStringLiteral("tblmonitorpt"),
        QStringLiteral("tblpianoterapeutico"),
        QStringLiteral("tblposologia"),
        QStringLiteral("tblprescrizioni"),
        QStringLiteral("tblproblemidiario"),
        QStringLiteral("tblproblemisospetti"),
        QStringLiteral("tblRapporti"),
        QStringLiteral("tblRicettaFarmaci"),
        QStringLiteral("tblRicettaEsami"),
        QStringLiteral("tblRicettaVisite"),
        QStringLiteral("tblrischiocardiovascolare"),
        QStringLiteral("tblscadenze"),
        QStringLiteral("tblscreening"),
        QStringLiteral("tblstato"),
        QStringLiteral("tblStatoFarmaci"),
        QStringLiteral("tblvaccinazioni"),
        QStringLiteral("tblvisitesospese"),
        QStringLiteral("sole_tbllinkdiario"),
        QStringLiteral("sole_tbllinkprescrizioni"),
        QStringLiteral("SOLE_tblConsenso"),
        QStringLiteral("SOLE_tblAllineati"),
        QStringLiteral("DIABETE_tblDatiExtra"),
        QStringLiteral("DIABETE_tblStoricoItems"),
    };
    return tabelle;
}

// The chart tables once each (the merge names some twice, in two letter cases), with
// tblAnagrafica2, which travels with the chart too.
inline QStringList TabelleCartella()
{
    QStringList tabelle{QStringLiteral("tblAnagrafica2")};
    for (const QString &tabella : TabelleUnione()) {
        if (!tabelle.contains(tabella, Qt::CaseInsensitive)) {
            tabelle.append(tabella);
        }
    }
    return tabelle;
}

} // namespace lanvera::host::test
