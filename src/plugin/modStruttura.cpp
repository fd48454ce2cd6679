#include "modStruttura.h"

#include "ContrattoClinora.h"

#include <QDateTime>
#include <QHash>
#include <QSqlQuery>
#include <QStringList>

namespace modStruttura {

namespace {

QString Parentesi(const QString &nome)
{
    return QLatin1Char('[') + nome + QLatin1Char(']');
}

bool Esegui(clinora::ClsDB &db, const QString &sql, QString *errore)
{
    if (db.Execute(sql)) {
        return true;
    }
    if (errore) {
        *errore = db.UltimoErrore();
    }
    return false;
}

// The column type of a descriptor's type code; empty for a code that is skipped.
QString Tipo(const QString &codice)
{
    static const QHash<QString, QString> tipi{
        {QStringLiteral("M"), QStringLiteral("TEXT")},
        {QStringLiteral("C"), QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")},
        {QStringLiteral("L"), QStringLiteral("INTEGER")},
        {QStringLiteral("D"), QStringLiteral("DATETIME")},
        {QStringLiteral("V"), QStringLiteral("CURRENCY")},
        {QStringLiteral("S"), QStringLiteral("SINGLE")},
        {QStringLiteral("O"), QStringLiteral("BLOB")},
        {QStringLiteral("N"), QStringLiteral("NUMERIC")},
        {QStringLiteral("I"), QStringLiteral("SMALLINT")},
        {QStringLiteral("B"), QStringLiteral("BIT")},
    };
    bool numero = false;
    const int dimensione = codice.toInt(&numero);
    if (numero && dimensione > 0) {
        return QStringLiteral("VARCHAR(%1)").arg(dimensione);
    }
    return tipi.value(codice.toUpper());
}

} // namespace

bool VersioneValida(const QString &versione)
{
    return versione > QStringLiteral("05.00.0000");
}

bool CreaTabella(clinora::ClsDB &db, const QString &descrittore, QString *errore)
{
    const QStringList parti = descrittore.split(QLatin1Char('|'));
    if (parti.size() < 2 || parti.at(0) != QLatin1String("T")) {
        if (errore) {
            *errore = QStringLiteral("Descrittore di tabella non valido: ") + descrittore;
        }
        return false;
    }
    QStringList colonne;
    for (qsizetype i = 2; i + 1 < parti.size(); i += 2) {
        if (parti.at(i).startsWith(QStringLiteral("CONNECT="), Qt::CaseInsensitive)) {
            // A linked table lives in another file: the archive engine here has no such tables.
            if (errore) {
                *errore = QStringLiteral("Tabella collegata non disponibile: ") + parti.at(1);
            }
            return false;
        }
        const QString tipo = Tipo(parti.at(i + 1));
        if (!tipo.isEmpty()) {
            colonne << Parentesi(parti.at(i)) + QLatin1Char(' ') + tipo;
        }
    }
    return Esegui(
        db, QStringLiteral("CREATE TABLE %1 (%2)").arg(Parentesi(parti.at(1)), colonne.join(QStringLiteral(", "))),
        errore);
}

bool CreaIndice(clinora::ClsDB &db, const QString &descrittore, QString *errore)
{
    const QStringList parti = descrittore.split(QLatin1Char('|'));
    if (parti.size() < 7 || parti.at(0) != QLatin1String("I")) {
        if (errore) {
            *errore = QStringLiteral("Descrittore di indice non valido: ") + descrittore;
        }
        return false;
    }
    const QString tabella = parti.at(1);
    const bool primario = parti.at(3) == QLatin1String("1");
    const bool unico = primario || parti.at(4) == QLatin1String("1");
    const QStringList campi = parti.mid(6);
    if (primario && campi.size() == 1) {
        // A counter is the table's key already: the engine keeps it unique and indexed.
        QSqlQuery q(db.DB());
        if (q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(Parentesi(tabella)))) {
            while (q.next()) {
                if (q.value(1).toString().compare(campi.first(), Qt::CaseInsensitive) == 0 && q.value(5).toInt() > 0) {
                    return true;
                }
            }
        }
    }
    QStringList elenco;
    for (const QString &campo : campi) {
        elenco << Parentesi(campo);
    }
    // Index names are the archive's, not the table's: the table's name goes in front.
    return Esegui(db,
                  QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                      .arg(unico ? QStringLiteral("UNIQUE ") : QString(),
                           Parentesi(tabella + QLatin1Char('_') + parti.at(2)), Parentesi(tabella),
                           elenco.join(QStringLiteral(", "))),
                  errore);
}

void VerificaStruttura(clinora::ClsDB &db, const QString &versione)
{
    if (!VersioneValida(versione) || db.Name().toLower().endsWith(QStringLiteral("clinoraquor.mdb"))) {
        return;
    }
    int attuale = 0;
    if (auto rs = db.OpenRecordset(QStringLiteral("Select * from QUOR_Versione"), clinora::ClsDB::SoloAvanti)) {
        if (!rs->Eof()) {
            attuale = rs->Campo(QStringLiteral("ID")).toInt();
        }
        rs->CloseRecordset();
    }
    if (attuale >= 1) {
        return;
    }
    CreaTabella(db, QStringLiteral("T|QUOR_tblUpdate|ID|C|IDPaziente|L|IDUpdate|38"));
    CreaIndice(db, QStringLiteral("I|QUOR_tblUpdate|PrimaryKey|1|1|1|ID"));
    CreaIndice(db, QStringLiteral("I|QUOR_tblUpdate|IDPaziente|0|0|0|IDPaziente"));
    if (auto rs = db.OpenRecordset(QStringLiteral("Select * from arcitems Where [Key]='QUOR.DataInit'"))) {
        const bool manca = rs->Eof();
        rs->CloseRecordset();
        if (manca) {
            db.Execute(QStringLiteral("INSERT INTO arcItems ([Key], Item) VALUES ('QUOR.DataInit', '%1')")
                           .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"))));
        }
    }
    if (attuale == 0) {
        CreaTabella(db, QStringLiteral("T|QUOR_Versione|ID|L"));
        db.Execute(QStringLiteral("INSERT INTO QUOR_Versione (ID) VALUES (1)"));
    } else {
        db.Execute(QStringLiteral("Update QUOR_Versione Set ID=1"));
    }
}

} // namespace modStruttura
