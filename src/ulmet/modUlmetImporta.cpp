#include "modUlmetImporta.h"

#include "Database.h"
#include "Recordset.h"
#include "clsXML.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;
using lanvera::dao::Recordset;
using namespace modClinora;

namespace modUlmetImporta {

namespace {

using Nodo = clsXML::Nodo;

bool Fallisci(ContestoClinora &c, const QString &routine, const lanvera::dao::Errore &errore)
{
    c.MessaggioErrore = routine + u": Errore "_s + errore.testo();
    ++c.Errori;
    return false;
}

// The records of one section, each read field by field.
class Sezione
{
public:
    Sezione(const clsXML &xml, const char *percorso)
        : m_xml(xml), m_nodi(xml.SelectNodeList(xml.RootNode(), QString::fromLatin1(percorso)))
    {}

    template<typename Scrivi>
    void perOgni(Scrivi scrivi) const
    {
        for (const Nodo &n : m_nodi) {
            m_nodo = n;
            scrivi();
        }
    }

    QString testo(const char *campo) const { return m_xml.GetNode(m_nodo, QString::fromLatin1(campo)); }
    QDate data(const char *campo) const { return DataUlmet(testo(campo)); }
    double numero(const char *campo) const { return NumeroUlmet(testo(campo)); }
    Nodo nodo() const { return m_nodo; }

private:
    const clsXML &m_xml;
    clsXML::ListaNodi m_nodi;
    mutable Nodo m_nodo;
};

// Runs `lavoro` inside a transaction of its own unless the caller already has one open.
template<typename Lavoro>
bool InTransazione(ContestoClinora &c, const QString &routine, Lavoro lavoro)
{
    const bool propria = !c.db.inTransazione();
    if (propria && !c.db.iniziaTransazione()) {
        return Fallisci(c, routine, c.db.ultimoErrore());
    }
    const bool ok = lavoro();
    if (!propria) {
        return ok;
    }
    if (!ok) {
        c.db.annullaTransazione();
        return false;
    }
    return c.db.confermaTransazione() || Fallisci(c, routine, c.db.ultimoErrore());
}

} // namespace

QDate DataUlmet(const QString &testo)
{
    const QString t = testo.trimmed();
    if (t.size() != 8) {
        return {};
    }
    return QDate::fromString(t, u"yyyyMMdd"_s);
}

double NumeroUlmet(const QString &testo)
{
    static const QRegularExpression numero(u"^\\s*([+-]?(?:\\d+(?:[.,]\\d*)?|[.,]\\d+))"_s);
    const QRegularExpressionMatch m = numero.match(testo);
    return m.hasMatch() ? m.captured(1).replace(u',', u'.').toDouble() : 0;
}

qint32 ImportaAnagrafica(ContestoClinora &c, const clsXML &xml)
{
    const QString routine = u"Importa Anagrafica"_s;
    const Nodo nodo = xml.SelectNode(xml.RootNode(), u"anagrafica"_s);
    if (!nodo) {
        c.MessaggioErrore = routine + u": il documento non contiene i dati anagrafici"_s;
        ++c.Errori;
        return 0;
    }
    const auto campo = [&](const char *nome) { return xml.GetNode(nodo, QString::fromLatin1(nome)).trimmed(); };
    const QDate nascita = DataUlmet(campo("datanascita"));
    const std::pair<const char16_t *, QVariant> colonne[] = {
        {u"CodiceFiscale", campo("codicefiscale")},
        {u"Tessera", campo("tessera")},
        {u"Cognome", campo("cognome")},
        {u"Nome", campo("nome")},
        {u"Sesso", campo("sesso")},
        {u"DataNascita", nascita.isValid() ? QVariant(nascita) : QVariant()},
        {u"LuogoNascita", campo("comunenascita")},
        {u"Indirizzo", campo("indirizzodomicilio")},
        {u"Città", campo("comunedomicilio")},
        {u"Provincia", campo("provinciadomicilio")},
        {u"CAP", campo("capdomicilio")},
        {u"IndirizzoResidenza", campo("indirizzoresidenza")},
        {u"CittàResidenza", campo("comuneresidenza")},
        {u"ProvinciaResidenza", campo("provinciaresidenza")},
        {u"CAPResidenza", campo("capresidenza")},
        {u"USL", campo("aslappartenenza")},
        {u"USLResidenza", campo("aslassistenza")},
        {u"Emogruppo", QString(campo("grupposang") + campo("fattorerh"))},
        {u"Telefono", campo("telefono")},
        {u"TipoPaziente", campo("tipoassistito")},
        {u"Note", campo("note")},
    };

    Recordset rs(c.db);
    bool ok = rs.apri(u"SELECT * FROM tblAnagrafica WHERE 0=1"_s, Recordset::Tipo::Dynaset) && rs.aggiungiNuovo();
    for (const auto &[colonna, valore] : colonne) {
        ok = ok && rs.imposta(QString::fromUtf16(colonna), valore);
    }
    if (!(ok && rs.aggiorna())) {
        Fallisci(c, routine, rs.ultimoErrore());
        return 0;
    }
    const qint32 id = rs.valore(u"ID"_s).toInt();
    ScriviRapporto(c, id, DataUlmet(campo("inizioassistenza")), DataUlmet(campo("fineassistenza")), QString());
    return id;
}

bool ImportaEsenzioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "esenzioni/esenzione");
    s.perOgni([&] { ScriviEsenzione(c, idPaziente, s.testo("codiceesenzione"), QString(), s.data("datascadenza")); });
    return c.Errori == errori;
}

