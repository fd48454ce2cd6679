// Time to pack and unpack one chart of about 2,000 rows, beside the floor measured in the same run: the
// same rows copied with one INSERT ... SELECT per table into a file attached once, deflated with
// zlib and Base64-encoded in memory (and, for unpacking, decoded, inflated, written and opened).

#include "Database.h"
#include "PacchettoCartella.h"
#include "StatoMotore.h"
#include "clsBase64.h"
#include "modGeneratore.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>
#include <zlib.h>

using lanvera::dao::Database;

namespace {

constexpr int RighePaziente = 2000;
constexpr int Ripetizioni = 30;

// Median of a few runs, in milliseconds.
double mediana(const std::function<void()> &lavoro)
{
    std::vector<double> tempi;
    for (int i = 0; i < Ripetizioni; ++i) {
        QElapsedTimer t;
        t.start();
        lavoro();
        tempi.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(tempi.begin(), tempi.end());
    return tempi[tempi.size() / 2];
}

// The statement of a table with the patient and the package file in place.
QString istruzione(const clsTabelle &t, qint32 id, const QString &file)
{
    QString sql = t.QueryCartella;
    sql.replace(QStringLiteral("[ID]"), QString::number(id), Qt::CaseInsensitive);
    sql.replace(QStringLiteral("[FileName]"), file, Qt::CaseInsensitive);
    return sql;
}

// The patient whose chart comes closest to RighePaziente rows, and its size.
std::pair<qint32, qint64> pazienteScelto(Database &archivio, const QList<clsTabelle> &tabelle)
{
    QHash<qint32, qint64> conti;
    QSqlQuery q(archivio.connessione());
    for (const clsTabelle &t : tabelle) {
        if (t.Tabella == QStringLiteral("tblAnagrafica")) {
            continue;
        }
        q.exec(QStringLiteral("SELECT IDPaziente, count(*) FROM [%1] GROUP BY IDPaziente").arg(t.Tabella));
        while (q.next()) {
            conti[q.value(0).toInt()] += q.value(1).toLongLong();
        }
    }
    std::pair<qint32, qint64> scelto{0, 0};
    for (auto it = conti.cbegin(); it != conti.cend(); ++it) {
        if (scelto.first == 0 || std::abs(it.value() + 1 - RighePaziente) < std::abs(scelto.second - RighePaziente)) {
            scelto = {it.key(), it.value() + 1}; // and the patient's own row
        }
    }
    return scelto;
}

QByteArray leggi(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray deflateGrezzo(const QByteArray &dati)
{
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(dati.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(dati.constData()));
    z.avail_in = static_cast<uInt>(dati.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return out;
}

QByteArray inflateGrezzo(const QByteArray &dati, qsizetype dimensione)
{
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    QByteArray out(dimensione, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(dati.constData()));
    z.avail_in = static_cast<uInt>(dati.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir cartella;
    qputenv("TMPDIR", cartella.filePath(QStringLiteral("tmp")).toUtf8());
    QDir().mkpath(cartella.filePath(QStringLiteral("tmp")));
    QCoreApplication app(argc, argv);

    StatoMotore stato;
    PacchettoCartella pacchetto(stato);
    if (!pacchetto.CaricaListaTabelle(QStringLiteral(LANVERA_CARTELLA_SQL))) {
        std::fprintf(stderr, "%s\n", qPrintable(stato.messaggioErrore));
        return 1;
    }
    // A realistic archive of one doctor, from the host's generator, with charts scaled up so that
    // some patients have about 2,000 rows.
    const QString percorsoArchivio = cartella.filePath(QStringLiteral("Archivio.mdb"));
    lanvera::host::OpzioniGeneratore opzioni;
    opzioni.cf = QStringLiteral("RSSMRA70A01H501U");
    opzioni.pazienti = 60;
    opzioni.righe = 16;
    opzioni.sole = true;
    opzioni.oggi = QDate(2024, 6, 1);
    QString errore;
    if (!lanvera::host::GeneraArchivio(percorsoArchivio, opzioni, &errore)) {
        std::fprintf(stderr, "could not build the archive: %s\n", qPrintable(errore));
        return 1;
    }
    Database archivio;
    archivio.apri(percorsoArchivio);
    stato.archivio = &archivio;
    const auto [id, righeCartella] = pazienteScelto(archivio, stato.tabelle);

    // Ours.
    QString testo;
    const double pack = mediana([&] {
        if (!pacchetto.CreaCartella(id, testo)) {
            std::fprintf(stderr, "%s\n", qPrintable(stato.messaggioErrore));
        }
    });
    const double unpack = mediana([&] {
        Database db;
        if (!pacchetto.ApriPacchetto(testo, QStringLiteral("Importa Cartella"), db)) {
            std::fprintf(stderr, "%s\n", qPrintable(stato.messaggioErrore));
        }
        pacchetto.ChiudiPacchetto(db);
    });

    // The floor: the same copy with the package attached once, then deflate and Base64 in memory.
    QStringList creazioni;
    QStringList condizioni;
    for (const clsTabelle &t : std::as_const(stato.tabelle)) {
        QSqlQuery q(archivio.connessione());
        q.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
        q.addBindValue(t.Tabella);
        if (q.exec() && q.next()) {
            const QString sql = q.value(0).toString();
            creazioni
                << QStringLiteral("CREATE TABLE f.[%1] %2").arg(t.Tabella, sql.mid(sql.indexOf(QLatin1Char('('))));
            condizioni << QStringLiteral("INSERT INTO f.[%1] SELECT * FROM main.[%1] WHERE %2=%3")
                              .arg(t.Tabella, t.Tabella == QStringLiteral("tblAnagrafica")
                                                  ? QStringLiteral("ID")
                                                  : QStringLiteral("IDPaziente"))
                              .arg(id);
        }
    }
    const QString copia = cartella.filePath(QStringLiteral("copia.mdb"));
    const clsBase64 b64;
    QByteArray file;
    QByteArray compresso;
    QByteArray testoMemoria;
    int righe = 0;
    const double floorCopia = mediana([&] {
        QFile::remove(copia);
        QSqlQuery q(archivio.connessione());
        q.exec(QStringLiteral("ATTACH DATABASE '%1' AS f").arg(copia));
        q.exec(QStringLiteral("PRAGMA f.journal_mode=OFF"));
        q.exec(QStringLiteral("PRAGMA f.synchronous=OFF"));
        righe = 0;
        for (qsizetype i = 0; i < creazioni.size(); ++i) {
            q.exec(creazioni[i]);
            q.exec(condizioni[i]);
            righe += q.numRowsAffected();
        }
        q.finish();
        q.exec(QStringLiteral("DETACH DATABASE f"));
    });
    file = leggi(copia);

    // Where packing spends its time: the same copy through the archive layer, which attaches and
    // detaches the package file around every statement.
    const QString perIstruzione = cartella.filePath(QStringLiteral("perIstruzione.mdb"));
    const double copiaLayer = mediana([&] {
        QFile::remove(perIstruzione);
        {
            Database db;
            db.crea(perIstruzione, true);
        }
        for (const clsTabelle &t : std::as_const(stato.tabelle)) {
            archivio.esegui(istruzione(t, id, perIstruzione));
        }
    });
    const double floorDeflate = mediana([&] { compresso = deflateGrezzo(file); });
    const double floorCodifica = mediana([&] { b64.Base64Encoder(compresso, testoMemoria); });

    QByteArray decodificato;
    const double floorDecodifica = mediana([&] { b64.Base64Decoder(testoMemoria, decodificato); });
    QByteArray espanso;
    const double floorInflate = mediana([&] { espanso = inflateGrezzo(decodificato, file.size()); });
    const double floorScriviApri = mediana([&] {
        QFile::remove(copia);
        QFile f(copia);
        f.open(QIODevice::WriteOnly);
        f.write(espanso);
        f.close();
        Database db;
        db.apri(copia);
    });

    const double floorPack = floorCopia + floorDeflate + floorCodifica;
    const double floorUnpack = floorDecodifica + floorInflate + floorScriviApri;
    std::printf("Chart package: %d rows of one patient (%lld counted) in %lld tables, archive of %d patients\n", righe,
                static_cast<long long>(righeCartella), static_cast<long long>(creazioni.size()), opzioni.pazienti);
    std::printf("database %lld bytes, zip entry %lld bytes, package text %lld characters\n",
                static_cast<long long>(file.size()), static_cast<long long>(compresso.size()),
                static_cast<long long>(testo.size()));
    std::printf("median of %d runs, milliseconds\n\n", Ripetizioni);
    std::printf("%-44s %9s\n", "step", "ms");
    std::printf("%-44s %9.2f\n", "floor: copy rows, package attached once", floorCopia);
    std::printf("%-44s %9.2f\n", "floor: deflate (zlib) in memory", floorDeflate);
    std::printf("%-44s %9.2f\n", "floor: Base64 encode in memory", floorCodifica);
    std::printf("%-44s %9.2f\n", "floor: Base64 decode in memory", floorDecodifica);
    std::printf("%-44s %9.2f\n", "floor: inflate in memory", floorInflate);
    std::printf("%-44s %9.2f\n", "floor: write the database file and open it", floorScriviApri);
    std::printf("%-44s %9.2f\n\n", "ours: copy rows through the archive layer", copiaLayer);
    std::printf("%-12s %10s %10s %8s\n", "operation", "ours ms", "floor ms", "ratio");
    std::printf("%-12s %10.2f %10.2f %8.2f\n", "pack", pack, floorPack, pack / floorPack);
    std::printf("%-12s %10.2f %10.2f %8.2f\n", "unpack", unpack, floorUnpack, unpack / floorUnpack);
    return 0;
}
