#include "CartellaUlmet.h"

#include "Database.h"
#include "Recordset.h"
#include "clsXML.h"

#include <QDateTime>
#include <QScopeGuard>

#include <functional>
#include <zip.h>

using namespace Qt::StringLiterals;
using lanvera::dao::ComeBool;
using lanvera::dao::ComeData;
using lanvera::dao::ComeTesto;
using lanvera::dao::Recordset;

namespace CartellaUlmet {

namespace {

// Reads the rows of one statement on the patient and writes one record element per row.
class Scrittore
{
public:
    Scrittore(lanvera::dao::Database &archivio, qint64 idPaziente, clsXML &documento, QString &errore)
        : m_archivio(archivio), m_idPaziente(idPaziente), m_documento(documento), m_errore(errore)
    {}

    // `sql` has one "?" place, the patient's number.
    bool Righe(const QString &sql, const std::function<void(const Recordset &)> &riga)
    {
        Recordset rs(m_archivio);
        if (!rs.apri(sql, Recordset::Tipo::SoloAvanti, {m_idPaziente})) {
            m_errore = rs.ultimoErrore().testo();
            return false;
        }
        for (; !rs.eof(); rs.muoviProssimo()) {
            riga(rs);
        }
        return true;
    }

    clsXML::Nodo Sezione(const QString &nome) { return m_documento.CreateNode(m_documento.RootNode(), nome); }
    clsXML::Nodo Record(clsXML::Nodo sezione, const QString &nome) { return m_documento.CreateNode(sezione, nome); }
    void Campo(clsXML::Nodo record, const QString &nome, const QString &valore)
    {
        m_documento.CreateNode(record, nome, QVariant(valore));
    }

    void CampoMinsan(clsXML::Nodo record, const QString &codice)
    {
        m_documento.AddNode(record, u"codiceprestazione"_s, QVariant(codice), {u"tipo"_s, u"minsan"_s});
    }

private:
    lanvera::dao::Database &m_archivio;
    qint64 m_idPaziente;
    clsXML &m_documento;
    QString &m_errore;
};

QString Data(const Recordset &rs, const QString &campo)
{
    const QDateTime data = ComeData(rs.valore(campo));
    return data.isValid() ? data.toString(u"yyyyMMdd"_s) : QString();
}

QString Testo(const Recordset &rs, const QString &campo)
{
    return ComeTesto(rs.valore(campo));
}

bool Anagrafica(Scrittore &s)
{
    QString inizio;
    QString fine;
    if (!s.Righe(u"SELECT DataInizio, DataFine FROM tblRapporti WHERE IDPaziente=? "
                 "ORDER BY DataInizio DESC, ID DESC LIMIT 1"_s,
                 [&](const Recordset &rs) {
                     inizio = Data(rs, u"DataInizio"_s);
                     fine = Data(rs, u"DataFine"_s);
                 })) {
        return false;
    }
    const clsXML::Nodo sezione = s.Sezione(u"anagrafica"_s);
    return s.Righe(u"SELECT * FROM tblAnagrafica WHERE ID=?"_s, [&](const Recordset &rs) {
        const std::pair<const char16_t *, const char16_t *> campi[] = {
            {u"codicefiscale", u"CodiceFiscale"},
            {u"tessera", u"Tessera"},
            {u"cognome", u"Cognome"},
            {u"nome", u"Nome"},
            {u"sesso", u"Sesso"},
            {u"comunenascita", u"LuogoNascita"},
            {u"indirizzodomicilio", u"Indirizzo"},
            {u"comunedomicilio", u"Città"},
            {u"provinciadomicilio", u"Provincia"},
            {u"capdomicilio", u"CAP"},
            {u"indirizzoresidenza", u"IndirizzoResidenza"},
            {u"comuneresidenza", u"CittàResidenza"},
            {u"provinciaresidenza", u"ProvinciaResidenza"},
            {u"capresidenza", u"CAPResidenza"},
            {u"aslappartenenza", u"USL"},
            {u"aslassistenza", u"USLResidenza"},
            // The blood group is kept whole: the reader joins group and factor again.
            {u"grupposang", u"Emogruppo"},
            {u"telefono", u"Telefono"},
            {u"tipoassistito", u"TipoPaziente"},
            {u"note", u"Note"},
        };
        for (const auto &[elemento, colonna] : campi) {
            s.Campo(sezione, QString::fromUtf16(elemento), Testo(rs, QString::fromUtf16(colonna)));
        }
        s.Campo(sezione, u"datanascita"_s, Data(rs, u"DataNascita"_s));
        s.Campo(sezione, u"fattorerh"_s, {});
        s.Campo(sezione, u"inizioassistenza"_s, inizio);
        s.Campo(sezione, u"fineassistenza"_s, fine);
    });
}

bool Esenzioni(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"esenzioni"_s);
    return s.Righe(u"SELECT e.CodiceEsenzione, e.Scadenza, l.CodEsenzione FROM tblEsenzioni e "
                   "LEFT JOIN arcLinkEsenzioni l ON l.ID = e.IDEsenzione WHERE e.IDPaziente=? ORDER BY e.ID"_s,
                   [&](const Recordset &rs) {
                       const clsXML::Nodo r = s.Record(sezione, u"esenzione"_s);
                       QString codice = Testo(rs, u"CodiceEsenzione"_s);
                       if (codice.isEmpty()) {
                           codice = Testo(rs, u"CodEsenzione"_s);
                       }
                       s.Campo(r, u"codiceesenzione"_s, codice);
                       s.Campo(r, u"datascadenza"_s, Data(rs, u"Scadenza"_s));
                   });
}

bool Allergie(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"allergie"_s);
    return s.Righe(u"SELECT a.Intolleranza, a.ATCFarmaco, a.Nota, p.CodiceATC, p.Principio, f.AIC FROM tblAllergie a "
                   "LEFT JOIN Principi p ON p.ID = a.IDPrincipio LEFT JOIN Farmaci f ON f.ID = a.IDFarmaco "
                   "WHERE a.IDPaziente=? ORDER BY a.ID"_s,
                   [&](const Recordset &rs) {
                       const clsXML::Nodo r = s.Record(sezione, u"allergia"_s);
                       QString atc = Testo(rs, u"ATCFarmaco"_s);
                       if (atc.isEmpty()) {
                           atc = Testo(rs, u"CodiceATC"_s);
                       }
                       s.Campo(r, u"codiceatc"_s, atc);
                       s.Campo(r, u"codiceaic"_s, Testo(rs, u"AIC"_s));
                       s.Campo(r, u"descrizionemolecola"_s, Testo(rs, u"Principio"_s));
                       s.Campo(r, u"tipo"_s, ComeBool(rs.valore(u"Intolleranza"_s)) ? u"I"_s : u"A"_s);
                       s.Campo(r, u"note"_s, Testo(rs, u"Nota"_s));
                   });
}

