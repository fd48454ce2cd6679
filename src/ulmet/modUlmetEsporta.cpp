#include "modUlmetEsporta.h"

#include "ContrattoClinora.h"
#include "Database.h"
#include "clsXML.h"

#include <QDateTime>
#include <QHash>

#include <functional>
#include <iterator>
#include <optional>

using namespace Qt::StringLiterals;
using lanvera::dao::ComeBool;
using lanvera::dao::ComeData;
using lanvera::dao::ComeTesto;

namespace modUlmet {

namespace {

// The identifier as a number for a statement; none for Null or anything that is not a number,
// which then finds nothing without reaching the archive.
std::optional<qlonglong> Identificativo(const QVariant &id)
{
    if (id.isNull()) {
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong numero = id.toLongLong(&ok);
    return ok ? std::optional(numero) : std::nullopt;
}

// The text of `campo` in the first row of `sql`: empty when there is no row, none when the
// statement fails.
std::optional<QString> PrimoValore(clinora::ClsDB &db, const QString &sql, const QString &campo)
{
    const std::unique_ptr<clinora::Record> rs = db.OpenRecordset(sql, clinora::ClsDB::SoloAvanti);
    if (!rs) {
        return std::nullopt;
    }
    std::optional<QString> testo = QString();
    if (!rs->Eof()) {
        const QVariant valore = rs->Campo(campo);
        testo = valore.isValid() ? std::optional(ComeTesto(valore)) : std::nullopt;
    }
    rs->CloseRecordset();
    return testo;
}

std::optional<QString> Cerca(clinora::ClsDB &db, const QString &select, const QVariant &id, const QString &campo,
                             const QString &coda = {})
{
    const std::optional<qlonglong> numero = Identificativo(id);
    if (!numero) {
        return QString();
    }
    return PrimoValore(db, select + QString::number(*numero) + coda, campo);
}

std::optional<QString> CercaATC(clinora::ClsDB &db, const QVariant &id)
{
    return Cerca(db, u"SELECT CodiceATC from Principi where ID="_s, id, u"CodiceATC"_s);
}

std::optional<QString> CercaPrincipio(clinora::ClsDB &db, const QVariant &id)
{
    return Cerca(db, u"SELECT Principio from Principi where ID="_s, id, u"Principio"_s);
}

std::optional<QString> CercaAIC(clinora::ClsDB &db, const QVariant &id)
{
    return Cerca(db, u"SELECT AIC from Farmaci where ID="_s, id, u"AIC"_s);
}

std::optional<QString> CercaCodicePrestazione(clinora::ClsDB &db, const QVariant &idEsame, const QVariant &idVisita)
{
    if (!idEsame.isNull()) {
        return Cerca(db, u"SELECT Codice from arcEsami where ID="_s, idEsame, u"Codice"_s);
    }
    return Cerca(db, u"SELECT Codice from arcVisite where ID="_s, idVisita, u"Codice"_s);
}

std::optional<QString> CercaICD9Diario(clinora::ClsDB &db, const QVariant &idDiario)
{
    return Cerca(db,
                 u"SELECT tblProblemi.CodiceICD9 FROM tblProblemi INNER JOIN tblProblemiDiario ON "
                 "tblProblemi.ID = tblProblemiDiario.IDProblema WHERE (tblProblemiDiario.IDDiario="_s,
                 idDiario, u"CodiceICD9"_s, u")"_s);
}

// One row of a section's statement. A column that is not there, or a look-up that fails, marks
// the row: the section then fails as a whole rather than send a chart with holes.
class Riga
{
public:
    explicit Riga(const clinora::Record &record) : m_record(record) {}

    QVariant valore(const QString &campo) const
    {
        const QVariant v = m_record.Campo(campo);
        if (!v.isValid()) {
            m_errore = true;
        }
        return v;
    }
    QString testo(const QString &campo) const { return ComeTesto(valore(campo)); }
    bool vero(const QString &campo) const { return ComeBool(valore(campo)); }
    bool nullo(const QString &campo) const { return valore(campo).isNull(); }
    bool eData(const QString &campo) const { return ComeData(valore(campo)).isValid(); }
    // "yyyymmdd"; empty for an empty or Null date.
    QString data(const QString &campo) const
    {
        const QDateTime momento = ComeData(valore(campo));
        return momento.isValid() ? momento.toString(u"yyyyMMdd"_s) : QString();
    }
    QString ricerca(const std::optional<QString> &risultato) const
    {
        if (!risultato) {
            m_errore = true;
        }
        return risultato.value_or(QString());
    }
    bool errore() const { return m_errore; }

private:
    const clinora::Record &m_record;
    mutable bool m_errore = false;
};

// Runs a section's statement: `scrivi` for every row that passes `filtro`. The rows written, or
// -1 when the archive could not be read.
int PerOgniRiga(clinora::ClsDB &db, const QString &sql, const std::function<bool(const Riga &)> &filtro,
                const std::function<void(const Riga &)> &scrivi)
{
    const std::unique_ptr<clinora::Record> rs = db.OpenRecordset(sql, clinora::ClsDB::SoloAvanti);
    if (!rs) {
        return -1;
    }
    int scritte = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        const Riga riga(*rs);
        const bool passa = filtro(riga);
        if (!riga.errore() && passa) {
            scrivi(riga);
            ++scritte;
        }
        if (riga.errore()) {
            rs->CloseRecordset();
            return -1;
        }
    }
    rs->CloseRecordset();
    return scritte;
}

QString SqlSezione(const QString &tabella, bool perData)
{
    return u"SELECT * From "_s + tabella + u" Where ToSend<>-1"_s + (perData ? u" order by Data"_s : QString());
}

// The document types of hospital admissions: those diary rows go out as admissions.
bool Ricovero(const Riga &riga)
{
    const QString tipo = riga.testo(u"IDPrestazione"_s);
    return tipo == u"9"_s || tipo == u"16"_s || tipo == u"23"_s;
}

bool DiarioDatato(const Riga &riga)
{
    return riga.eData(u"Data"_s) && !riga.vero(u"Ricetta"_s);
}

} // namespace

QString CodiceATCPrincipio(clinora::ClsDB &db, const QVariant &idPrincipio)
{
    return CercaATC(db, idPrincipio).value_or(QString());
}

QString NomePrincipio(clinora::ClsDB &db, const QVariant &idPrincipio)
{
    return CercaPrincipio(db, idPrincipio).value_or(QString());
}

QString AICFarmaco(clinora::ClsDB &db, const QVariant &idFarmaco)
{
    return CercaAIC(db, idFarmaco).value_or(QString());
}

QString CodicePrestazione(clinora::ClsDB &db, const QVariant &idEsame, const QVariant &idVisita)
{
    return CercaCodicePrestazione(db, idEsame, idVisita).value_or(QString());
}

QString CodiceICD9Diario(clinora::ClsDB &db, const QVariant &idDiario)
{
    return CercaICD9Diario(db, idDiario).value_or(QString());
}

QString TipoDocumento(const QVariant &valore)
{
    static const QString nomi[] = {
        u"Certificato Medico"_s,
        u"Certificato INPS"_s,
        u"Dimissione da Ospedale"_s,
        u"Esami di Laboratorio"_s,
        u"Esami Strumentali"_s,
        u"Prescr.Prestaz./Visita Medica"_s,
        u"Presidio Medico"_s,
        u"Ricovero Ospedaliero"_s,
        u"Visita Ambulatoriale"_s,
        u"Visita Specialistica"_s,
        u"Prestazioni Impegno Professionale (PIP)"_s,
        u"Visita Domiciliare"_s,
        u"Visita Domiciliare Integrata (ADI)"_s,
        u"Visita Domiciliare Programmata"_s,
        u"Ricovero Day Hospital"_s,
        u"Prestazione di Pronto Soccorso"_s,
        u"Referti Esami Laboratorio"_s,
        u"Certificato INAIL"_s,
        u"Referti Visite Spec./Esami Strum."_s,
        u"Terapia Riabilitativa"_s,
        u"Descrizione Problema"_s,
        u"Ricovero con intervento chirurgico"_s,
        u"Intervento chirurgico ambulatoriale"_s,
        u"Trattamento chemioterapico"_s,
        u"Trattamento radioterapico"_s,
        u"Cure palliative"_s,
        u"Cure termali"_s,
    };
    constexpr int primo = 2;
    // Compared as text, so that only the plain numbers 2 to 28 have a name.
    const QString testo = ComeTesto(valore);
    for (int i = 0; i < int(std::size(nomi)); ++i) {
        if (testo == QString::number(primo + i)) {
            return nomi[i];
        }
    }
    return u"Altro"_s;
}

int EsportaAllergie(clinora::ClsDB &db, clsXML &doc)
{
    const clsXML::Nodo sezione = doc.CreateNode(doc.RootNode(), u"allergie"_s);
    return PerOgniRiga(
        db, SqlSezione(u"tblAllergie"_s, false),
        [](const Riga &r) { return r.valore(u"IDPrincipio"_s).toLongLong() != 0 || !r.testo(u"Nota"_s).isEmpty(); },
        [&](const Riga &r) {
            const clsXML::Nodo n = doc.CreateNode(sezione, u"allergia"_s);
            const QVariant principio = r.valore(u"IDPrincipio"_s);
            doc.CreateNode(n, u"codiceatc"_s, r.ricerca(CercaATC(db, principio)));
            doc.CreateNode(n, u"codiceaic"_s, r.ricerca(CercaAIC(db, r.valore(u"IDFarmaco"_s))));
            doc.CreateNode(n, u"descrizionemolecola"_s, r.ricerca(CercaPrincipio(db, principio)));
            doc.CreateNode(n, u"tipo"_s, r.vero(u"Intolleranza"_s) ? u"I"_s : u"A"_s);
            doc.CreateNode(n, u"note"_s, r.testo(u"Nota"_s));
        });
}

int EsportaProblemi(clinora::ClsDB &db, clsXML &doc)
{
    const clsXML::Nodo sezione = doc.CreateNode(doc.RootNode(), u"problemi"_s);
    return PerOgniRiga(
        db, SqlSezione(u"tblProblemi"_s, false), [](const Riga &r) { return !r.testo(u"Etichetta"_s).isEmpty(); },
        [&](const Riga &r) {
            const clsXML::Nodo n = doc.CreateNode(sezione, u"problema"_s);
            doc.CreateNode(n, u"codiceicd9"_s, r.testo(u"CodiceICD9"_s));
            doc.CreateNode(n, u"datainizio"_s, r.data(u"DataApertura"_s));
            doc.CreateNode(n, u"datafine"_s, r.data(u"DataChiusura"_s));
            doc.CreateNode(n, u"descrizione"_s, r.testo(u"Etichetta"_s));
        });
}

int EsportaDiario(clinora::ClsDB &db, clsXML &doc)
{
    const clsXML::Nodo sezione = doc.CreateNode(doc.RootNode(), u"diarioclinico"_s);
    return PerOgniRiga(
        db, SqlSezione(u"tblDiario"_s, true), [](const Riga &r) { return DiarioDatato(r) && !Ricovero(r); },
        [&](const Riga &r) {
            const clsXML::Nodo n = doc.CreateNode(sezione, u"diario"_s);
            doc.CreateNode(n, u"tipo"_s, TipoDocumento(r.valore(u"IDPrestazione"_s)));
            doc.CreateNode(n, u"codiceicd9"_s, r.testo(u"CodiceICD9"_s));
            doc.CreateNode(n, u"data"_s, r.data(u"Data"_s));
            doc.CreateNode(n, u"descrizione"_s, r.testo(u"Diario"_s));
        });
}

int EsportaPrestazioni(clinora::ClsDB &db, clsXML &doc)
{
    const clsXML::Nodo sezione = doc.CreateNode(doc.RootNode(), u"prestazioni"_s);
    return PerOgniRiga(
        db, SqlSezione(u"tblPrescrizioni"_s, true), [](const Riga &r) { return r.eData(u"Data"_s); },
        [&](const Riga &r) {
            const bool farmaco = !r.nullo(u"IDFarmaco"_s);
            const bool esame = !r.nullo(u"IDEsame"_s);
            const QString descrizione = r.testo(u"Descrizione"_s);
            QString tipo = u"S"_s;
            if (farmaco) {
                tipo = u"F"_s;
            } else if (esame) {
                tipo = u"L"_s;
            } else if (descrizione.contains(u"visit"_s, Qt::CaseInsensitive)) {
                tipo = u"V"_s;
            }
            const QString codice =
                farmaco ? r.ricerca(CercaAIC(db, r.valore(u"IDFarmaco"_s)))
                        : r.ricerca(CercaCodicePrestazione(db, r.valore(u"IDEsame"_s), r.valore(u"IDVisita"_s)));
            const QString diagnosi = r.testo(u"Diagnosi"_s);
            const bool conDiagnosi = !diagnosi.trimmed().isEmpty() && !r.nullo(u"IDDiario"_s);
            const QString icd9 = conDiagnosi ? r.ricerca(CercaICD9Diario(db, r.valore(u"IDDiario"_s))) : QString();

            const clsXML::Nodo n = doc.CreateNode(sezione, u"prestazione"_s);
            doc.CreateNode(n, u"tipo"_s, tipo);
            doc.CreateNode(n, u"data"_s, r.data(u"Data"_s));
            doc.CreateNode(n, u"qta"_s, r.testo(u"Quantità"_s));
            // A drug always names its code, even an empty one; other rows only a code they have.
            if (farmaco || !codice.isEmpty()) {
                doc.AddNode(n, u"codiceprestazione"_s, codice, {u"tipo"_s, u"minsan"_s});
            }
            doc.CreateNode(n, u"descrizione"_s, descrizione);
            doc.CreateNode(n, u"classe"_s, r.testo(u"Classe"_s));
            doc.CreateNode(n, u"notaaifa"_s, r.testo(u"NotaCUF"_s));
            doc.CreateNode(n, u"posologia"_s,
                           QString(r.testo(u"PosQuantità"_s) + u' ' + r.testo(u"PosDescrizione"_s)).trimmed());
            doc.CreateNode(n, u"continuativo"_s, u"N"_s);
            doc.CreateNode(n, u"flagubdp"_s);
            doc.CreateNode(n, u"codiceesenzione"_s, r.testo(u"CodiceEsenzione"_s));
            doc.CreateNode(n, u"codiceicd9"_s, icd9);
            doc.CreateNode(n, u"descrizionediagnosi"_s, conDiagnosi ? diagnosi : QString());
            for (const QString &vuoto : {u"datarisultato"_s, u"risultato"_s, u"lab"_s, u"patologico"_s, u"note"_s}) {
                doc.CreateNode(n, vuoto);
            }
        });
}

int EsportaMisure(clinora::ClsDB &db, clsXML &doc)
{
    const clsXML::Nodo sezione = doc.CreateNode(doc.RootNode(), u"misure"_s);
    const auto datata = [](const Riga &r) { return r.eData(u"Data"_s); };
    // The elements of a measurement, in their order; the ones a table does not have stay empty.
    const auto misura = [&](const QHash<QString, QString> &valori) {
        const clsXML::Nodo n = doc.CreateNode(sezione, u"misura"_s);
        for (const QString &nome : {u"data"_s, u"pesokg"_s, u"altezzacm"_s, u"cccm"_s, u"pmin"_s, u"pmax"_s,
                                    u"cvitacm"_s, u"freqcardiaca"_s, u"ritmocardiaco"_s}) {
            doc.CreateNode(n, nome, valori.value(nome));
        }
    };
    const int pressione = PerOgniRiga(db, SqlSezione(u"tblMonitorIpertensione"_s, true), datata, [&](const Riga &r) {
        misura({{u"data"_s, r.data(u"Data"_s)},
                {u"pmin"_s, r.testo(u"Minima"_s)},
                {u"pmax"_s, r.testo(u"Massima"_s)},
                {u"freqcardiaca"_s, r.testo(u"Frequenza"_s)},
                {u"ritmocardiaco"_s, r.vero(u"Aritmico"_s) ? u"Aritmica"_s : u"Ritmica"_s}});
    });
    if (pressione < 0) {
        return -1;
    }
    const int peso = PerOgniRiga(db, SqlSezione(u"tblMonitorBMI"_s, true), datata, [&](const Riga &r) {
        misura({{u"data"_s, r.data(u"Data"_s)},
                {u"pesokg"_s, r.testo(u"Peso"_s)},
                {u"altezzacm"_s, r.testo(u"Altezza"_s)},
                {u"cvitacm"_s, r.testo(u"crfVita"_s)}});
    });
    return peso < 0 ? -1 : pressione + peso;
}

int EsportaRicoveri(clinora::ClsDB &db, clsXML &doc)
{
    const clsXML::Nodo sezione = doc.CreateNode(doc.RootNode(), u"ricoveri"_s);
    return PerOgniRiga(
        db, SqlSezione(u"tblDiario"_s, true), [](const Riga &r) { return DiarioDatato(r) && Ricovero(r); },
        [&](const Riga &r) {
            const clsXML::Nodo n = doc.CreateNode(sezione, u"ricovero"_s);
            doc.CreateNode(n, u"dataingresso"_s, r.data(u"Data"_s));
            doc.CreateNode(n, u"strutturaricovero"_s, r.testo(u"Diario"_s));
            doc.CreateNode(n, u"datadimissione"_s);
            doc.CreateNode(n, u"diagnosidimissione"_s);
        });
}

int EsportaVaccinazioni(clinora::ClsDB &db, clsXML &doc)
{
    const clsXML::Nodo sezione = doc.CreateNode(doc.RootNode(), u"vaccinazioni"_s);
    return PerOgniRiga(
        db, SqlSezione(u"tblVaccinazioni"_s, true), [](const Riga &r) { return r.eData(u"Data"_s); },
        [&](const Riga &r) {
            const clsXML::Nodo n = doc.CreateNode(sezione, u"vaccinazione"_s);
            doc.CreateNode(n, u"datavaccinazione"_s, r.data(u"Data"_s));
            doc.CreateNode(n, u"datarichiamo"_s, r.data(u"DataRichiamo"_s));
            doc.CreateNode(n, u"vaccino"_s, r.testo(u"Vaccino"_s));
            doc.CreateNode(n, u"prodotto"_s);
            doc.CreateNode(n, u"motivo"_s, r.testo(u"Note"_s));
            doc.CreateNode(n, u"note"_s);
        });
}

bool CreaDatiCartella(clinora::ClsDB &db, QString &xml)
{
    clsXML doc;
    doc.AddAttribute(doc.CreateRootNode(u"dati"_s), u"cartella"_s, u"clinora"_s);
    int totale = 0;
    for (const auto sezione : {EsportaAllergie, EsportaProblemi, EsportaDiario, EsportaPrestazioni, EsportaMisure,
                               EsportaRicoveri, EsportaVaccinazioni}) {
        const int scritte = sezione(db, doc);
        if (scritte < 0) {
            return false;
        }
        totale += scritte;
    }
    xml = doc.XML();
    return totale > 0;
}

} // namespace modUlmet
