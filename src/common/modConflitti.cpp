#include "modConflitti.h"

#include "Database.h"
#include "Recordset.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace lanvera {

using dao::Database;
using dao::Recordset;

namespace {

const QString Tabella = QStringLiteral("QUOR_Conflitti");

QJsonValue valoreJson(const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        return QJsonValue(QJsonValue::Null);
    }
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return dao::TestoDataArchivio(v.toDateTime());
    case QMetaType::QDate:
        return dao::TestoDataArchivio(v.toDate().startOfDay());
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray().toBase64());
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble();
    default:
        return v.toString();
    }
}

bool tabellaMancante(Database &archivio)
{
    return !archivio.esisteTabella(Tabella);
}

} // namespace

bool PreparaConflitti(Database &archivio)
{
    return archivio.esegui(QStringLiteral(
               "CREATE TABLE IF NOT EXISTS QUOR_Conflitti (ID INTEGER PRIMARY KEY AUTOINCREMENT, Quando DATETIME, "
               "Tabella VARCHAR(64), GUID VARCHAR(38), IDPaziente INTEGER, LastUpdateVincente VARCHAR(19), "
               "LastUpdatePerdente VARCHAR(19), AutoreVincente VARCHAR(255), AutorePerdente VARCHAR(255), "
               "RigaVincente MEMO, RigaPerdente MEMO)")) &&
           archivio.esegui(
               QStringLiteral("CREATE INDEX IF NOT EXISTS QUOR_Conflitti_IDPaziente ON QUOR_Conflitti (IDPaziente)")) &&
           // The repeat check of every new conflict looks the row up by its identity.
           archivio.esegui(QStringLiteral("CREATE INDEX IF NOT EXISTS QUOR_Conflitti_GUID ON QUOR_Conflitti (GUID)"));
}

bool RegistraConflitto(Database &archivio, const Conflitto &c, bool *nuovo)
{
    if (nuovo) {
        *nuovo = false;
    }
    // A merge interrupted after its conflicts were kept meets them again on the next run: the same
    // two versions of the same row are added once. Empty and missing texts count as the same.
    static const QString sql = QStringLiteral(
        "INSERT INTO QUOR_Conflitti (Quando, Tabella, GUID, IDPaziente, LastUpdateVincente, LastUpdatePerdente, "
        "AutoreVincente, AutorePerdente, RigaVincente, RigaPerdente) SELECT ?, ?, ?, ?, ?, ?, ?, ?, ?, ? "
        "WHERE NOT EXISTS (SELECT 1 FROM QUOR_Conflitti WHERE GUID=? AND IFNULL(Tabella, '')=? AND "
        "IFNULL(LastUpdateVincente, '')=? AND IFNULL(LastUpdatePerdente, '')=? AND IFNULL(RigaPerdente, '')=?)");
    auto testo = [](const QString &t) { return t.isNull() ? QStringLiteral("") : t; };
    const QVariantList valori{dao::TestoDataArchivio(c.quando.isValid() ? c.quando : QDateTime::currentDateTime()),
                              c.tabella,
                              c.guid,
                              c.idPaziente,
                              c.aggiornatoVincente,
                              c.aggiornatoPerdente,
                              c.autoreVincente,
                              c.autorePerdente,
                              c.rigaVincente,
                              c.rigaPerdente,
                              c.guid,
                              testo(c.tabella),
                              testo(c.aggiornatoVincente),
                              testo(c.aggiornatoPerdente),
                              testo(c.rigaPerdente)};
    // The table is made on the first conflict an archive meets: no schema is read while it exists.
    if (!archivio.esegui(sql, valori)) {
        if (!tabellaMancante(archivio) || !PreparaConflitti(archivio) || !archivio.esegui(sql, valori)) {
            return false;
        }
    }
    if (nuovo) {
        *nuovo = archivio.righeInteressate() > 0;
    }
    return true;
}

QList<Conflitto> LeggiConflitti(Database &archivio, qint32 idPaziente)
{
    QList<Conflitto> elenco;
    if (tabellaMancante(archivio)) {
        return elenco;
    }
    Recordset rs(archivio);
    if (!rs.apri(QStringLiteral("SELECT * FROM QUOR_Conflitti WHERE IDPaziente=? ORDER BY Quando DESC, ID DESC"),
                 Recordset::Tipo::SoloAvanti, {idPaziente})) {
        return elenco;
    }
    for (; !rs.eof(); rs.muoviProssimo()) {
        Conflitto c;
        c.quando = dao::ComeData(rs.valore(QStringLiteral("Quando")));
        c.tabella = rs.testo(QStringLiteral("Tabella"));
        c.guid = rs.testo(QStringLiteral("GUID"));
        c.idPaziente = rs.valore(QStringLiteral("IDPaziente")).toInt();
        c.aggiornatoVincente = rs.testo(QStringLiteral("LastUpdateVincente"));
        c.aggiornatoPerdente = rs.testo(QStringLiteral("LastUpdatePerdente"));
        c.autoreVincente = rs.testo(QStringLiteral("AutoreVincente"));
        c.autorePerdente = rs.testo(QStringLiteral("AutorePerdente"));
        c.rigaVincente = rs.testo(QStringLiteral("RigaVincente"));
        c.rigaPerdente = rs.testo(QStringLiteral("RigaPerdente"));
        elenco.append(c);
    }
    return elenco;
}

QString RigaJson(const QStringList &campi, const QVariantList &valori)
{
    QJsonObject riga;
    for (qsizetype i = 0; i < campi.size(); ++i) {
        riga.insert(campi.at(i), valoreJson(valori.value(i)));
    }
    return QString::fromUtf8(QJsonDocument(riga).toJson(QJsonDocument::Compact));
}

} // namespace lanvera