bool Problemi(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"problemi"_s);
    return s.Righe(u"SELECT DataApertura, DataChiusura, CodiceICD9, Etichetta FROM tblProblemi "
                   "WHERE IDPaziente=? ORDER BY DataApertura, ID"_s,
                   [&](const Recordset &rs) {
                       const clsXML::Nodo r = s.Record(sezione, u"problema"_s);
                       s.Campo(r, u"codiceicd9"_s, Testo(rs, u"CodiceICD9"_s));
                       s.Campo(r, u"datainizio"_s, Data(rs, u"DataApertura"_s));
                       s.Campo(r, u"datafine"_s, Data(rs, u"DataChiusura"_s));
                       s.Campo(r, u"descrizione"_s, Testo(rs, u"Etichetta"_s));
                   });
}

// The diary without the entries that record a prescription (the prescriptions section carries
// them) and without hospital admissions (a section of their own).
bool Diario(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"diarioclinico"_s);
    return s.Righe(u"SELECT Data, Diario, CodiceICD9 FROM tblDiario WHERE IDPaziente=? AND Ricetta=0 "
                   "AND Data IS NOT NULL AND IFNULL(IDPrestazione, 0) NOT IN (9, 16, 23) ORDER BY Data, ID"_s,
                   [&](const Recordset &rs) {
                       const clsXML::Nodo r = s.Record(sezione, u"diario"_s);
                       s.Campo(r, u"codiceicd9"_s, Testo(rs, u"CodiceICD9"_s));
                       s.Campo(r, u"data"_s, Data(rs, u"Data"_s));
                       s.Campo(r, u"descrizione"_s, Testo(rs, u"Diario"_s));
                   });
}

bool Ricoveri(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"ricoveri"_s);
    return s.Righe(u"SELECT Data, Diario FROM tblDiario WHERE IDPaziente=? AND Ricetta=0 AND Data IS NOT NULL "
                   "AND IDPrestazione IN (9, 16, 23) ORDER BY Data, ID"_s,
                   [&](const Recordset &rs) {
                       const clsXML::Nodo r = s.Record(sezione, u"ricovero"_s);
                       s.Campo(r, u"dataingresso"_s, Data(rs, u"Data"_s));
                       s.Campo(r, u"strutturaricovero"_s, Testo(rs, u"Diario"_s));
                       s.Campo(r, u"diagnosiingresso"_s, {});
                       s.Campo(r, u"datadimissione"_s, {});
                       s.Campo(r, u"diagnosidimissione"_s, {});
                   });
}

