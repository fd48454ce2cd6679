#pragma once

#include "Database.h"
#include "StampaQt.h"
#include "clsBase64.h"

#include <QFile>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>
#include <gtest/gtest.h>
#include <zip.h>

// Package text made and taken apart by hand, and archive contents, for the tests of the engine
// that meet packages: what a broken or hostile computer could leave on the server.
namespace lanvera::test {

// Package text as the server holds it: `mdb` as the one entry "Cartella.mdb" of a zip, in Base64.
inline QString TestoPacchetto(const QByteArray &mdb)
{
    zip_error_t errore;
    zip_error_init(&errore);
    zip_source_t *memoria = zip_source_buffer_create(nullptr, 0, 0, &errore);
    zip_source_keep(memoria); // it holds the written zip once the archive is closed
    zip_t *za = zip_open_from_source(memoria, ZIP_TRUNCATE, &errore);
    EXPECT_NE(za, nullptr);
    zip_source_t *voce = zip_source_buffer(za, mdb.constData(), static_cast<zip_uint64_t>(mdb.size()), 0);
    EXPECT_GE(zip_file_add(za, "Cartella.mdb", voce, 0), 0);
    EXPECT_EQ(zip_close(za), 0);
    QByteArray zip;
    if (zip_source_open(memoria) == 0) {
        zip_source_seek(memoria, 0, SEEK_END);
        zip.resize(static_cast<qsizetype>(zip_source_tell(memoria)));
        zip_source_seek(memoria, 0, SEEK_SET);
        EXPECT_EQ(zip_source_read(memoria, zip.data(), static_cast<zip_uint64_t>(zip.size())), zip.size());
        zip_source_close(memoria);
    }
    zip_source_free(memoria);
    QString testo;
    clsBase64().Base64EncoderString(zip, testo);
    return testo;
}

// Package text turned into its database file `file`, changed, and packed again.
inline QString AlteraPacchetto(const QString &testo, const QString &file,
                               const std::function<void(dao::Database &)> &cambia)
{
    QByteArray zip;
    EXPECT_EQ(clsBase64().Base64DecoderString(testo, zip), 0);
    zip_error_t errore;
    zip_error_init(&errore);
    zip_source_t *sorgente =
        zip_source_buffer_create(zip.constData(), static_cast<zip_uint64_t>(zip.size()), 0, &errore);
    zip_t *za = zip_open_from_source(sorgente, ZIP_RDONLY, &errore);
    zip_stat_t info;
    EXPECT_TRUE(za && zip_stat_index(za, 0, 0, &info) == 0);
    QByteArray mdb(static_cast<qsizetype>(info.size), '\0');
    zip_file_t *voce = zip_fopen_index(za, 0, 0);
    EXPECT_EQ(zip_fread(voce, mdb.data(), info.size), mdb.size());
    zip_fclose(voce);
    zip_discard(za);

    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(mdb) == mdb.size());
    f.close();
    {
        dao::Database db;
        EXPECT_TRUE(db.apri(file));
        cambia(db);
    }
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return TestoPacchetto(f.readAll());
}

// Every row of every table, in storage order, but for the "table.column" values in `salta`: for
// "nothing here changed".
inline QString Contenuto(const dao::Database &db, const QSet<QString> &salta = {})
{
    QString testo;
    QSqlQuery q(db.connessione());
    for (const QString &tabella : db.tabelle()) {
        testo += QStringLiteral("== ") + tabella + QLatin1Char('\n');
        q.exec(QStringLiteral("SELECT * FROM [%1] ORDER BY _rowid_").arg(tabella));
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i) {
                const bool nascosto = salta.contains(tabella + QLatin1Char('.') + q.record().fieldName(i));
                testo += nascosto              ? QStringLiteral("*|")
                         : q.value(i).isNull() ? QStringLiteral("<null>|")
                                               : q.value(i).toString() + QLatin1Char('|');
            }
            testo += QLatin1Char('\n');
        }
    }
    return testo;
}

inline QString Contenuto(const QString &archivio)
{
    dao::Database db;
    EXPECT_TRUE(db.apri(archivio));
    return Contenuto(db);
}

} // namespace lanvera::test