bool ImportaAllergie(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "allergie/allergia");
    s.perOgni([&] {
        ScriviAllergia(c, idPaziente, s.testo("tipo"), s.testo("codiceatc"), s.testo("codiceaic"), s.testo("note"),
                       s.testo("descrizionemolecola"));
    });
    return c.Errori == errori;
}

bool ImportaProblemi(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "problemi/problema");
    s.perOgni([&] {
        ScriviProblema(c, idPaziente, s.data("datainizio"), s.data("datafine"), s.testo("codiceicd9"),
                       s.testo("descrizione"));
    });
    return c.Errori == errori;
}

bool ImportaDiario(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "diarioclinico/diario");
    s.perOgni([&] {
        ScriviDiario(c, idPaziente, s.data("data"), s.testo("descrizione"), TipoDiario::Altro, false,
                     s.testo("codiceicd9"));
    });
    return c.Errori == errori;
}

bool ImportaPrestazioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "prestazioni/prestazione");
    s.perOgni([&] {
        const QString tipo = s.testo("tipo").trimmed().toUpper();
        const QDate data = s.data("data");
        const QString icd9 = s.testo("codiceicd9");
        const QString descrizione = s.testo("descrizione");
        const auto codici = [&] {
            QList<CodicePrestazione> elenco;
            for (const Nodo &n : xml.SelectNodeList(s.nodo(), u"codiceprestazione"_s)) {
                elenco.append({clsXML::TestoNodo(n), xml.GetAttribute(n, u"tipo"_s)});
            }
            return RisolviCodicePrestazione(c, elenco, descrizione);
        };
        if (tipo == u"F"_s) {
            const QString aic = s.testo("codiceprestazione");
            ScriviFarmaco(c, idPaziente, data, aic, icd9, s.numero("qta"), s.testo("classe"), s.testo("note"),
                          s.testo("posologia"), descrizione);
            if (s.testo("continuativo").trimmed().compare(u"S"_s, Qt::CaseInsensitive) == 0) {
                ScriviTerapia(c, idPaziente, aic, s.numero("qta"), s.testo("classe"), s.testo("note"),
                              s.testo("posologia"), s.testo("codiceesenzione"), icd9);
            }
        } else if (tipo == u"V"_s) {
            ScriviVisita(c, idPaziente, data, codici(), descrizione, icd9, s.data("datareferto"), s.testo("risultato"));
        } else if (tipo == u"S"_s) {
            ScriviStrumentale(c, idPaziente, data, codici(), descrizione, icd9, s.data("datareferto"),
                              s.testo("risultato"));
        } else if (tipo == u"L"_s) {
            ScriviLaboratorio(c, idPaziente, data, codici(), descrizione, icd9, s.data("datareferto"),
                              s.testo("risultato"));
        } else if (tipo == u"P"_s) {
            ScriviDiario(c, idPaziente, data, descrizione, TipoDiario::Prestazione, false, icd9);
        } else if (tipo == u"C"_s) {
            ScriviCertificato(c, idPaziente, data, icd9, descrizione, s.testo("note"));
        } else {
            ScriviDiario(c, idPaziente, data, descrizione, TipoDiario::Altro, false, icd9);
        }
    });
    return c.Errori == errori;
}