bool Prestazioni(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"prestazioni"_s);
    return s.Righe(
        u"SELECT p.*, f.AIC, e.Codice AS CodiceEsame, v.Codice AS CodiceVisita, d.IDPrestazione AS TipoDiario, "
        "d.CodiceICD9 AS CodiceDiario, "
        "(SELECT x.Valore FROM tblEsami x WHERE x.IDPaziente = p.IDPaziente AND x.IDEsame = p.IDEsame "
        "AND x.Data >= p.Data ORDER BY x.Data, x.ID LIMIT 1) AS Risultato, "
        "(SELECT x.Data FROM tblEsami x WHERE x.IDPaziente = p.IDPaziente AND x.IDEsame = p.IDEsame "
        "AND x.Data >= p.Data ORDER BY x.Data, x.ID LIMIT 1) AS DataReferto "
        "FROM tblPrescrizioni p LEFT JOIN Farmaci f ON f.ID = p.IDFarmaco LEFT JOIN arcEsami e ON e.ID = p.IDEsame "
        "LEFT JOIN arcVisite v ON v.ID = p.IDVisita LEFT JOIN tblDiario d ON d.ID = p.IDDiario "
        "WHERE p.IDPaziente=? AND p.Data IS NOT NULL ORDER BY p.Data, p.ID"_s,
        [&](const Recordset &rs) {
            QString tipo;
            QString codice;
            if (!rs.valore(u"IDFarmaco"_s).isNull()) {
                tipo = u"F"_s;
                codice = Testo(rs, u"AIC"_s);
            } else if (!rs.valore(u"IDEsame"_s).isNull()) {
                // The diary entry tells an instrumental test (type 6) from a laboratory one.
                tipo = rs.valore(u"TipoDiario"_s).toInt() == 6 ? u"S"_s : u"L"_s;
                codice = Testo(rs, u"CodiceEsame"_s);
            } else if (!rs.valore(u"IDVisita"_s).isNull() ||
                       Testo(rs, u"Descrizione"_s).contains(u"visit", Qt::CaseInsensitive)) {
                tipo = u"V"_s;
                codice = Testo(rs, u"CodiceVisita"_s);
            } else {
                tipo = u"S"_s;
            }
            const clsXML::Nodo r = s.Record(sezione, u"prestazione"_s);
            s.Campo(r, u"tipo"_s, tipo);
            s.Campo(r, u"data"_s, Data(rs, u"Data"_s));
            s.Campo(r, u"qta"_s, Testo(rs, u"Quantità"_s));
            if (tipo == u"F" || !codice.isEmpty()) {
                s.CampoMinsan(r, codice);
            }
            s.Campo(r, u"descrizione"_s, Testo(rs, u"Descrizione"_s));
            s.Campo(r, u"classe"_s, Testo(rs, u"Classe"_s));
            s.Campo(r, u"notaaifa"_s, Testo(rs, u"NotaCUF"_s));
            s.Campo(r, u"note"_s, Testo(rs, u"Nota"_s));
            s.Campo(r, u"posologia"_s,
                    QString(Testo(rs, u"PosQuantità"_s) + u' ' + Testo(rs, u"PosDescrizione"_s)).trimmed());
            s.Campo(r, u"continuativo"_s, u"N"_s);
            s.Campo(r, u"codiceesenzione"_s, Testo(rs, u"CodiceEsenzione"_s));
            s.Campo(r, u"codiceicd9"_s, Testo(rs, u"CodiceDiario"_s));
            s.Campo(r, u"descrizionediagnosi"_s, Testo(rs, u"Diagnosi"_s));
            s.Campo(r, u"datareferto"_s, Data(rs, u"DataReferto"_s));
            s.Campo(r, u"risultato"_s, Testo(rs, u"Risultato"_s));
        });
}

