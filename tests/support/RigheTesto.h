#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

namespace lanvera::test {

// Every row a query gives, its fields as text joined by "|" (NULL as "<null>"): rows compared
// whole, with the statement and the driver's error on a failure.
inline QStringList Righe(const QSqlDatabase &db, const QString &sql, const QVariantList &valori = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    for (const QVariant &v : valori) {
        q.addBindValue(v);
    }
    ok = ok && q.exec();
    EXPECT_TRUE(ok) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    QStringList righe;
    while (ok && q.next()) {
        QStringList campi;
        for (int i = 0; i < q.record().count(); ++i) {
            campi << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
        }
        righe << campi.join(QLatin1Char('|'));
    }
    return righe;
}

} // namespace lanvera::test
