#include "UnioneCartella.h"

#include "Database.h"
#include "PacchettoCartella.h"
#include "Recordset.h"
#include "clsSincronizza.h"
#include "modArchivio.h"
#include "modConflitti.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <iterator>
#include <optional>

Q_LOGGING_CATEGORY(lcUnione, "lanvera.sync.unione")

using lanvera::CampiComuni;
using lanvera::EsisteTabella;
using lanvera::dao::ComeTesto;
using lanvera::dao::Database;
using lanvera::dao::Istruzione;
using lanvera::dao::Parentesi;
using lanvera::dao::Recordset;

namespace {

// One step of an import: which routine merges which table, under which key column and condition.
struct Passo
{
    enum Tipo
    {
        Padre,
        Figlia,
        Singola
    };
    Tipo tipo;
    const char *tabella;
    const char *campoChiave;
    const char *condizione;
};

// Error numbers of the import's own conditions.
constexpr int ErroreIdentitaPaziente = 513;       // the package's patient clashes with a local one
constexpr int ErrorePacchettoSenzaPaziente = 514; // a new patient's package without his own row
constexpr int ErrorePazienteAssente = 515;        // the local patient of the import is not in the archive
constexpr int ErroreArchivioChiuso = 516;         // no archive, or no package database, to work on

// Pending events run every so many package rows, so that Stop is honoured inside a long table.
constexpr int RighePerPausa = 50;
// Table definitions whose row identity is remembered across packages: those of a few host versions.
constexpr qsizetype DefinizioniMassime = 2000;

const QString Cartella = QStringLiteral("Importa Cartella");
const QString Modifiche = QStringLiteral("Importa Modifiche");

const char *const SenzaPadre = "(IDCertificatoPadre is null)";
const char *const ConPadre = "(Not IDCertificatoPadre is null)";
const char *const SenzaCertificato = "(IDCertificato is null)";
const char *const ConCertificato = "(Not IDCertificato is null)";

// The tables of a whole chart, in the order that lets the parents' keys be known before their
// children are written.
const Passo PassiCartella[] = {
    {Passo::Padre, "tblDiario", "iddiario", ""},
    {Passo::Padre, "tblProblemi", "idproblema", ""},
    {Passo::Padre, "tblCertificatiINAIL", "idcertificatopadre", SenzaPadre},
    {Passo::Padre, "tblCertificatiINPS", "idcertificato", SenzaCertificato},
    {Passo::Padre, "tblRicette", "idricetta", ""},
    {Passo::Padre, "DIABETE_tblStorico", "idstorico", ""},
    {Passo::Figlia, "tblallergie", "", ""},
    {Passo::Singola, "tblAnamnesi", "", ""},
    {Passo::Figlia, "tblanamnesifamiliare", "", ""},
    {Passo::Figlia, "tblanamnesipatologica", "", ""},
    {Passo::Singola, "tblAppunti", "", ""},
    {Passo::Figlia, "tblcertificatiinail", "", ConPadre},
    {Passo::Figlia, "tblcertificatiinps", "", ConCertificato},
    {Passo::Figlia, "tbldiario pip", "", ""},
    {Passo::Figlia, "tblesameobiettivo", "", ""},
    {Passo::Figlia, "tblesami", "", ""},
    {Passo::Figlia, "tblesamisospesi", "", ""},
    {Passo::Figlia, "tblesenzioni", "", ""},
    {Passo::Figlia, "tblmemocertificati", "", ""},
    {Passo::Figlia, "tblmonitorbmi", "", ""},
    {Passo::Figlia, "tblmonitorfumo", "", ""},
    {Passo::Figlia, "tblmonitorglicemia", "", ""},
    {Passo::Figlia, "tblmonitoripertensione", "", ""},
    {Passo::Figlia, "tblmonitormetabolismolipidico", "", ""},
    {Passo::Figlia, "tblmonitorpt", "", ""},
    {Passo::Figlia, "tblpianoterapeutico", "", ""},
    {Passo::Figlia, "tblposologia", "", ""},
    {Passo::Figlia, "tblprescrizioni", "", ""},
    {Passo::Figlia, "tblproblemidiario", "", ""},
    {Passo::Figlia, "tblproblemisospetti", "", ""},
    {Passo::Figlia, "tblRapporti", "", ""},
    {Passo::Figlia, "tblRicettaFarmaci", "", ""},
    {Passo::Figlia, "tblRicettaEsami", "", ""},
    {Passo::Figlia, "tblRicettaVisite", "", ""},
    {Passo::Figlia, "tblrischiocardiovascolare", "", ""},
    {Passo::Figlia, "tblscadenze", "", ""},
    {Passo::Figlia, "tblscreening", "", ""},
    {Passo::Figlia, "tblstato", "", ""},
    {Passo::Figlia, "tblStatoFarmaci", "", ""},
    {Passo::Figlia, "tblvaccinazioni", "", ""},
    {Passo::Figlia, "tblvisitesospese", "", ""},
    {Passo::Figlia, "sole_tbllinkdiario", "", ""},
    {Passo::Figlia, "sole_tbllinkprescrizioni", "", ""},
    {Passo::Singola, "SOLE_tblConsenso", "", ""},
    {Passo::Singola, "SOLE_tblAllineati", "", ""},
    {Passo::Figlia, "DIABETE_tblDatiExtra", "", ""},
    {Passo::Figlia, "DIABETE_tblStoricoItems", "", ""},
};

// The tables a colleague's modifications may touch; the patient's own row is not among them.
const Passo PassiModifiche[] = {
    {Passo::Padre, "tblDiario", "iddiario", ""},
    {Passo::Padre, "tblProblemi", "idproblema", ""},
    {Passo::Padre, "tblCertificatiINAIL", "idcertificatopadre", SenzaPadre},
    {Passo::Padre, "tblCertificatiINPS", "idcertificato", SenzaCertificato},
    {Passo::Figlia, "tblallergie", "", ""},
    {Passo::Figlia, "tblanamnesifamiliare", "", ""},
    {Passo::Figlia, "tblanamnesipatologica", "", ""},
    {Passo::Figlia, "tblcertificatiinail", "", ConPadre},
    {Passo::Figlia, "tblcertificatiinps", "", ConCertificato},
    {Passo::Figlia, "tbldiario pip", "", ""},
    {Passo::Figlia, "tblesameobiettivo", "", ""},
    {Passo::Figlia, "tblesami", "", ""},
    {Passo::Figlia, "tblesamisospesi", "", ""},
    {Passo::Figlia, "tblmemocertificati", "", ""},
    {Passo::Figlia, "tblmonitorbmi", "", ""},
    {Passo::Figlia, "tblmonitorfumo", "", ""},
    {Passo::Figlia, "tblmonitorglicemia", "", ""},
    {Passo::Figlia, "tblmonitoripertensione", "", ""},
    {Passo::Figlia, "tblmonitormetabolismolipidico", "", ""},
    {Passo::Figlia, "tblmonitorpt", "", ""},
    {Passo::Figlia, "tblpianoterapeutico", "", ""},
    {Passo::Figlia, "tblposologia", "", ""},
    {Passo::Figlia, "tblprescrizioni", "", ""},
    {Passo::Figlia, "tblproblemidiario", "", ""},
    {Passo::Figlia, "tblproblemisospetti", "", ""},
    {Passo::Figlia, "tblrischiocardiovascolare", "", ""},
    {Passo::Figlia, "tblscadenze", "", ""},
    {Passo::Figlia, "tblscreening", "", ""},
    {Passo::Figlia, "tblstato", "", ""},
    {Passo::Figlia, "tblvaccinazioni", "", ""},
    {Passo::Figlia, "tblvisitesospese", "", ""},
    {Passo::Figlia, "sole_tbllinkdiario", "", ""},
    {Passo::Figlia, "sole_tbllinkprescrizioni", "", ""},
};

// The foreign keys that point at a parent row of the same patient.
const QStringList &ChiaviEsterne()
{
    static const QStringList chiavi{QStringLiteral("iddiario"),           QStringLiteral("idproblema"),
                                    QStringLiteral("idcertificatopadre"), QStringLiteral("idcertificato"),
                                    QStringLiteral("idricetta"),          QStringLiteral("idstorico")};
    return chiavi;
}

// A stored moment as "yyyymmddhhnnss". Null, or a value that is not a date, gives empty text, which
// every real moment follows.
QString Momento(const QVariant &valore)
{
    if (valore.isNull()) {
        return {};
    }
    if (valore.typeId() == QMetaType::QDateTime) {
        return valore.toDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    }
    static const QRegularExpression forma(
        QStringLiteral(R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?)"));
    const QRegularExpressionMatch m = forma.match(valore.toString());
    if (!m.hasMatch()) {
        return {};
    }
    QString testo = m.captured(1);
    for (int i = 2; i <= 6; ++i) {
        testo += m.captured(i).rightJustified(2, QLatin1Char('0'));
    }
    return testo;
}

// A key value as it follows the column name in the key map: decimal, or empty for Null.
QString TestoChiave(const QVariant &valore)
{
    if (valore.isNull()) {
        return {};
    }
    bool numerico = false;
    const qlonglong n = valore.toLongLong(&numerico);
    return numerico ? QString::number(n) : valore.toString();
}

// A package key that names a parent row (not Null, not 0).
bool ChiavePresente(const QVariant &valore)
{
    if (valore.isNull()) {
        return false;
    }
    bool numerico = false;
    const qlonglong n = valore.toLongLong(&numerico);
    return !numerico || n != 0;
}

bool StessaChiave(const QVariant &locale, const QVariant &nuovo)
{
    if (locale.isNull() || nuovo.isNull()) {
        return locale.isNull() == nuovo.isNull();
    }
    bool a = false;
    bool b = false;
    const qlonglong x = locale.toLongLong(&a);
    const qlonglong y = nuovo.toLongLong(&b);
    return a && b ? x == y : locale.toString() == nuovo.toString();
}

// "Cognome Nome", without the blank of a missing part.
QString Nominativo(const QString &cognome, const QString &nome)
{
    return QString(cognome.trimmed() + QLatin1Char(' ') + nome.trimmed()).trimmed();
}

QString Normale(const QVariant &valore)
{
    return ComeTesto(valore).trimmed().toLower();
}

QStringList CampiDi(const QSqlRecord &record)
{
    QStringList campi;
    for (int i = 0; i < record.count(); ++i) {
        campi << record.fieldName(i);
    }
    return campi;
}

int IndiceDi(const QStringList &campi, const QString &nome)
{
    for (int i = 0; i < campi.size(); ++i) {
        if (campi.at(i).compare(nome, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QVariant Adesso()
{
    return lanvera::dao::TestoDataArchivio(QDateTime::currentDateTime());
}

lanvera::dao::Errore ErroreDi(const QSqlError &errore)
{
    bool numerico = false;
    int codice = errore.nativeErrorCode().toInt(&numerico);
    if (!numerico) {
        codice = -1;
    } else if (codice > 0) {
        codice &= 0xff; // SQLite's extended codes carry the primary one in the low byte
    }
    return {codice, errore.databaseText().isEmpty() ? errore.driverText() : errore.databaseText()};
}

// Row condition of a merge: a colleague's changes are only his rows that he changed and did not
// receive; the extra condition picks the parent or child rows of a table holding both.
QString Condizione(bool cartellaIntera, const QString &extra)
{
    QStringList parti;
    if (!cartellaIntera) {
        parti << QStringLiteral("(ToSend=0)");
    }
    if (!extra.isEmpty()) {
        parti << extra;
    }
    return parti.isEmpty() ? QString() : QStringLiteral(" Where ") + parti.join(QStringLiteral(" AND "));
}

// How one column gets its value when a package row is written.
enum class Regola
{
    Copia,        // the package row's value
    Paziente,     // the patient's local ID
    ChiaveEstera, // the package's key translated through the key map
    Modificatore, // whole chart: the package's value; modifications: the colleague's name
    Inviata       // whole chart: -1, the row is as the server holds it
};

struct Colonna
{
    QString nome;
    Regola regola = Regola::Copia;
    int pacchetto = -1; // column of the package row
    int locale = -1;    // column of the local row as read for the key check
};

// Which columns a table's merge writes and how, worked out once per table.
struct PianoTabella
{
    QList<Colonna> scritte;  // the common columns written, in the package table's order
    bool guidNuovo = false;  // a new row gets an identity of its own (single-row tables)
    QList<int> chiavi;       // positions in `scritte` of IDPaziente and the translated keys
    QStringList letteLocali; // what is read of a local row: _rowid_, ID, LastUpdate, the keys
    int localeID = -1;       // positions in letteLocali
    int localeAggiornato = -1;
    int localePaziente = -1; // whose row it is
    int localeToSend = -1;   // whether it is as last sent
    int pacchettoID = -1;    // positions in the package row
    int pacchettoGuid = -1;
    int pacchettoAggiornato = -1;
    int scrittaAggiornato = -1; // positions in `scritte`
    int scrittaModificatore = -1;
};

PianoTabella FaiPiano(const QStringList &comuni, const QStringList &campiPacchetto, const QStringList &campiLocali,
                      const QStringList &chiaviTradotte, bool cartellaIntera, bool singola)
{
    PianoTabella piano;
    piano.letteLocali << QStringLiteral("_rowid_");
    if (IndiceDi(campiLocali, QStringLiteral("ID")) >= 0) {
        piano.localeID = int(piano.letteLocali.size());
        piano.letteLocali << QStringLiteral("ID");
    }
    if (IndiceDi(campiLocali, QStringLiteral("LastUpdate")) >= 0) {
        piano.localeAggiornato = int(piano.letteLocali.size());
        piano.letteLocali << QStringLiteral("LastUpdate");
    }
    piano.pacchettoID = IndiceDi(campiPacchetto, QStringLiteral("ID"));
    piano.pacchettoGuid = IndiceDi(campiPacchetto, QStringLiteral("GUID"));
    piano.pacchettoAggiornato = IndiceDi(campiPacchetto, QStringLiteral("LastUpdate"));
    piano.guidNuovo = singola && IndiceDi(campiLocali, QStringLiteral("GUID")) >= 0;

    for (const QString &campo : comuni) {
        const QString minuscolo = campo.toLower();
        Colonna colonna{campo, Regola::Copia, IndiceDi(campiPacchetto, campo), -1};
        if (minuscolo == QLatin1String("id")) {
            continue; // the local counter stays
        }
        if (minuscolo == QLatin1String("guid") && singola) {
            continue; // a single-row table's row keeps its own identity
        }
        if (minuscolo == QLatin1String("tosend")) {
            if (!cartellaIntera) {
                continue; // this archive's own mark of what it still has to send stays
            }
            colonna.regola = Regola::Inviata;
        } else if (minuscolo == QLatin1String("modificatoda")) {
            colonna.regola = Regola::Modificatore;
        } else if (minuscolo == QLatin1String("idpaziente")) {
            colonna.regola = Regola::Paziente;
        } else if (chiaviTradotte.contains(minuscolo)) {
            colonna.regola = Regola::ChiaveEstera;
        }
        if (colonna.regola == Regola::Paziente || colonna.regola == Regola::ChiaveEstera) {
            colonna.locale = int(piano.letteLocali.size());
            piano.letteLocali << campo;
            piano.chiavi << int(piano.scritte.size());
        }
        if (minuscolo == QLatin1String("lastupdate")) {
            piano.scrittaAggiornato = int(piano.scritte.size());
        } else if (colonna.regola == Regola::Modificatore) {
            piano.scrittaModificatore = int(piano.scritte.size());
        }
        piano.scritte << colonna;
    }
    if (IndiceDi(campiLocali, QStringLiteral("IDPaziente")) >= 0) {
        piano.localePaziente = IndiceDi(piano.letteLocali, QStringLiteral("IDPaziente"));
        if (piano.localePaziente < 0) {
            piano.localePaziente = int(piano.letteLocali.size());
            piano.letteLocali << QStringLiteral("IDPaziente");
        }
    }
    if (IndiceDi(campiLocali, QStringLiteral("ToSend")) >= 0) {
        piano.localeToSend = int(piano.letteLocali.size());
        piano.letteLocali << QStringLiteral("ToSend");
    }
    return piano;
}

// A column that holds what a doctor wrote, as against the rows' bookkeeping: identities, keys,
// stamps, marks and authors.
bool DiContenuto(const Colonna &c)
{
    if (c.regola != Regola::Copia) {
        return false;
    }
    static const QStringList servizio{QStringLiteral("guid"), QStringLiteral("lastupdate"),
                                      QStringLiteral("lastinsert"), QStringLiteral("torepl")};
    return !servizio.contains(c.nome.toLower());
}

bool StessoValore(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull()) {
        return a.isNull() == b.isNull();
    }
    return a.typeId() == b.typeId() ? a == b : a.toString() == b.toString();
}

// A local row not marked as sent.
bool NonInviata(const PianoTabella &piano, const QVariantList &locale)
{
    return piano.localeToSend >= 0 && locale.at(piano.localeToSend).toInt() != -1;
}

// What the merge knows of a package row besides the row itself.
struct Contesto
{
    const QHash<QString, qint32> &mappaChiavi;
    qint32 idPaziente;
    const QString &modificatoDa;
    bool cartellaIntera;
};

// The values that a package row gives the plan's columns. With the local row at hand, the result
// tells whether the row's keys (IDPaziente, the translated foreign keys) would change.
bool ValoriRiga(const PianoTabella &piano, const QSqlQuery &riga, const QVariantList *locale, const Contesto &contesto,
                QVariantList &valori)
{
    bool chiaviCambiate = false;
    for (int i = 0; i < piano.scritte.size(); ++i) {
        const Colonna &c = piano.scritte.at(i);
        switch (c.regola) {
        case Regola::Copia:
            valori[i] = riga.value(c.pacchetto);
            break;
        case Regola::Paziente:
            valori[i] = contesto.idPaziente;
            break;
        case Regola::ChiaveEstera: {
            const QVariant chiave = riga.value(c.pacchetto);
            const auto trovata = contesto.mappaChiavi.constFind(c.nome.toLower() + TestoChiave(chiave));
            if (trovata != contesto.mappaChiavi.cend()) {
                valori[i] = *trovata;
            } else if (locale && ChiavePresente(chiave)) {
                // The parent is not in this package (a colleague changed only the child): the local
                // row keeps the link it has instead of losing it.
                valori[i] = locale->at(c.locale);
            } else {
                valori[i] = 0;
            }
            break;
        }
        case Regola::Modificatore:
            valori[i] = contesto.cartellaIntera ? riga.value(c.pacchetto) : QVariant(contesto.modificatoDa);
            break;
        case Regola::Inviata:
            valori[i] = -1;
            break;
        }
        if (locale && c.locale >= 0 && !StessaChiave(locale->at(c.locale), valori.at(i))) {
            chiaviCambiate = true;
        }
    }
    return chiaviCambiate;
}

QString ElencoCampi(const QList<Colonna> &colonne, const QString &dopo = QString())
{
    QStringList nomi;
    for (const Colonna &c : colonne) {
        nomi << Parentesi(c.nome) + dopo;
    }
    return nomi.join(QLatin1Char(','));
}

// The statements of one table's merge on the local archive. They come from the archive's prepared
// statements, so each is parsed once per run instead of once per table of every chart.
class IstruzioniTabella
{
public:
    explicit IstruzioniTabella(Database &db) : m_db(db) {}

    // campoRicerca: the column that finds a package row's local row (GUID, or IDPaziente).
    bool prepara(const QString &tabella, const PianoTabella &piano, const QString &campoRicerca)
    {
        m_piano = &piano;
        m_idERowid = piano.localeID >= 0 && m_db.chiaveERowid(tabella, QStringLiteral("ID"));
        const QString t = Parentesi(tabella);
        m_tabella = t;
        QStringList lette;
        for (const QString &c : piano.letteLocali) {
            lette << (c == QLatin1String("_rowid_") ? c : Parentesi(c));
        }
        QList<Colonna> nuove = piano.scritte;
        if (piano.guidNuovo) {
            nuove << Colonna{QStringLiteral("GUID"), Regola::Copia, -1, -1};
        }
        for (int i : piano.chiavi) {
            m_soloChiavi << piano.scritte.at(i);
        }
        const QString inserisci = nuove.isEmpty()
                                      ? QStringLiteral("Insert into %1 Default Values").arg(t)
                                      : QStringLiteral("Insert into %1 (%2) Values (%3)")
                                            .arg(t, ElencoCampi(nuove),
                                                 QStringList(nuove.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        return prepara(m_cerca, QStringLiteral("Select %1 from %2 Where (%3=?) LIMIT 1")
                                    .arg(lette.join(QLatin1Char(',')), t, Parentesi(campoRicerca))) &&
               prepara(m_inserisci, inserisci) &&
               (piano.scritte.isEmpty() ||
                prepara(m_aggiorna, QStringLiteral("Update %1 Set %2 Where _rowid_=?")
                                        .arg(t, ElencoCampi(piano.scritte, QStringLiteral("=?"))))) &&
               (m_soloChiavi.isEmpty() ||
                prepara(m_aggiornaChiavi, QStringLiteral("Update %1 Set %2 Where _rowid_=?")
                                              .arg(t, ElencoCampi(m_soloChiavi, QStringLiteral("=?"))))) &&
               (piano.localeID < 0 || prepara(m_leggiID, QStringLiteral("Select ID from %1 Where _rowid_=?").arg(t)));
    }

    // The first local row with that value, read as the plan says (rowid first).
    bool cerca(const QVariant &valore, QVariantList &locale, bool &trovata)
    {
        QSqlQuery &q = m_cerca->query();
        q.bindValue(0, valore);
        if (!q.exec()) {
            return fallisci(q);
        }
        trovata = q.next();
        if (trovata) {
            for (int i = 0; i < locale.size(); ++i) {
                locale[i] = q.value(i);
            }
        }
        q.finish();
        return true;
    }

    // A new row; idLocale gets its counter when the table has an ID.
    bool inserisci(const QVariantList &valori, QVariant &idLocale)
    {
        QSqlQuery &q = m_inserisci->query();
        int i = 0;
        for (; i < valori.size(); ++i) {
            q.bindValue(i, valori.at(i));
        }
        if (m_piano->guidNuovo) {
            q.bindValue(i, lanvera::CreaGUID());
        }
        if (!q.exec()) {
            return fallisci(q);
        }
        const QVariant rowid = q.lastInsertId();
        q.finish();
        idLocale.clear();
        if (m_idERowid) {
            idLocale = rowid; // the counter is the row's identity: nothing to read back
        } else if (m_piano->localeID >= 0) {
            QSqlQuery &id = m_leggiID->query();
            id.bindValue(0, rowid);
            if (!id.exec() || !id.next()) {
                return fallisci(id);
            }
            idLocale = id.value(0);
            id.finish();
        }
        return true;
    }

    bool aggiorna(const QVariant &rowid, const QVariantList &valori)
    {
        if (m_piano->scritte.isEmpty()) {
            return true;
        }
        QSqlQuery &q = m_aggiorna->query();
        int i = 0;
        for (; i < valori.size(); ++i) {
            q.bindValue(i, valori.at(i));
        }
        q.bindValue(i, rowid);
        return q.exec() || fallisci(q);
    }

    // The written columns of a local row, in the plan's order; trovata false when it is gone.
    bool leggi(const QVariant &rowid, QVariantList &valori, bool &trovata)
    {
        trovata = false;
        if (m_piano->scritte.isEmpty()) {
            valori.clear();
            trovata = true;
            return true;
        }
        if (!m_leggiScritte && !prepara(m_leggiScritte, QStringLiteral("Select %1 from %2 Where _rowid_=?")
                                                            .arg(ElencoCampi(m_piano->scritte), m_tabella))) {
            return false;
        }
        QSqlQuery &q = m_leggiScritte->query();
        q.bindValue(0, rowid);
        if (!q.exec()) {
            return fallisci(q);
        }
        trovata = q.next();
        valori.resize(m_piano->scritte.size());
        for (int i = 0; trovata && i < valori.size(); ++i) {
            valori[i] = q.value(i);
        }
        q.finish();
        return true;
    }

    // A local row changed here and not yet sent, or a package row changed on an older version than
    // the local one: one side loses what it wrote. Do the two differ in what a doctor wrote?
    // `locali` gets the local row's written columns.
    bool contesa(const QVariantList &locale, const QVariantList &valori, const QString &nelPacchetto,
                 const QString &inLocale, QVariantList &locali, bool &diverse)
    {
        diverse = false;
        if (!NonInviata(*m_piano, locale) && nelPacchetto >= inLocale) {
            return true;
        }
        bool trovata = false;
        if (!leggi(locale.at(0), locali, trovata)) {
            return false;
        }
        for (int i = 0; trovata && !diverse && i < locali.size(); ++i) {
            diverse = DiContenuto(m_piano->scritte.at(i)) && !StessoValore(locali.at(i), valori.at(i));
        }
        return true;
    }

    // Does the local row hold what the package row would write (its sent mark aside)?
    bool confronta(const QVariant &rowid, const QVariantList &valori, bool &uguale)
    {
        QVariantList locali;
        if (!leggi(rowid, locali, uguale)) {
            return false;
        }
        for (int i = 0; uguale && i < locali.size(); ++i) {
            uguale = m_piano->scritte.at(i).regola == Regola::Inviata || StessoValore(locali.at(i), valori.at(i));
        }
        return true;
    }

    // Only IDPaziente and the translated keys.
    bool aggiornaChiavi(const QVariant &rowid, const QVariantList &valori)
    {
        QSqlQuery &q = m_aggiornaChiavi->query();
        int i = 0;
        for (; i < m_piano->chiavi.size(); ++i) {
            q.bindValue(i, valori.at(m_piano->chiavi.at(i)));
        }
        q.bindValue(i, rowid);
        return q.exec() || fallisci(q);
    }

    const lanvera::dao::Errore &errore() const { return m_errore; }

private:
    bool prepara(std::optional<Istruzione> &istruzione, const QString &sql)
    {
        istruzione.emplace(m_db, sql);
        if (!istruzione->pronta()) {
            m_errore = m_db.ultimoErrore();
            istruzione.reset();
            return false;
        }
        return true;
    }
    bool fallisci(const QSqlQuery &q)
    {
        m_errore = ErroreDi(q.lastError());
        if (m_errore.numero == 0) {
            m_errore.numero = -1;
        }
        return false;
    }

    Database &m_db;
    const PianoTabella *m_piano = nullptr;
    QList<Colonna> m_soloChiavi;
    std::optional<Istruzione> m_cerca;
    std::optional<Istruzione> m_inserisci;
    std::optional<Istruzione> m_aggiorna;
    std::optional<Istruzione> m_aggiornaChiavi;
    std::optional<Istruzione> m_leggiID;
    std::optional<Istruzione> m_leggiScritte; // prepared when first needed
    bool m_idERowid = false;                  // ID is the table's INTEGER PRIMARY KEY
    QString m_tabella;
    lanvera::dao::Errore m_errore;
};

// The package row's moment, as the merge compares it (after any correction of its value).
QString MomentoPacchetto(const PianoTabella &piano, const QSqlQuery &riga, const QVariantList &valori)
{
    if (piano.scrittaAggiornato >= 0) {
        return Momento(valori.at(piano.scrittaAggiornato));
    }
    return piano.pacchettoAggiornato >= 0 ? Momento(riga.value(piano.pacchettoAggiornato)) : QString();
}

// The two versions of a row that differ: which one stays, who wrote each, and both in full.
lanvera::Conflitto ConflittoTra(const PianoTabella &piano, const QString &tabella, const QString &guid,
                                qint32 idPaziente, const QVariantList &locali, const QVariantList &arrivati,
                                bool vinceArrivato, const QString &medico)
{
    QStringList campi;
    for (const Colonna &c : piano.scritte) {
        campi << c.nome;
    }
    const auto aggiornato = [&piano](const QVariantList &v) {
        return piano.scrittaAggiornato >= 0 ? ComeTesto(v.at(piano.scrittaAggiornato)) : QString();
    };
    const auto autore = [&](const QVariantList &v) {
        const QString nome =
            piano.scrittaModificatore >= 0 ? ComeTesto(v.at(piano.scrittaModificatore)).trimmed() : QString();
        return nome.isEmpty() ? medico : nome;
    };
    const QVariantList &vincente = vinceArrivato ? arrivati : locali;
    const QVariantList &perdente = vinceArrivato ? locali : arrivati;
    lanvera::Conflitto c;
    c.quando = QDateTime::currentDateTime();
    c.tabella = tabella;
    c.guid = guid;
    c.idPaziente = idPaziente;
    c.aggiornatoVincente = aggiornato(vincente);
    c.aggiornatoPerdente = aggiornato(perdente);
    c.autoreVincente = autore(vincente);
    c.autorePerdente = autore(perdente);
    c.rigaVincente = lanvera::RigaJson(campi, vincente);
    c.rigaPerdente = lanvera::RigaJson(campi, perdente);
    return c;
}

} // namespace

UnioneCartella::UnioneCartella(StatoMotore &stato, PacchettoCartella &pacchetto)
    : m_stato(stato), m_pacchetto(pacchetto)
{}

bool UnioneCartella::Fallisci(int numero, const QString &testo)
{
    if (!InErrore()) {
        m_erroreNumero = numero;
        m_erroreTesto = testo;
    }
    return false;
}

bool UnioneCartella::Rifiuta(const QString &motivo)
{
    if (!InErrore()) {
        m_rifiuto = motivo;
    }
    return false;
}

QString UnioneCartella::NomePaziente(qint32 id) const
{
    Recordset rs(*m_stato.archivio);
    if (rs.apri(QStringLiteral("SELECT Cognome, Nome FROM tblAnagrafica WHERE ID=?"), Recordset::Tipo::SoloAvanti,
                {id}) &&
        !rs.eof()) {
        return Nominativo(rs.testo(QStringLiteral("Cognome")), rs.testo(QStringLiteral("Nome")));
    }
    return QStringLiteral("il paziente %1").arg(id);
}

QString UnioneCartella::MedicoArchivio()
{
    if (m_medico.isNull()) {
        Recordset rs(*m_stato.archivio);
        m_medico = rs.apri(QStringLiteral("SELECT Cognome, Nome FROM tblMedico WHERE IDRete=1")) && !rs.eof()
                       ? Nominativo(rs.testo(QStringLiteral("Cognome")), rs.testo(QStringLiteral("Nome")))
                       : QString();
        if (m_medico.isNull()) {
            m_medico = QStringLiteral(""); // asked once
        }
    }
    return m_medico;
}

bool UnioneCartella::Conserva(const lanvera::Conflitto &conflitto)
{
    bool nuovo = false;
    if (!lanvera::RegistraConflitto(*m_stato.archivio, conflitto, &nuovo)) {
        const auto &e = m_stato.archivio->ultimoErrore();
        return Fallisci(e.numero, e.descrizione);
    }
    if (nuovo) {
        const QDateTime data = lanvera::dao::ComeData(conflitto.aggiornatoPerdente);
        m_righeConflitti << QStringLiteral("Conflitto nella cartella di %1, tabella %2: la versione del %3 di %4 è "
                                           "stata sostituita da quella del %5 di %6 ed è conservata tra i conflitti")
                                .arg(NomePaziente(conflitto.idPaziente), conflitto.tabella,
                                     data.isValid() ? data.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"))
                                                    : QStringLiteral("(senza data)"),
                                     conflitto.autorePerdente,
                                     lanvera::dao::ComeData(conflitto.aggiornatoVincente)
                                         .toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")),
                                     conflitto.autoreVincente);
    }
    return true;
}

void UnioneCartella::CorreggiFuturo(QVariant &aggiornato, const QString &tabella, qint32 idPaziente)
{
    // Most stamps are of a year before the limit's: told by their first four digits.
    if (aggiornato.typeId() == QMetaType::QString) {
        const QString testo = aggiornato.toString().trimmed();
        bool anno = false;
        if (testo.size() > 4 && testo.at(4) == QLatin1Char('-') &&
            testo.left(4).toInt(&anno) < QStringView(m_limiteFuturo).left(4).toInt() && anno) {
            return;
        }
    }
    const QString momento = Momento(aggiornato);
    if (momento.isEmpty() || momento <= m_limiteFuturo) {
        return;
    }
    const QString data = lanvera::dao::ComeData(aggiornato).toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    aggiornato = lanvera::dao::TestoDataArchivio(m_oraServer);
    m_righeFuturo << QStringLiteral("Attenzione: una riga di %1 nella cartella di %2 era datata %3, oltre l'ora del "
                                    "server: è stata registrata con l'ora del server (%4)")
                         .arg(tabella, NomePaziente(idPaziente), data.isEmpty() ? ComeTesto(aggiornato) : data,
                              m_oraServer.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
}

qint32 UnioneCartella::NuovoID(const QString &chiave) const
{
    return m_mappaChiavi.value(chiave, 0);
}

bool UnioneCartella::ImportaCartella(clsPaziente &paziente, const QString &testo)
{
    m_stato.messaggioErrore.clear();
    Database pacchetto;
    bool ok = false;
    QString motivo;
    if (m_pacchetto.ApriPacchetto(testo, Cartella, pacchetto)) {
        if (VerificaContenuto(paziente, pacchetto, true, motivo)) {
            ok = ImportaCartellaDa(paziente, pacchetto);
        } else {
            m_stato.messaggioErrore = PacchettoCartella::TestoRifiuto(Cartella, motivo);
        }
    } else if (m_stato.messaggioErrore.isEmpty()) {
        m_stato.messaggioErrore = Cartella + QStringLiteral(": Errore ") + pacchetto.ultimoErrore().testo();
    }
    m_pacchetto.ChiudiPacchetto(pacchetto);
    return ok;
}

bool UnioneCartella::ImportaModifiche(const clsPaziente &paziente, const QString &modificatoDa, const QString &testo)
{
    m_stato.scrivi(QStringLiteral("Aggiorno cartella di ") + paziente.Cognome + QLatin1Char(' ') + paziente.Nome);
    m_stato.messaggioErrore.clear();
    Database pacchetto;
    bool ok = false;
    QString motivo;
    if (m_pacchetto.ApriPacchetto(testo, Modifiche, pacchetto)) {
        if (VerificaContenuto(paziente, pacchetto, false, motivo)) {
            ok = ImportaModificheDa(paziente, modificatoDa, pacchetto);
        } else {
            m_stato.messaggioErrore = PacchettoCartella::TestoRifiuto(Modifiche, motivo);
        }
    } else if (m_stato.messaggioErrore.isEmpty()) {
        m_stato.messaggioErrore = Modifiche + QStringLiteral(": Errore ") + pacchetto.ultimoErrore().testo();
    }
    m_pacchetto.ChiudiPacchetto(pacchetto);
    return ok;
}

bool UnioneCartella::VerificaContenuto(const clsPaziente &paziente, Database &pacchetto, bool cartellaIntera,
                                       QString &motivo)
{
    // The list's tables are asked for one by one, most of them missing from a package: its schema
    // is read once (should that fail, each question goes to the file).
    pacchetto.caricaSchema();
    const bool diCartella =
        EsisteTabella(pacchetto, QStringLiteral("tblAnagrafica")) ||
        std::any_of(std::cbegin(PassiCartella), std::cend(PassiCartella),
                    [&pacchetto](const Passo &p) { return EsisteTabella(pacchetto, QString::fromLatin1(p.tabella)); });
    if (!diCartella) {
        motivo = QStringLiteral("non contiene tabelle della cartella");
        return false;
    }
    if (!cartellaIntera || paziente.KeyPaziente.isEmpty()) {
        return true;
    }

    // A whole chart is the chart of the patient it was filed under, and of nobody else here.
    Recordset p(pacchetto);
    if (!EsisteTabella(pacchetto, QStringLiteral("tblAnagrafica")) ||
        !p.apri(QStringLiteral("SELECT * FROM tblAnagrafica")) || p.eof()) {
        motivo = QStringLiteral("non contiene il paziente");
        return false;
    }
    const QString cognome = QStringLiteral("Cognome");
    const QString nome = QStringLiteral("Nome");
    const QString cf = QStringLiteral("CodiceFiscale");
    const QString filato = Nominativo(paziente.Cognome, paziente.Nome);
    const QString chiave = clsSincronizza::ChiavePaziente(p.testo(cf), p.testo(cognome), p.testo(nome));
    if (chiave != paziente.KeyPaziente) {
        motivo = QStringLiteral("contiene la cartella di %1, non di %2")
                     .arg(Nominativo(p.testo(cognome), p.testo(nome)), filato);
        return false;
    }
    const QString guid = p.testo(QStringLiteral("GUID")).trimmed();
    if (guid.isEmpty()) {
        return true;
    }
    Recordset l(*m_stato.archivio);
    if (!l.apri(QStringLiteral("SELECT ID, Cognome, Nome, CodiceFiscale FROM tblAnagrafica WHERE GUID=?"),
                Recordset::Tipo::SoloAvanti, {guid})) {
        motivo = l.ultimoErrore().testo();
        return false;
    }
    for (; !l.eof(); l.muoviProssimo()) {
        const bool altro = paziente.ID != 0
                               ? l.valore(QStringLiteral("ID")).toInt() != paziente.ID
                               : clsSincronizza::ChiavePaziente(l.testo(cf), l.testo(cognome), l.testo(nome)) != chiave;
        if (altro) {
            motivo = QStringLiteral("la cartella di %1 porta l'identità di %2, un altro paziente di questo archivio")
                         .arg(filato, Nominativo(l.testo(cognome), l.testo(nome)));
            return false;
        }
    }
    return true;
}

bool UnioneCartella::AnagraficaUguale(Database &pacchetto, qint32 idPaziente)
{
    const QString tabella = QStringLiteral("tblAnagrafica");
    if (!EsisteTabella(pacchetto, tabella)) {
        return false;
    }
    Recordset p(pacchetto);
    Recordset l(*m_stato.archivio);
    if (!p.apri(QStringLiteral("SELECT * FROM tblAnagrafica")) || p.eof() ||
        !l.apri(QStringLiteral("SELECT * FROM tblAnagrafica WHERE ID=?"), Recordset::Tipo::SoloAvanti, {idPaziente}) ||
        l.eof()) {
        return false;
    }
    const QStringList comuni = CampiComuni(pacchetto, *m_stato.archivio, tabella);
    return std::all_of(comuni.cbegin(), comuni.cend(), [&](const QString &campo) {
        return campo.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0 ||
               campo.compare(QLatin1String("ToSend"), Qt::CaseInsensitive) == 0 ||
               StessoValore(p.valore(campo), l.valore(campo));
    });
}

bool UnioneCartella::IniziaImportazione(Database &pacchetto)
{
    m_mappaChiavi.clear();
    m_righeConflitti.clear();
    m_righeFuturo.clear();
    m_medico = QString();
    // A row dated more than a day after the server's clock would win every later merge.
    m_oraServer = m_stato.oraServer();
    m_limiteFuturo = m_oraServer.addDays(1).toString(QStringLiteral("yyyyMMddhhmmss"));
    m_erroreNumero = 0;
    m_erroreTesto.clear();
    m_rifiuto.clear();
    if (!m_stato.archivio || !m_stato.archivio->aperto()) {
        return Fallisci(ErroreArchivioChiuso, QStringLiteral("Archivio non aperto"));
    }
    if (!pacchetto.aperto()) {
        return Fallisci(ErroreArchivioChiuso, QStringLiteral("Pacchetto non aperto"));
    }
    // Every table of the list is asked for on both sides, many of them missing from a package:
    // both schemas are read once instead of table by table.
    if (!pacchetto.caricaSchema() || !m_stato.archivio->caricaSchema()) {
        const auto &e =
            pacchetto.ultimoErrore().presente() ? pacchetto.ultimoErrore() : m_stato.archivio->ultimoErrore();
        return Fallisci(e.numero, e.descrizione);
    }
    if (!m_stato.archivio->iniziaTransazione()) {
        const auto &e = m_stato.archivio->ultimoErrore();
        return Fallisci(e.numero, e.descrizione);
    }
    return true;
}

bool UnioneCartella::VerificaPaziente(qint32 idPaziente)
{
    Recordset rs(*m_stato.archivio);
    if (!rs.apri(QStringLiteral("Select ID from tblAnagrafica Where ID=?"), Recordset::Tipo::SoloAvanti,
                 {idPaziente})) {
        return Fallisci(rs.ultimoErrore().numero, rs.ultimoErrore().descrizione);
    }
    if (rs.eof()) {
        return Fallisci(ErrorePazienteAssente,
                        QStringLiteral("Il paziente %1 non è presente nell'archivio").arg(idPaziente));
    }
    return true;
}

bool UnioneCartella::ConcludiImportazione(const QString &operazione, bool ok)
{
    Database *archivio = m_stato.archivio;
    const bool inTransazione = archivio && archivio->inTransazione();
    if (ok && !InErrore() && !m_stato.annullato && inTransazione) {
        if (archivio->confermaTransazione()) {
            // Said once the merge is kept: an interrupted one says nothing and is met again.
            for (const QString &riga : std::as_const(m_righeFuturo)) {
                m_stato.scrivi(riga);
            }
            for (const QString &riga : std::as_const(m_righeConflitti)) {
                m_stato.scrivi(riga);
            }
            m_stato.conflitti += int(m_righeConflitti.size());
            return true;
        }
        Fallisci(archivio->ultimoErrore().numero, archivio->ultimoErrore().descrizione);
    }
    if (archivio && archivio->inTransazione()) {
        archivio->annullaTransazione();
    }
    if (!m_rifiuto.isEmpty()) {
        m_stato.messaggioErrore = PacchettoCartella::TestoRifiuto(operazione, m_rifiuto);
    } else if (InErrore()) {
        m_stato.messaggioErrore = operazione + QStringLiteral(": Errore ") + QString::number(m_erroreNumero) +
                                  QLatin1Char(' ') + m_erroreTesto;
    }
    return false;
}

void UnioneCartella::LeggiPassiConRighe(Database &pacchetto, const QStringList &tabelle, const QStringList &condizioni,
                                        bool conGuid)
{
    // One statement tells which steps find rows in the package, with the very condition each step
    // reads them by: most of a chart's tables are empty, and a colleague's changes touch one or two
    // of the chart's tables; reading each costs its compilation.
    m_passiConRighe = QList<bool>(tabelle.size(), false);
    m_righeNote = false;
    m_tabelleConGuid.clear();
    m_guidNoti = false;
    QList<qsizetype> indici;
    QStringList prove;
    for (qsizetype i = 0; i < tabelle.size(); ++i) {
        if (EsisteTabella(pacchetto, tabelle.at(i))) {
            indici << i;
            prove << QStringLiteral("EXISTS(SELECT 1 FROM %1%2)").arg(Parentesi(tabelle.at(i)), condizioni.at(i));
        }
    }
    if (prove.isEmpty()) {
        m_righeNote = true;
        return;
    }
    QSqlQuery q(pacchetto.connessione());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT ") + prove.join(QLatin1Char(','))) || !q.next()) {
        return; // a table without a column of its condition: every step reads its table
    }
    QStringList vuote;
    for (int i = 0; i < indici.size(); ++i) {
        m_passiConRighe[indici.at(i)] = q.value(i).toInt() != 0;
        const QString tabella = tabelle.at(indici.at(i)).toLower();
        if (!m_passiConRighe.at(indici.at(i)) && !vuote.contains(tabella)) {
            vuote << tabella;
        }
    }
    m_righeNote = true;
    q.finish();
    if (!conGuid || vuote.isEmpty()) {
        return;
    }
    // A whole chart checks its empty tables too, if they have the row identity: a table that brings
    // rows shows its columns with them. Packages of the same archives define their tables alike, so
    // the answer is kept by definition and the tables not met before are asked at once.
    QStringList nuove;
    prove.clear();
    for (const QString &tabella : std::as_const(vuote)) {
        const auto nota = m_guidPerDefinizione.constFind(pacchetto.definizione(tabella));
        if (nota == m_guidPerDefinizione.cend()) {
            nuove << tabella;
            prove << QStringLiteral("EXISTS(SELECT 1 FROM pragma_table_info('%1') WHERE name='GUID' COLLATE NOCASE)")
                         .arg(QString(tabella).replace(QLatin1Char('\''), QStringLiteral("''")));
        } else if (*nota) {
            m_tabelleConGuid.insert(tabella);
        }
    }
    if (!prove.isEmpty()) {
        if (!q.exec(QStringLiteral("SELECT ") + prove.join(QLatin1Char(','))) || !q.next()) {
            return;
        }
        if (m_guidPerDefinizione.size() > DefinizioniMassime) {
            m_guidPerDefinizione.clear(); // packages that all define their tables anew
        }
        for (int i = 0; i < nuove.size(); ++i) {
            const bool haGuid = q.value(i).toInt() != 0;
            const QString definizione = pacchetto.definizione(nuove.at(i));
            if (!definizione.isEmpty()) {
                m_guidPerDefinizione.insert(definizione, haGuid);
            }
            if (haGuid) {
                m_tabelleConGuid.insert(nuove.at(i));
            }
        }
    }
    m_guidNoti = true;
}

bool UnioneCartella::EseguiPassi(qint32 idPaziente, const QString &modificatoDa, bool cartellaIntera,
                                 Database &pacchetto)
{
    const Passo *passi = cartellaIntera ? PassiCartella : PassiModifiche;
    const qsizetype quanti = cartellaIntera ? std::size(PassiCartella) : std::size(PassiModifiche);
    QStringList tabelle;
    QStringList condizioni;
    for (qsizetype i = 0; i < quanti; ++i) {
        tabelle << QString::fromLatin1(passi[i].tabella);
        condizioni << Condizione(cartellaIntera, QString::fromLatin1(passi[i].condizione));
    }
    LeggiPassiConRighe(pacchetto, tabelle, condizioni, cartellaIntera);
    for (qsizetype i = 0; i < quanti; ++i) {
        m_stato.cedi();
        const Passo &passo = passi[i];
        m_passoConRighe = !m_righeNote || m_passiConRighe.at(i);
        const QString tabella = QString::fromLatin1(passo.tabella);
        const QString condizione = QString::fromLatin1(passo.condizione);
        bool ok = false;
        switch (passo.tipo) {
        case Passo::Padre:
            ok = UnisciTabellaPadre(pacchetto, tabella, QString::fromLatin1(passo.campoChiave), idPaziente,
                                    modificatoDa, cartellaIntera, condizione);
            break;
        case Passo::Figlia:
            ok = UnisciTabellaFiglia(pacchetto, tabella, idPaziente, modificatoDa, cartellaIntera, condizione);
            break;
        case Passo::Singola:
            ok = UnisciTabellaSingola(pacchetto, tabella, idPaziente, modificatoDa, cartellaIntera, condizione);
            break;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool UnioneCartella::ImportaCartellaDa(clsPaziente &paziente, Database &pacchetto)
{
    const qint32 idIniziale = paziente.ID;
    m_stato.cartellaComeInviata = false;
    m_comeQui = paziente.ID != 0;
    bool ok = IniziaImportazione(pacchetto);
    if (ok && paziente.ID == 0) {
        paziente.ID = UnisciAnagrafica(pacchetto);
        if (paziente.ID == 0) {
            ok = Fallisci(ErrorePacchettoSenzaPaziente, QStringLiteral("Il pacchetto non contiene il paziente"));
        }
    } else if (ok) {
        ok = VerificaPaziente(paziente.ID);
    }
    if (ok) {
        ok = EseguiPassi(paziente.ID, QString(), true, pacchetto);
    }
    // Nothing written, nothing here that the server's chart lacks, every change not yet sent the
    // same there: the server holds this archive's own chart (an upload whose local marks were lost).
    const bool comeQui = ok && m_comeQui && !m_stato.reinviaCartella && AnagraficaUguale(pacchetto, paziente.ID);
    if (ok && !m_stato.annullato) {
        // Failures here only cost a second download of the same chart; they do not undo the merge.
        if (!lanvera::ImpostaUpdate(*m_stato.archivio, paziente.ID, paziente.IDUpdate)) {
            qCWarning(lcUnione) << "QUOR_tblUpdate:" << m_stato.archivio->ultimoErrore().testo();
        }
        if (!lanvera::ImpostaDateUpdate(*m_stato.archivio, paziente.ID)) {
            qCWarning(lcUnione) << "tblAnagrafica2:" << m_stato.archivio->ultimoErrore().testo();
        }
    }
    ok = ConcludiImportazione(Cartella, ok);
    if (!ok) {
        paziente.ID = idIniziale; // a patient added by this import is gone with it
    }
    m_stato.cartellaComeInviata = ok && comeQui;
    return ok;
}

bool UnioneCartella::ImportaModificheDa(const clsPaziente &paziente, const QString &modificatoDa, Database &pacchetto)
{
    m_comeQui = false;
    bool ok = IniziaImportazione(pacchetto) && VerificaPaziente(paziente.ID);
    if (ok) {
        ok = EseguiPassi(paziente.ID, modificatoDa, false, pacchetto);
    }
    if (ok && !m_stato.annullato) {
        // The chart is to be checked for changes at the next send.
        Recordset rs(*m_stato.archivio);
        ok = rs.apri(QStringLiteral("Select * from tblAnagrafica2 Where IDPaziente=?"), Recordset::Tipo::Dynaset,
                     {paziente.ID}) &&
             (rs.eof() ? rs.aggiungiNuovo() : rs.modifica()) && rs.imposta(QStringLiteral("IDPaziente"), paziente.ID) &&
             rs.imposta(QStringLiteral("TagStato"), 1) && rs.imposta(QStringLiteral("DateUpdate"), Adesso()) &&
             rs.aggiorna();
        if (!ok) {
            Fallisci(rs.ultimoErrore().numero, rs.ultimoErrore().descrizione);
        }
    }
    if (ok && !m_stato.annullato) {
        // The merged rows keep this archive's ToSend, so nothing else would tell the next send that
        // the chart changed: the patient's own row carries the mark, in the same transaction, until
        // the chart has gone back to the server.
        ok = m_stato.archivio->esegui(QStringLiteral("UPDATE tblAnagrafica SET ToSend=0 WHERE ID=? AND ToSend=-1"),
                                      {paziente.ID});
        if (!ok) {
            Fallisci(m_stato.archivio->ultimoErrore().numero, m_stato.archivio->ultimoErrore().descrizione);
        }
    }
    return ConcludiImportazione(Modifiche, ok);
}

bool UnioneCartella::UnisciTabellaPadre(Database &pacchetto, const QString &tabella, const QString &campoChiave,
                                        qint32 idPaziente, const QString &modificatoDa, bool cartellaIntera,
                                        const QString &condizione)
{
    return UnisciPerGuid(pacchetto, tabella, campoChiave.toLower(), false, idPaziente, modificatoDa, cartellaIntera,
                         condizione);
}

bool UnioneCartella::UnisciTabellaFiglia(Database &pacchetto, const QString &tabella, qint32 idPaziente,
                                         const QString &modificatoDa, bool cartellaIntera, const QString &condizione)
{
    return UnisciPerGuid(pacchetto, tabella, QString(), true, idPaziente, modificatoDa, cartellaIntera, condizione);
}

bool UnioneCartella::ApriRighe(QSqlQuery &righe, const QString &tabella, bool cartellaIntera, const QString &condizione)
{
    if (!LeggiRighe(righe, tabella, cartellaIntera, condizione)) {
        const auto e = ErroreDi(righe.lastError());
        return Fallisci(e.numero, e.descrizione);
    }
    return true;
}

bool UnioneCartella::LeggiRighe(QSqlQuery &righe, const QString &tabella, bool cartellaIntera,
                                const QString &condizione)
{
    righe.setForwardOnly(true);
    return righe.exec(QStringLiteral("select * from ") + Parentesi(tabella) + Condizione(cartellaIntera, condizione));
}

bool UnioneCartella::PacchettoConGuid(Database &pacchetto, const QString &tabella) const
{
    return m_guidNoti ? m_tabelleConGuid.contains(tabella.toLower())
                      : pacchetto.esisteCampo(tabella, QStringLiteral("GUID"));
}

bool UnioneCartella::UnisciPerGuid(Database &pacchetto, const QString &tabella, const QString &campoChiave, bool figlia,
                                   qint32 idPaziente, const QString &modificatoDa, bool cartellaIntera,
                                   const QString &condizione)
{
    if (m_stato.annullato) {
        return false;
    }
    Database &archivio = *m_stato.archivio;
    if (!EsisteTabella(pacchetto, tabella) || !EsisteTabella(archivio, tabella)) {
        return true;
    }
    const bool conRighe = m_passoConRighe;
    if (!conRighe && !cartellaIntera) {
        return true;
    }
    // Without the row identity on both sides no row can be matched: any row written would be
    // written again at every import.
    const QString guid = QStringLiteral("GUID");
    const auto nonUnita = [&tabella] {
        qCWarning(lcUnione) << tabella << "senza GUID: non unita";
        return true;
    };
    if (!archivio.esisteCampo(tabella, guid)) {
        return nonUnita();
    }
    if (!conRighe) {
        // Nothing to merge: a whole chart still tells whether this archive holds rows it lacks.
        if (!PacchettoConGuid(pacchetto, tabella)) {
            return nonUnita();
        }
        return VerificaCompletezza(tabella, idPaziente, condizione, 0);
    }
    QSqlQuery righe(pacchetto.connessione());
    if (!LeggiRighe(righe, tabella, cartellaIntera, condizione)) {
        if (!pacchetto.esisteCampo(tabella, guid)) {
            return nonUnita(); // what cannot be matched is not read
        }
        const auto e = ErroreDi(righe.lastError());
        return Fallisci(e.numero, e.descrizione);
    }
    // The package's columns as its rows come, those of the archive as known.
    const QStringList campiPacchetto = CampiDi(righe.record());
    if (IndiceDi(campiPacchetto, guid) < 0) {
        return nonUnita();
    }
    const QStringList campiLocali = archivio.campi(tabella);
    const PianoTabella piano =
        FaiPiano(CampiComuni(campiPacchetto, campiLocali), campiPacchetto, campiLocali,
                 figlia ? ChiaviEsterne() : QStringList{QStringLiteral("iddiario")}, cartellaIntera, false);
    // The statements are prepared at the first row: most tables of a modifications package bring
    // none, and preparing them all would cost more than the rows themselves.
    IstruzioniTabella istruzioni(archivio);
    bool preparate = false;
    const Contesto contesto{m_mappaChiavi, idPaziente, modificatoDa, cartellaIntera};

    qint64 righeLette = 0;
    qint64 senzaGuid = 0;
    QVariantList valori(piano.scritte.size());
    QVariantList locale(piano.letteLocali.size());
    while (righe.next()) {
        ++righeLette;
        if (righeLette % RighePerPausa == 0) {
            m_stato.cedi();
        }
        if (m_stato.annullato) {
            return false;
        }
        const QVariant guid = righe.value(piano.pacchettoGuid);
        if (ComeTesto(guid).trimmed().isEmpty()) {
            // A row without identity matches nothing; added, it would be added again at every import.
            ++senzaGuid;
            continue;
        }
        if (!preparate) {
            if (!istruzioni.prepara(tabella, piano, QStringLiteral("GUID"))) {
                return Fallisci(istruzioni.errore().numero, istruzioni.errore().descrizione);
            }
            preparate = true;
        }
        bool esiste = false;
        if (!istruzioni.cerca(guid, locale, esiste)) {
            return Fallisci(istruzioni.errore().numero, istruzioni.errore().descrizione);
        }
        if (esiste && !cartellaIntera && piano.localePaziente >= 0) {
            // A colleague works on one chart: a row of another patient is not his to change.
            const QVariant di = locale.at(piano.localePaziente);
            if (!di.isNull() && !StessaChiave(di, idPaziente)) {
                return Rifiuta(QStringLiteral("la riga %1 di %2 appartiene a %3, non a %4")
                                   .arg(ComeTesto(guid), tabella, NomePaziente(di.toInt()), NomePaziente(idPaziente)));
            }
        }
        const bool chiaviCambiate = ValoriRiga(piano, righe, esiste ? &locale : nullptr, contesto, valori);
        if (piano.scrittaAggiornato >= 0) {
            CorreggiFuturo(valori[piano.scrittaAggiornato], tabella, idPaziente);
        }

        bool ok = true;
        QVariant idLocale;
        if (!esiste) {
            m_comeQui = false;
            ok = istruzioni.inserisci(valori, idLocale);
        } else {
            idLocale = piano.localeID >= 0 ? locale.at(piano.localeID) : QVariant();
            const QString nelPacchetto = MomentoPacchetto(piano, righe, valori);
            const QString inLocale =
                piano.localeAggiornato >= 0 ? Momento(locale.at(piano.localeAggiornato)) : QString();
            const bool vincePacchetto = nelPacchetto > inLocale || (chiaviCambiate && nelPacchetto == inLocale);
            // What one side loses is kept.
            QVariantList scritteLocali;
            bool diverse = false;
            if (!istruzioni.contesa(locale, valori, nelPacchetto, inLocale, scritteLocali, diverse)) {
                return Fallisci(istruzioni.errore().numero, istruzioni.errore().descrizione);
            }
            if (diverse && !Conserva(ConflittoTra(piano, tabella, ComeTesto(guid), idPaziente, scritteLocali, valori,
                                                  vincePacchetto, MedicoArchivio()))) {
                return false;
            }
            if (vincePacchetto) {
                // The newer version, or the same one with its keys put right.
                m_comeQui = false;
                ok = istruzioni.aggiorna(locale.at(0), valori);
            } else if (chiaviCambiate) {
                // This archive's version is newer: only its keys are put right, its content stays.
                m_comeQui = false;
                ok = istruzioni.aggiornaChiavi(locale.at(0), valori);
            } else if (m_comeQui && NonInviata(piano, locale)) {
                // A change not yet sent is on the server only if the server's row is this very one.
                bool uguale = nelPacchetto == inLocale;
                ok = !uguale || istruzioni.confronta(locale.at(0), valori, uguale);
                m_comeQui = uguale;
            }
        }
        if (!ok) {
            return Fallisci(istruzioni.errore().numero, istruzioni.errore().descrizione);
        }
        if (!campoChiave.isEmpty() && piano.pacchettoID >= 0) {
            const QVariant idPacchetto = righe.value(piano.pacchettoID);
            if (!idPacchetto.isNull()) {
                m_mappaChiavi.insert(campoChiave + TestoChiave(idPacchetto), idLocale.toInt());
            }
        }
    }
    if (righe.lastError().isValid()) {
        const auto e = ErroreDi(righe.lastError());
        return Fallisci(e.numero, e.descrizione);
    }
    if (senzaGuid > 0) {
        qCWarning(lcUnione) << tabella << ":" << senzaGuid << "righe senza GUID non unite";
    }
    if (m_stato.annullato) {
        return false;
    }
    return !cartellaIntera || VerificaCompletezza(tabella, idPaziente, condizione, righeLette);
}

bool UnioneCartella::VerificaCompletezza(const QString &tabella, qint32 idPaziente, const QString &condizione,
                                         qint64 righe)
{
    Database &archivio = *m_stato.archivio;
    if (m_stato.reinviaCartella || !archivio.esisteCampo(tabella, QStringLiteral("IDPaziente"))) {
        return true;
    }
    QString sql =
        QStringLiteral("Select Count(*) as Conta from ") + Parentesi(tabella) + QStringLiteral(" Where (IDPaziente=?)");
    if (!condizione.isEmpty()) {
        sql += QStringLiteral(" and ") + condizione;
    }
    // Asked for every table of every chart: a prepared statement, read by position.
    Istruzione conta(archivio, sql);
    if (!conta.pronta() || !conta.esegui({idPaziente}) || !conta.query().next()) {
        const auto e = conta.pronta() && conta.query().lastError().isValid() ? ErroreDi(conta.query().lastError())
                                                                             : archivio.ultimoErrore();
        return Fallisci(e.numero, e.descrizione);
    }
    if (conta.query().value(0).toLongLong() > righe) {
        // This archive holds rows that the server's chart lacks: the chart is sent after the merge.
        m_stato.reinviaCartella = true;
    }
    return true;
}

bool UnioneCartella::UnisciTabellaSingola(Database &pacchetto, const QString &tabella, qint32 idPaziente,
                                          const QString &modificatoDa, bool cartellaIntera, const QString &condizione)
{
    if (m_stato.annullato) {
        return false;
    }
    Database &archivio = *m_stato.archivio;
    if (!EsisteTabella(pacchetto, tabella) || !EsisteTabella(archivio, tabella)) {
        return true;
    }
    const QStringList campiLocali = archivio.campi(tabella);
    if (IndiceDi(campiLocali, QStringLiteral("IDPaziente")) < 0) {
        qCWarning(lcUnione) << tabella << "senza IDPaziente: non unita";
        return true;
    }
    if (!m_passoConRighe) {
        return true;
    }
    QSqlQuery righe(pacchetto.connessione());
    if (!ApriRighe(righe, tabella, cartellaIntera, condizione)) {
        return false;
    }
    if (!righe.next()) {
        return righe.lastError().isValid()
                   ? Fallisci(ErroreDi(righe.lastError()).numero, ErroreDi(righe.lastError()).descrizione)
                   : true;
    }
    const QStringList campiPacchetto = CampiDi(righe.record());
    const PianoTabella piano = FaiPiano(CampiComuni(campiPacchetto, campiLocali), campiPacchetto, campiLocali,
                                        ChiaviEsterne(), cartellaIntera, true);
    IstruzioniTabella istruzioni(archivio);
    QVariantList locale(piano.letteLocali.size());
    bool esiste = false;
    if (!istruzioni.prepara(tabella, piano, QStringLiteral("IDPaziente")) ||
        !istruzioni.cerca(idPaziente, locale, esiste)) {
        return Fallisci(istruzioni.errore().numero, istruzioni.errore().descrizione);
    }
    QVariantList valori(piano.scritte.size());
    const Contesto contesto{m_mappaChiavi, idPaziente, modificatoDa, cartellaIntera};
    ValoriRiga(piano, righe, esiste ? &locale : nullptr, contesto, valori);
    if (piano.scrittaAggiornato >= 0) {
        CorreggiFuturo(valori[piano.scrittaAggiornato], tabella, idPaziente);
    }
    bool ok = true;
    if (!esiste) {
        m_comeQui = false;
        QVariant idLocale;
        ok = istruzioni.inserisci(valori, idLocale);
    } else {
        const QString nelPacchetto = MomentoPacchetto(piano, righe, valori);
        const QString inLocale = piano.localeAggiornato >= 0 ? Momento(locale.at(piano.localeAggiornato)) : QString();
        QVariantList scritteLocali;
        bool diverse = false;
        if (!istruzioni.contesa(locale, valori, nelPacchetto, inLocale, scritteLocali, diverse)) {
            return Fallisci(istruzioni.errore().numero, istruzioni.errore().descrizione);
        }
        // The row has an identity of its own on each side: the package's names the conflict.
        const QString guid = piano.pacchettoGuid >= 0 ? ComeTesto(righe.value(piano.pacchettoGuid)) : QString();
        if (diverse && !Conserva(ConflittoTra(piano, tabella, guid, idPaziente, scritteLocali, valori,
                                              nelPacchetto > inLocale, MedicoArchivio()))) {
            return false;
        }
        if (nelPacchetto > inLocale) {
            m_comeQui = false;
            ok = istruzioni.aggiorna(locale.at(0), valori);
        } else if (m_comeQui && NonInviata(piano, locale)) {
            bool uguale = nelPacchetto == inLocale;
            ok = !uguale || istruzioni.confronta(locale.at(0), valori, uguale);
            m_comeQui = uguale;
        }
    }
    return ok || Fallisci(istruzioni.errore().numero, istruzioni.errore().descrizione);
}

qint32 UnioneCartella::UnisciAnagrafica(Database &pacchetto)
{
    Database &archivio = *m_stato.archivio;
    const QString tabella = QStringLiteral("tblAnagrafica");
    if (!EsisteTabella(pacchetto, tabella)) {
        return 0;
    }
    Recordset p(pacchetto);
    if (!p.apri(QStringLiteral("select * from tblAnagrafica"))) {
        Fallisci(p.ultimoErrore().numero, p.ultimoErrore().descrizione);
        return 0;
    }
    if (p.eof()) {
        return 0;
    }
    const QStringList comuni = CampiComuni(pacchetto, archivio, tabella);
    const QString guid = p.testo(QStringLiteral("GUID"));
    const bool guidPresente = !guid.trimmed().isEmpty();

    auto fallisciSu = [this](const Recordset &rs) {
        Fallisci(rs.ultimoErrore().numero, rs.ultimoErrore().descrizione);
        return 0;
    };
    auto impostaSeEsiste = [](Recordset &rs, const QString &campo, const QVariant &valore) {
        return !rs.haCampo(campo) || rs.imposta(campo, valore);
    };
    auto copiaComuni = [&](Recordset &rs) {
        for (const QString &campo : comuni) {
            if (campo.compare(QLatin1String("ID"), Qt::CaseInsensitive) != 0 && !rs.imposta(campo, p.valore(campo))) {
                return false;
            }
        }
        return true;
    };

    qint32 id = 0;
    if (guidPresente) {
        // A package patient without identity is matched with nobody: an empty GUID would pick any
        // local patient whose GUID is empty as well.
        Recordset l(archivio);
        if (!l.apri(QStringLiteral("Select * from tblAnagrafica Where [GUID]=?"), Recordset::Tipo::Dynaset, {guid})) {
            return fallisciSu(l);
        }
        if (!l.eof()) {
            const QString cognome = QStringLiteral("Cognome");
            const QString nome = QStringLiteral("Nome");
            const QString cf = QStringLiteral("CodiceFiscale");
            const bool stessoNome = Normale(p.valore(cognome)) == Normale(l.valore(cognome)) &&
                                    Normale(p.valore(nome)) == Normale(l.valore(nome));
            const bool stessoCF = !Normale(p.valore(cf)).isEmpty() && Normale(p.valore(cf)) == Normale(l.valore(cf));
            const bool piuRecente =
                Momento(p.valore(QStringLiteral("LastUpdate"))) > Momento(l.valore(QStringLiteral("LastUpdate")));
            if ((stessoNome && (Normale(l.valore(cf)).isEmpty() || piuRecente)) ||
                (!stessoNome && stessoCF && piuRecente)) {
                id = l.valore(QStringLiteral("ID")).toInt();
            } else if (stessoNome || stessoCF) {
                Fallisci(ErroreIdentitaPaziente,
                         QStringLiteral("Chiave Cognome+Nome+CF diversa:\r\nPaziente su server: ") + p.testo(cognome) +
                             QLatin1Char(' ') + p.testo(nome) + QStringLiteral(" - ") + p.testo(cf) +
                             QStringLiteral("\r\nPaziente in locale: ") + l.testo(cognome) + QLatin1Char(' ') +
                             l.testo(nome) + QStringLiteral(" - ") + l.testo(cf) +
                             QStringLiteral("\r\nCorreggere manualmente i dati anagrafici"));
                return 0;
            } else {
                // Another person under the same identity: the local one takes a new identity and keeps
                // his data; the package's patient is added beside him.
                if (!l.modifica() || !l.imposta(QStringLiteral("GUID"), lanvera::CreaGUID()) || !l.aggiorna()) {
                    return fallisciSu(l);
                }
            }
        }
    }

    Recordset r(archivio);
    if (id != 0) {
        if (!r.apri(QStringLiteral("Select * from tblAnagrafica Where ID=?"), Recordset::Tipo::Dynaset, {id}) ||
            r.eof() || !r.modifica() || !copiaComuni(r) ||
            !impostaSeEsiste(r, QStringLiteral("ModificatoDa"), QString()) ||
            !impostaSeEsiste(r, QStringLiteral("ToSend"), -1) || !impostaSeEsiste(r, QStringLiteral("ToRepl"), 0) ||
            !impostaSeEsiste(r, QStringLiteral("LastUpdate"), Adesso()) || !r.aggiorna()) {
            return fallisciSu(r);
        }
    } else {
        const QVariant adesso = Adesso();
        if (!r.apri(QStringLiteral("Select * from tblAnagrafica Where ID=0"), Recordset::Tipo::Dynaset) ||
            !r.aggiungiNuovo() || !copiaComuni(r) ||
            (!guidPresente && !impostaSeEsiste(r, QStringLiteral("GUID"), lanvera::CreaGUID())) ||
            !impostaSeEsiste(r, QStringLiteral("ModificatoDa"), QString()) ||
            !impostaSeEsiste(r, QStringLiteral("ToSend"), -1) || !impostaSeEsiste(r, QStringLiteral("ToRepl"), 0) ||
            !impostaSeEsiste(r, QStringLiteral("LastInsert"), adesso) ||
            !impostaSeEsiste(r, QStringLiteral("LastUpdate"), adesso) || !r.aggiorna()) {
            return fallisciSu(r);
        }
        id = r.valore(QStringLiteral("ID")).toInt();
    }

    Recordset stato(archivio);
    if (!stato.apri(QStringLiteral("Select * from tblAnagrafica2 Where IDPaziente=?"), Recordset::Tipo::Dynaset,
                    {id})) {
        return fallisciSu(stato);
    }
    if (stato.eof() && (!stato.aggiungiNuovo() || !stato.imposta(QStringLiteral("IDPaziente"), id) ||
                        !stato.imposta(QStringLiteral("TagStato"), 0) || !stato.aggiorna())) {
        return fallisciSu(stato);
    }
    return id;
}