bool ImportaMisure(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "misure/misura");
    s.perOgni([&] {
        const QString ritmo = s.testo("ritmocardiaco").trimmed().toLower();
        const bool aritmico = ritmo == u"aritmico"_s || ritmo == u"aritmica"_s;
        ScriviPressione(c, idPaziente, s.data("data"), s.numero("pmin"), s.numero("pmax"), s.numero("freqcardiaca"),
                        aritmico);
        ScriviPeso(c, idPaziente, s.data("data"), s.numero("pesokg"), s.numero("altezzacm"), s.numero("cvitacm"));
    });
    return c.Errori == errori;
}

bool ImportaRicoveri(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "ricoveri/ricovero");
    s.perOgni([&] {
        ScriviRicovero(c, idPaziente, s.testo("strutturaricovero"), s.testo("diagnosiingresso"),
                       s.data("datadimissione"), s.testo("diagnosidimissione"), s.data("dataingresso"));
    });
    return c.Errori == errori;
}

bool ImportaVaccinazioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    const int errori = c.Errori;
    const Sezione s(xml, "vaccinazioni/vaccinazione");
    s.perOgni([&] {
        // The chart document going out carries the vaccination's note as "motivo" and leaves
        // "note" empty: either is read, so that a note survives the way there and back.
        const QString nota = s.testo("note");
        ScriviVaccinazione(c, idPaziente, s.data("datavaccinazione"), s.data("datarichiamo"), s.testo("vaccino"),
                           nota.trimmed().isEmpty() ? s.testo("motivo") : nota);
    });
    return c.Errori == errori;
}

bool ImportaSezioni(ContestoClinora &c, qint32 idPaziente, const clsXML &xml)
{
    // A section that fails leaves the others to run: as much of the chart as can be written is kept.
    // The transaction is only for speed and for the unit of the whole chart.
    bool tutte = true;
    const bool ok = InTransazione(c, u"Importa Cartella"_s, [&] {
        using Lettore = bool (*)(ContestoClinora &, qint32, const clsXML &);
        for (Lettore lettore : {ImportaEsenzioni, ImportaAllergie, ImportaProblemi, ImportaDiario, ImportaPrestazioni,
                                ImportaMisure, ImportaRicoveri, ImportaVaccinazioni}) {
            tutte = lettore(c, idPaziente, xml) && tutte;
        }
        return true;
    });
    return ok && tutte;
}

qint32 ImportaCartella(ContestoClinora &c, const clsXML &xml)
{
    qint32 id = 0;
    const bool ok = InTransazione(c, u"Importa Cartella"_s, [&] {
        id = ImportaAnagrafica(c, xml);
        if (id != 0) {
            ImportaSezioni(c, id, xml);
        }
        return id != 0;
    });
    return ok ? id : 0;
}

} // namespace modUlmetImporta