bool Misure(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"misure"_s);
    const auto misura = [&](const Recordset &rs, const QStringList &valori) {
        static const QStringList nomi = {u"pesokg"_s, u"altezzacm"_s, u"cccm"_s,         u"pmin"_s,
                                         u"pmax"_s,   u"cvitacm"_s,   u"freqcardiaca"_s, u"ritmocardiaco"_s};
        const clsXML::Nodo r = s.Record(sezione, u"misura"_s);
        s.Campo(r, u"data"_s, Data(rs, u"Data"_s));
        for (qsizetype i = 0; i < nomi.size(); ++i) {
            s.Campo(r, nomi[i], valori.value(i));
        }
    };
    return s.Righe(u"SELECT * FROM tblMonitorIpertensione WHERE IDPaziente=? AND Data IS NOT NULL "
                   "ORDER BY Data, ID"_s,
                   [&](const Recordset &rs) {
                       misura(rs, {{},
                                   {},
                                   {},
                                   Testo(rs, u"Minima"_s),
                                   Testo(rs, u"Massima"_s),
                                   {},
                                   Testo(rs, u"Frequenza"_s),
                                   ComeBool(rs.valore(u"Aritmico"_s)) ? u"Aritmica"_s : u"Ritmica"_s});
                   }) &&
           s.Righe(
               u"SELECT * FROM tblMonitorBMI WHERE IDPaziente=? AND Data IS NOT NULL ORDER BY Data, ID"_s,
               [&](const Recordset &rs) {
                   misura(rs,
                          {Testo(rs, u"Peso"_s), Testo(rs, u"Altezza"_s), {}, {}, {}, Testo(rs, u"crfVita"_s), {}, {}});
               });
}

bool Vaccinazioni(Scrittore &s)
{
    const clsXML::Nodo sezione = s.Sezione(u"vaccinazioni"_s);
    return s.Righe(u"SELECT * FROM tblVaccinazioni WHERE IDPaziente=? AND Data IS NOT NULL ORDER BY Data, ID"_s,
                   [&](const Recordset &rs) {
                       const clsXML::Nodo r = s.Record(sezione, u"vaccinazione"_s);
                       s.Campo(r, u"datavaccinazione"_s, Data(rs, u"Data"_s));
                       s.Campo(r, u"datarichiamo"_s, Data(rs, u"DataRichiamo"_s));
                       s.Campo(r, u"vaccino"_s, Testo(rs, u"Vaccino"_s));
                       s.Campo(r, u"prodotto"_s, Testo(rs, u"Lotto"_s));
                       s.Campo(r, u"motivo"_s, Testo(rs, u"Note"_s));
                       s.Campo(r, u"note"_s, Testo(rs, u"Note"_s));
                   });
}

} // namespace

bool CreaDocumento(lanvera::dao::Database &archivio, qint64 idPaziente, clsXML &documento, QString &errore)
{
    documento.AddAttribute(documento.CreateRootNode(u"dati"_s), u"cartella"_s, u"clinora"_s);
    Scrittore s(archivio, idPaziente, documento, errore);
    return Anagrafica(s) && Esenzioni(s) && Allergie(s) && Problemi(s) && Diario(s) && Prestazioni(s) && Misure(s) &&
           Ricoveri(s) && Vaccinazioni(s);
}

bool Comprimi(const QByteArray &xml, QByteArray &zip, QString &errore)
{
    zip_error_t codice;
    zip_error_init(&codice);
    auto liberaCodice = qScopeGuard([&codice] { zip_error_fini(&codice); });
    const auto fallisci = [&](const char *dove, zip_error_t *e) {
        errore = QString::fromLatin1(dove) + u": "_s + QString::fromUtf8(zip_error_strerror(e));
        return false;
    };

    // The archive is built in memory: the buffer source survives the archive's close.
    zip_source_t *memoria = zip_source_buffer_create(nullptr, 0, 0, &codice);
    if (memoria == nullptr) {
        return fallisci("zip", &codice);
    }
    auto liberaMemoria = qScopeGuard([memoria] { zip_source_free(memoria); });
    zip_t *archivio = zip_open_from_source(memoria, ZIP_TRUNCATE, &codice);
    if (archivio == nullptr) {
        return fallisci("zip", &codice);
    }
    zip_source_keep(memoria);
    zip_source_t *voce = zip_source_buffer(archivio, xml.constData(), zip_uint64_t(xml.size()), 0);
    if (voce == nullptr || zip_file_add(archivio, "Dati.xml", voce, ZIP_FL_ENC_GUESS) < 0) {
        if (voce != nullptr) {
            zip_source_free(voce);
        }
        const bool esito = fallisci("Dati.xml", zip_get_error(archivio));
        zip_discard(archivio);
        return esito;
    }
    if (zip_close(archivio) != 0) {
        const bool esito = fallisci("zip", zip_get_error(archivio));
        zip_discard(archivio);
        return esito;
    }

    zip_stat_t info;
    if (zip_source_stat(memoria, &info) != 0 || zip_source_open(memoria) != 0) {
        return fallisci("zip", zip_source_error(memoria));
    }
    zip.resize(qsizetype(info.size));
    const zip_int64_t letti = zip_source_read(memoria, zip.data(), info.size);
    zip_source_close(memoria);
    if (letti != zip_int64_t(info.size)) {
        return fallisci("zip", zip_source_error(memoria));
    }
    return true;
}

} // namespace CartellaUlmet
