#pragma once

#include "RigheTesto.h"
#include "StampaQt.h"
#include "clsXML.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <gtest/gtest.h>

// Archives of the host's format and chart documents for the tests of the chart's journeys: archives
// made from the empty template, filled with SQL and read back as text; documents read as text.
namespace ulmet::test {

// A writable copy of the empty archive `modello` (the build's template is read-only).
inline bool CopiaArchivio(const QString &modello, const QString &file)
{
    return QFile::copy(modello, file) && QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

inline void Esegui(const QSqlDatabase &db, const QStringList &istruzioni)
{
    for (const QString &sql : istruzioni) {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
}

using lanvera::test::Righe;

// For every node the path selects, the texts of the named child elements (all of them when none
// are named) joined by "|".
inline QStringList Record(const clsXML &doc, const QString &percorso, const QStringList &campi = {})
{
    QStringList righe;
    for (const clsXML::Nodo nodo : doc.SelectNodeList(doc.RootNode(), percorso)) {
        QStringList testi;
        if (campi.isEmpty()) {
            for (const clsXML::Nodo campo : nodo.children()) {
                testi << clsXML::TestoNodo(campo);
            }
        }
        for (const QString &campo : campi) {
            testi << doc.GetNode(nodo, campo);
        }
        righe << testi.join(QLatin1Char('|'));
    }
    return righe;
}

} // namespace ulmet::test
