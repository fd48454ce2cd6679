#include "modGeneratore.h"

#include "modArchivioHost.h"
#include "modCodiceFiscale.h"
#include "modDatiDemo.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace lanvera::host {

namespace {

using namespace demo;

constexpr int kRegione = 8;      // region number of the exemption catalogue
constexpr int kAnniCartella = 5; // the archive holds at most this many years of chart
constexpr qint64 kSecondiGiorno = 86400;
constexpr int kVero = -1; // yes/no columns store true as -1

QString u8(const char *testo)
{
    return QString::fromUtf8(testo);
}

int vf(bool valore)
{
    return valore ? kVero : 0;
}

// FNV-1a of the UTF-8 text: a hash that stays the same between runs, unlike qHash.
quint32 impronta(const QString &testo)
{
    quint32 h = 2166136261u;
    for (const char c : testo.toUtf8()) {
        h ^= static_cast<quint8>(c);
        h *= 16777619u;
    }
    return h;
}

// Hand-made formatting: the generator writes a few dates per row, and a format string parsed
// each time shows up in the profile.
void scriviCifre(QChar *&destinazione, int valore, int cifre)
{
    for (int i = cifre - 1; i >= 0; --i) {
        destinazione[i] = QChar(static_cast<char16_t>(u'0' + valore % 10));
        valore /= 10;
    }
    destinazione += cifre;
}

QString testoIso(const QDate &d, int secondiDelGiorno)
{
    QString testo(19, Qt::Uninitialized);
    QChar *c = testo.data();
    const auto separa = [&c](char16_t segno) { *c++ = QChar(segno); };
    scriviCifre(c, d.year(), 4);
    separa(u'-');
    scriviCifre(c, d.month(), 2);
    separa(u'-');
    scriviCifre(c, d.day(), 2);
    separa(u' ');
    scriviCifre(c, secondiDelGiorno / 3600, 2);
    separa(u':');
    scriviCifre(c, (secondiDelGiorno / 60) % 60, 2);
    separa(u':');
    scriviCifre(c, secondiDelGiorno % 60, 2);
    return testo;
}

QString testoData(const QDate &d)
{
    return testoIso(d, 0);
}

QVariant dataONulla(const QDate &d)
{
    return d.isValid() ? QVariant(testoData(d)) : QVariant();
}

QVariant testoONullo(const QString &testo)
{
    return testo.isEmpty() ? QVariant() : QVariant(testo);
}

// Moments are seconds from Julian day 0 in local time, without zones: only their text matters.
qint64 secondi(const QDate &d, int secondiDelGiorno)
{
    return d.toJulianDay() * kSecondiGiorno + secondiDelGiorno;
}

QString testoMomento(qint64 s)
{
    return testoIso(QDate::fromJulianDay(s / kSecondiGiorno), static_cast<int>(s % kSecondiGiorno));
}

QString numero(double valore, int decimali)
{
    return QString::number(valore, 'f', decimali);
}

// The random source of all content. Its draws are computed here rather than with the standard
// distributions, whose results differ between standard libraries: a seed must give the same
// archive on every platform.
class Casuale
{
public:
    Casuale(quint32 seme, quint32 sale)
    {
        std::seed_seq semi{seme, sale};
        m_motore.seed(semi);
    }

    quint32 prossimo() { return static_cast<quint32>(m_motore()); }

    // Uniform in [minimo, massimo].
    int intero(int minimo, int massimo)
    {
        if (massimo <= minimo) {
            return minimo;
        }
        const auto ampiezza = static_cast<quint64>(static_cast<qint64>(massimo) - minimo + 1);
        return static_cast<int>(minimo + static_cast<qint64>((static_cast<quint64>(prossimo()) * ampiezza) >> 32));
    }

    double reale() { return prossimo() / 4294967296.0; }
    double reale(double minimo, double massimo) { return minimo + (massimo - minimo) * reale(); }
    bool evento(double probabilita) { return reale() < probabilita; }

    int poisson(double media)
    {
        if (media <= 0) {
            return 0;
        }
        const double limite = std::exp(-std::min(media, 500.0));
        int k = 0;
        double p = reale();
        while (p > limite) {
            ++k;
            p *= reale();
        }
        return k;
    }

    template<typename T>
    const T &scegli(std::span<const T> voci)
    {
        return voci[static_cast<std::size_t>(intero(0, static_cast<int>(voci.size()) - 1))];
    }

    QString scegliTesto(std::span<const char *const> voci) { return u8(scegli(voci)); }

    template<typename T>
    void mescola(std::vector<T> &voci)
    {
        for (int i = static_cast<int>(voci.size()) - 1; i > 0; --i) {
            std::swap(voci[static_cast<std::size_t>(i)], voci[static_cast<std::size_t>(intero(0, i))]);
        }
    }

    QString cifre(int quante)
    {
        QString testo(quante, Qt::Uninitialized);
        for (QChar &c : testo) {
            c = QChar(static_cast<char16_t>(u'0' + intero(0, 9)));
        }
        return testo;
    }

    // A GUID in the archive's 38-character form, shaped like a version 4 GUID.
    QString guid()
    {
        static constexpr char16_t kEsadecimali[] = u"0123456789ABCDEF";
        quint32 parti[4] = {prossimo(), prossimo(), prossimo(), prossimo()};
        parti[1] = (parti[1] & 0xFFFF0FFFu) | 0x00004000u;
        parti[2] = (parti[2] & 0x3FFFFFFFu) | 0x80000000u;
        QString testo(38, Qt::Uninitialized);
        QChar *c = testo.data();
        int pos = 0;
        c[pos++] = u'{';
        for (int cifra = 0; cifra < 32; ++cifra) {
            if (cifra == 8 || cifra == 12 || cifra == 16 || cifra == 20) {
                c[pos++] = u'-';
            }
            const quint32 parola = parti[cifra / 8];
            c[pos++] = QChar(kEsadecimali[(parola >> (28 - (cifra % 8) * 4)) & 0xFu]);
        }
        c[pos] = u'}';
        return testo;
    }

private:
    std::mt19937 m_motore;
};

struct Timbro
{
    QString guid;
    QString inserita;
    QString aggiornata;
};

// How a table's rows are written: catalogues and configuration have only their counter;
// tblAnagrafica adds the bookkeeping; a chart table adds IDPaziente too.
enum class Genere
{
    Catalogo,
    Anagrafica,
    Cartella
};

// One prepared INSERT per table. IDs are given here, counting from 1, so that a row's ID is
// known without asking the database. The first failure is kept and reported by the generator.
class Tabella
{
public:
    Tabella(QSqlDatabase &db, QString nome, Genere genere, QStringList colonne)
        : m_query(db), m_nome(std::move(nome)), m_genere(genere), m_colonne(std::move(colonne))
    {}
    Q_DISABLE_COPY_MOVE(Tabella)

    bool prepara()
    {
        QStringList nomi{u"ID"_s};
        if (m_genere != Genere::Catalogo) {
            nomi.append(u"GUID"_s);
        }
        if (m_genere == Genere::Cartella) {
            nomi.append(u"IDPaziente"_s);
        }
        nomi.append(m_colonne);
        if (m_genere != Genere::Catalogo) {
            nomi << u"LastUpdate"_s << u"LastInsert"_s;
        }
        QStringList citati;
        for (const QString &nome : std::as_const(nomi)) {
            citati.append(u'"' + nome + u'"');
        }
        const QString sql = u"INSERT INTO \"%1\" (%2) VALUES (%3)"_s.arg(
            m_nome, citati.join(u", "_s), QStringList(nomi.size(), u"?"_s).join(u", "_s));
        if (!m_query.prepare(sql)) {
            m_errore = u"%1: %2"_s.arg(m_nome, m_query.lastError().text());
            return false;
        }
        return true;
    }

    qint64 aggiungi(int idPaziente, const Timbro *timbro, std::initializer_list<QVariant> valori)
    {
        if (!m_errore.isEmpty()) {
            return 0;
        }
        if (valori.size() != static_cast<std::size_t>(m_colonne.size())) {
            m_errore = u"%1: %2 valori per %3 colonne"_s.arg(m_nome).arg(valori.size()).arg(m_colonne.size());
            return 0;
        }
        const qint64 id = ++m_ultimoID;
        int posizione = 0;
        m_query.bindValue(posizione++, id);
        if (m_genere != Genere::Catalogo) {
            m_query.bindValue(posizione++, timbro->guid);
        }
        if (m_genere == Genere::Cartella) {
            m_query.bindValue(posizione++, idPaziente);
        }
        for (const QVariant &valore : valori) {
            m_query.bindValue(posizione++, valore);
        }
        if (m_genere != Genere::Catalogo) {
            m_query.bindValue(posizione++, timbro->aggiornata);
            m_query.bindValue(posizione++, timbro->inserita);
        }
        if (!m_query.exec()) {
            m_errore = u"%1: %2"_s.arg(m_nome, m_query.lastError().text());
            return 0;
        }
        return id;
    }

    const QString &nome() const { return m_nome; }
    const QString &errore() const { return m_errore; }
    qint64 righe() const { return m_ultimoID; }

private:
    QSqlQuery m_query;
    QString m_nome;
    Genere m_genere;
    QStringList m_colonne;
    qint64 m_ultimoID = 0;
    QString m_errore;
};

// What the generator decided for one patient before writing him.
struct Ruolo
{
    bool revocato = false;
    bool deceduto = false;
    bool riattivato = false;
    bool fineProgrammata = false; // relationship that ends after oggi: not revoked yet
    bool proprio = false;
    bool daCollega = false;
    bool daVerificare = false;
    bool allineato = false;
};

struct Cronico
{
    int farmaco;    // index into Farmaci()
    int condizione; // position in Paziente::condizioni
};

struct Paziente
{
    int id = 0;
    QChar sesso;
    int eta = 0;
    QDate nascita;
    QDate inizioCartella;         // first day with chart content
    QDate fine;                   // the day after the last day with chart content
    std::vector<int> condizioni;  // indexes into Condizioni()
    std::vector<qint64> problemi; // tblProblemi ID of each condition
    std::vector<QDate> aperture;  // opening day of each condition
    std::vector<int> esenzioni;   // index into Esenzioni() of each condition, or -1
    std::vector<Cronico> cronici;
    bool diabetico = false;
    bool iperteso = false;
    bool dislipidemico = false;
    bool anticoagulato = false;
    bool fumatore = false;
    bool exFumatore = false;
    bool lavoratore = false;
    double altezza = 170;
    double bmi = 25;

    int giorni() const { return static_cast<int>(inizioCartella.daysTo(fine)); }
    double anni() const { return giorni() / 365.25; }
};

// Exemption catalogue row as written, with the yes/no columns that its letters give.
struct EsenzioneCatalogo
{
    qint64 id = 0;
    QString codice;
    bool esaN = false, esaR = false, esaAAsl = false, esaRAsl = false;
    bool farN = false, farR = false, farAasl = false, farRasl = false;
};

class Generatore
{
public:
    Generatore(QSqlDatabase &db, const OpzioniGeneratore &opzioni)
        : m_db(db), m_opzioni(opzioni), m_caso(opzioni.seme, impronta(opzioni.cf.trimmed().toUpper())),
          m_oggi(opzioni.oggi.isValid() ? opzioni.oggi : QDate::currentDate())
    {
        creaTabelle();
    }

    bool esegui(QString *errore, RiepilogoGeneratore *riepilogo);

private:
    Tabella *nuova(const QString &nome, Genere genere, const QStringList &colonne);
    void creaTabelle();
    bool eseguiSql(const QString &sql, QString *errore);
    bool fallito(QString *errore) const;

    Timbro timbro(const QDate &giorno);
    QDate giornoCasuale(const Paziente &p);
    QDate giornoTra(const QDate &da, const QDate &a); // a excluded
    int etaCasuale();

    void cataloghi();
    bool configurazione(QString *errore);
    std::vector<Ruolo> ruoli();
    void paziente(int id, const Ruolo &ruolo);
    void cartella(Paziente &p);

    qint64 diario(Paziente &p, const QDate &giorno, const QString &testo, int tipo, bool ricetta,
                  const QString &icd9 = {});
    void collega(const Paziente &p, qint64 problema, qint64 idDiario, const QDate &giorno);
    void prescriviFarmaci(Paziente &p, const QDate &giorno, const std::vector<Cronico> &farmaci);
    void richiediEsami(Paziente &p, const QDate &giorno, const std::vector<int> &esami);
    void richiediVisita(Paziente &p, const QDate &giorno, int visita);
    QString numeroRicetta() { return u"080A"_s + m_caso.cifre(11); }

    void problemiECronici(Paziente &p);
    void visite(Paziente &p);
    void esami(Paziente &p);
    void monitoraggio(Paziente &p);
    void vaccinazioni(Paziente &p);
    void anamnesi(Paziente &p);
    void certificati(Paziente &p);
    void altro(Paziente &p);

    double quota(double probabilita) const { return std::min(1.0, probabilita * m_opzioni.righe); }
    double media(double valore) const { return valore * m_opzioni.righe; }

    QSqlDatabase &m_db;
    const OpzioniGeneratore &m_opzioni;
    Casuale m_caso;
    QDate m_oggi;
    std::vector<std::unique_ptr<Tabella>> m_tabelle;
    QSet<QString> m_codiciFiscali;
    const Comune *m_comune = nullptr; // the surgery's town
    QString m_medico;                 // "Cognome Nome" of the owner
    std::vector<EsenzioneCatalogo> m_esenzioni;
    std::vector<QVariant> m_sottoesame; // main sub-exam ID of each exam, Null for instrumental ones

    Tabella *m_principi = nullptr, *m_farmaci = nullptr, *m_arcEsami = nullptr, *m_sottoesami = nullptr,
            *m_linkSottoesami = nullptr, *m_arcVisite = nullptr, *m_linkEsenzioni = nullptr, *m_icd9 = nullptr;
    Tabella *m_items = nullptr, *m_medici = nullptr, *m_utenti = nullptr, *m_impostazioni = nullptr,
            *m_valoriImpostazioni = nullptr, *m_setupUtente = nullptr, *m_macro = nullptr, *m_sottomacro = nullptr,
            *m_note = nullptr, *m_ricetteStampate = nullptr, *m_prescrizioniRicetta = nullptr,
            *m_soleIDPrestazione = nullptr;
    Tabella *m_anagrafica = nullptr, *m_anagrafica2 = nullptr, *m_rapporti = nullptr, *m_esenzioniPaziente = nullptr,
            *m_anamnesi = nullptr, *m_familiare = nullptr, *m_patologica = nullptr, *m_appunti = nullptr,
            *m_allergie = nullptr, *m_stato = nullptr, *m_diario = nullptr, *m_diarioPip = nullptr,
            *m_problemi = nullptr, *m_problemiDiario = nullptr, *m_sospetti = nullptr, *m_esameObiettivo = nullptr,
            *m_scadenze = nullptr, *m_screening = nullptr, *m_ricette = nullptr, *m_ricettaFarmaci = nullptr,
            *m_ricettaEsami = nullptr, *m_ricettaVisite = nullptr, *m_prescrizioni = nullptr, *m_statoFarmaci = nullptr,
            *m_pianoTerapeutico = nullptr, *m_posologia = nullptr, *m_esami = nullptr, *m_esamiSospesi = nullptr,
            *m_visiteSospese = nullptr, *m_vaccinazioni = nullptr, *m_pressione = nullptr, *m_bmi = nullptr,
            *m_fumo = nullptr, *m_glicemia = nullptr, *m_lipidi = nullptr, *m_pt = nullptr, *m_rischio = nullptr,
            *m_inail = nullptr, *m_inps = nullptr, *m_memoCertificati = nullptr, *m_linkDiario = nullptr,
            *m_linkPrescrizioni = nullptr, *m_consenso = nullptr, *m_allineati = nullptr, *m_diabeteExtra = nullptr,
            *m_diabeteStorico = nullptr, *m_diabeteItems = nullptr;
};

Tabella *Generatore::nuova(const QString &nome, Genere genere, const QStringList &colonne)
{
    m_tabelle.push_back(std::make_unique<Tabella>(m_db, nome, genere, colonne));
    return m_tabelle.back().get();
}

void Generatore::creaTabelle()
{
    const Genere cat = Genere::Catalogo;
    const Genere car = Genere::Cartella;
    m_principi = nuova(u"Principi"_s, cat, {u"CodiceATC"_s, u"Principio"_s});
    m_farmaci = nuova(u"Farmaci"_s, cat,
                      {u"AIC"_s, u"Farmaco"_s, u"IDPrincipio"_s, u"ATC"_s, u"Classe"_s, u"Nota"_s, u"Prezzo"_s});
    m_arcEsami = nuova(u"arcEsami"_s, cat, {u"Codice"_s, u"Esame"_s, u"MW"_s, u"Tariffa"_s});
    m_sottoesami =
        nuova(u"arcSottoesami"_s, cat, {u"Sottoesame"_s, u"MW"_s, u"Unita"_s, u"ValoreMinimo"_s, u"ValoreMassimo"_s});
    m_linkSottoesami =
        nuova(u"arcLinkEsamiSottoesami"_s, cat, {u"IDEsame"_s, u"IDSottoesame"_s, u"Principale"_s, u"Ordine"_s});
    m_arcVisite = nuova(u"arcVisite"_s, cat, {u"Codice"_s, u"Visita"_s, u"IDPrestazione"_s, u"Tariffa"_s});
    m_linkEsenzioni =
        nuova(u"arcLinkEsenzioni"_s, cat,
              {u"IDRegione"_s, u"IDEsenzione"_s, u"CodEsenzione"_s, u"Keyword"_s, u"Etichetta"_s, u"Descrizione"_s,
               u"CodArtEsa"_s, u"CodArtFar"_s, u"LetteraEsami"_s, u"LetteraEsami_N"_s, u"Lettera"_s, u"Lettera_N"_s});
    m_icd9 = nuova(u"ICD9CM"_s, cat, {u"Codice"_s, u"Descrizione"_s});

    m_items = nuova(u"arcItems"_s, cat, {u"Key"_s, u"Item"_s, u"Cancellato"_s});
    m_medici = nuova(u"tblMedico"_s, cat,
                     {u"IDRete"_s, u"Cognome"_s, u"Nome"_s, u"CodiceFiscale"_s, u"CodiceRegionale"_s, u"ASL"_s,
                      u"Indirizzo"_s, u"Città"_s, u"CAP"_s, u"Provincia"_s, u"Telefono"_s, u"Email"_s});
    m_utenti = nuova(u"tblUtenti"_s, cat,
                     {u"Utente"_s, u"Password"_s, u"Cognome"_s, u"Nome"_s, u"Amministratore"_s, u"Cancellato"_s});
    m_impostazioni = nuova(u"tblImpostazioni"_s, cat, {u"Sezione"_s, u"Chiave"_s, u"Descrizione"_s, u"Predefinito"_s});
    m_valoriImpostazioni = nuova(u"tblValoriImpostazioni"_s, cat, {u"IDImpostazione"_s, u"IDUtente"_s, u"Valore"_s});
    m_setupUtente = nuova(u"tblSetupUtente"_s, cat, {u"IDUtente"_s, u"Chiave"_s, u"Valore"_s});
    m_macro = nuova(u"tblMacro"_s, cat, {u"Macro"_s, u"Descrizione"_s, u"Testo"_s});
    m_sottomacro = nuova(u"tblSottomacro"_s, cat, {u"IDMacro"_s, u"Sottomacro"_s, u"Testo"_s, u"Ordine"_s});
    m_note = nuova(u"tblNote"_s, cat, {u"Data"_s, u"Titolo"_s, u"Testo"_s});
    m_ricetteStampate = nuova(u"tblRicetteStampate"_s, cat, {u"Data"_s, u"NumeroRicetta"_s, u"Tipo"_s, u"Stampante"_s});
    m_prescrizioniRicetta = nuova(u"tblPrescrizioniRicetta"_s, cat, {u"Prescrizione"_s, u"Testo"_s, u"Ordine"_s});
    m_soleIDPrestazione =
        nuova(u"SOLE_tblIDPrestazione"_s, cat, {u"IDPrestazione"_s, u"CodiceSole"_s, u"Descrizione"_s});

    m_anagrafica = nuova(u"tblAnagrafica"_s, Genere::Anagrafica,
                         {u"Cognome"_s,
                          u"Nome"_s,
                          u"Sesso"_s,
                          u"DataNascita"_s,
                          u"LuogoNascita"_s,
                          u"CodiceFiscale"_s,
                          u"Tessera"_s,
                          u"Indirizzo"_s,
                          u"Città"_s,
                          u"CAP"_s,
                          u"Provincia"_s,
                          u"IndirizzoResidenza"_s,
                          u"CittàResidenza"_s,
                          u"ProvinciaResidenza"_s,
                          u"CAPResidenza"_s,
                          u"Telefono"_s,
                          u"USL"_s,
                          u"USLResidenza"_s,
                          u"Medico"_s,
                          u"Proprio"_s,
                          u"UIDCMedico"_s,
                          u"Emogruppo"_s,
                          u"TipoPaziente"_s,
                          u"Note"_s});
    m_anagrafica2 = nuova(u"tblAnagrafica2"_s, car, {u"TagStato"_s, u"DateUpdate"_s});
    m_rapporti = nuova(u"tblRapporti"_s, car, {u"DataInizio"_s, u"DataFine"_s, u"Motivo"_s, u"Note"_s});
    m_esenzioniPaziente =
        nuova(u"tblEsenzioni"_s, car,
              {u"IDEsenzione"_s, u"CodiceEsenzione"_s, u"EsaCodice"_s, u"FarCodice"_s, u"Scadenza"_s, u"EsaN"_s,
               u"EsaR"_s, u"EsaAAsl"_s, u"EsaRAsl"_s, u"FarN"_s, u"FarR"_s, u"FarAasl"_s, u"FarRasl"_s, u"Note"_s});
    m_anamnesi =
        nuova(u"tblAnamnesi"_s, car, {u"Anamnesi"_s, u"Professione"_s, u"StatoCivile"_s, u"Fumo"_s, u"Alcol"_s});
    m_familiare = nuova(u"tblanamnesifamiliare"_s, car, {u"Parentela"_s, u"Patologia"_s, u"CodiceICD9"_s, u"Note"_s});
    m_patologica = nuova(u"tblanamnesipatologica"_s, car, {u"Data"_s, u"Patologia"_s, u"CodiceICD9"_s, u"Note"_s});
    m_appunti = nuova(u"tblAppunti"_s, car, {u"Appunti"_s});
    m_allergie = nuova(u"tblAllergie"_s, car,
                       {u"Data"_s, u"IDFarmaco"_s, u"IDPrincipio"_s, u"ATCFarmaco"_s, u"Intolleranza"_s, u"Nota"_s});
    m_stato = nuova(u"tblstato"_s, car, {u"Data"_s, u"Stato"_s, u"Note"_s});
    m_diario =
        nuova(u"tblDiario"_s, car,
              {u"Data"_s, u"Diario"_s, u"IDPrestazione"_s, u"Ricetta"_s, u"CodiceICD9"_s, u"URL"_s, u"GUIDGruppo"_s});
    m_diarioPip =
        nuova(u"tbldiario pip"_s, car, {u"IDDiario"_s, u"Data"_s, u"Codice"_s, u"Prestazione"_s, u"Importo"_s});
    m_problemi = nuova(u"tblProblemi"_s, car,
                       {u"DataApertura"_s, u"DataChiusura"_s, u"CodiceICD9"_s, u"Etichetta"_s, u"Stato"_s, u"Note"_s});
    m_problemiDiario = nuova(u"tblProblemiDiario"_s, car, {u"IDProblema"_s, u"IDDiario"_s});
    m_sospetti = nuova(u"tblproblemisospetti"_s, car, {u"Data"_s, u"Descrizione"_s, u"CodiceICD9"_s, u"Note"_s});
    m_esameObiettivo = nuova(u"tblesameobiettivo"_s, car, {u"IDDiario"_s, u"Data"_s, u"Apparato"_s, u"Descrizione"_s});
    m_scadenze = nuova(u"tblscadenze"_s, car, {u"Data"_s, u"Descrizione"_s, u"Eseguita"_s, u"Note"_s});
    m_screening = nuova(u"tblscreening"_s, car, {u"Data"_s, u"Tipo"_s, u"Esito"_s, u"DataProssimo"_s});
    m_ricette = nuova(u"tblRicette"_s, car,
                      {u"IDDiario"_s, u"Data"_s, u"Tipo"_s, u"NumeroRicetta"_s, u"CodiceEsenzione"_s, u"Stampata"_s});
    m_ricettaFarmaci = nuova(
        u"tblRicettaFarmaci"_s, car,
        {u"IDRicetta"_s, u"IDDiario"_s, u"IDFarmaco"_s, u"Descrizione"_s, u"Quantità"_s, u"Posologia"_s, u"Nota"_s});
    m_ricettaEsami = nuova(u"tblRicettaEsami"_s, car,
                           {u"IDRicetta"_s, u"IDDiario"_s, u"IDEsame"_s, u"Descrizione"_s, u"Quantità"_s});
    m_ricettaVisite = nuova(u"tblRicettaVisite"_s, car,
                            {u"IDRicetta"_s, u"IDDiario"_s, u"IDVisita"_s, u"Descrizione"_s, u"Quesito"_s});
    m_prescrizioni =
        nuova(u"tblPrescrizioni"_s, car,
              {u"IDDiario"_s, u"IDRicetta"_s, u"Data"_s, u"IDFarmaco"_s, u"IDEsame"_s, u"IDVisita"_s, u"IDDiagnosi"_s,
               u"Descrizione"_s, u"Quantità"_s, u"Classe"_s, u"Nota"_s, u"NotaCUF"_s, u"PosQuantità"_s,
               u"PosDescrizione"_s, u"Prezzo"_s, u"Importo"_s, u"CodiceEsenzione"_s, u"Diagnosi"_s});
    m_statoFarmaci = nuova(u"tblStatoFarmaci"_s, car,
                           {u"IDFarmaco"_s, u"DataInizio"_s, u"Qt"_s, u"Classe"_s, u"Nota"_s, u"QtPos"_s,
                            u"Posologia"_s, u"IDEsenzione"_s, u"CodiceEsenzione"_s, u"FarR"_s, u"FarN"_s, u"FarRasl"_s,
                            u"FarAasl"_s, u"Diagnosi"_s});
    m_pianoTerapeutico = nuova(u"tblpianoterapeutico"_s, car,
                               {u"IDFarmaco"_s, u"DataInizio"_s, u"DataFine"_s, u"Centro"_s, u"Descrizione"_s});
    m_posologia =
        nuova(u"tblposologia"_s, car, {u"IDFarmaco"_s, u"DataInizio"_s, u"DataFine"_s, u"Posologia"_s, u"Orari"_s});
    m_esami = nuova(
        u"tblEsami"_s, car,
        {u"IDDiario"_s, u"IDEsame"_s, u"IDSottoesame"_s, u"Data"_s, u"Valore"_s, u"Unita"_s, u"Alterato"_s, u"Note"_s});
    m_esamiSospesi = nuova(u"tblesamisospesi"_s, car, {u"IDEsame"_s, u"Data"_s, u"Descrizione"_s, u"Note"_s});
    m_visiteSospese = nuova(u"tblvisitesospese"_s, car, {u"IDVisita"_s, u"Data"_s, u"Descrizione"_s, u"Note"_s});
    m_vaccinazioni =
        nuova(u"tblVaccinazioni"_s, car, {u"Data"_s, u"DataRichiamo"_s, u"Vaccino"_s, u"Lotto"_s, u"Note"_s});
    m_pressione = nuova(u"tblMonitorIpertensione"_s, car,
                        {u"Data"_s, u"Minima"_s, u"Massima"_s, u"Frequenza"_s, u"Aritmico"_s, u"Note"_s});
    m_bmi = nuova(u"tblMonitorBMI"_s, car, {u"Data"_s, u"Peso"_s, u"Altezza"_s, u"BMI"_s, u"crfVita"_s, u"Note"_s});
    m_fumo = nuova(u"tblmonitorfumo"_s, car, {u"Data"_s, u"Stato"_s, u"Sigarette"_s, u"Note"_s});
    m_glicemia = nuova(u"tblmonitorglicemia"_s, car, {u"Data"_s, u"Glicemia"_s, u"Digiuno"_s, u"HbA1c"_s, u"Note"_s});
    m_lipidi = nuova(u"tblmonitormetabolismolipidico"_s, car,
                     {u"Data"_s, u"Colesterolo"_s, u"HDL"_s, u"LDL"_s, u"Trigliceridi"_s, u"Note"_s});
    m_pt = nuova(u"tblmonitorpt"_s, car, {u"Data"_s, u"INR"_s, u"DoseSettimanale"_s, u"Note"_s});
    m_rischio = nuova(u"tblrischiocardiovascolare"_s, car,
                      {u"Data"_s, u"Punteggio"_s, u"Rischio"_s, u"Colesterolo"_s, u"HDL"_s, u"PAS"_s, u"Fumatore"_s,
                       u"Diabetico"_s, u"Trattato"_s});
    m_inail = nuova(u"tblCertificatiINAIL"_s, car,
                    {u"IDCertificatoPadre"_s, u"IDDiario"_s, u"Data"_s, u"Tipo"_s, u"DataEvento"_s, u"Diagnosi"_s,
                     u"GiorniPrognosi"_s, u"Note"_s});
    m_inps = nuova(u"tblCertificatiINPS"_s, car,
                   {u"IDCertificato"_s, u"IDDiario"_s, u"Data"_s, u"Tipo"_s, u"DataInizio"_s, u"DataFine"_s,
                    u"Diagnosi"_s, u"Protocollo"_s});
    m_memoCertificati = nuova(u"tblMemoCertificati"_s, car, {u"IDDiario"_s, u"Certificato"_s, u"Testo"_s});
    m_linkDiario = nuova(u"sole_tbllinkdiario"_s, car, {u"IDDiario"_s, u"IDDocumento"_s, u"Stato"_s, u"DataInvio"_s});
    m_linkPrescrizioni =
        nuova(u"sole_tbllinkprescrizioni"_s, car, {u"IDRicetta"_s, u"NRE"_s, u"Stato"_s, u"DataInvio"_s});
    m_consenso = nuova(u"SOLE_tblConsenso"_s, car, {u"Consenso"_s, u"DataConsenso"_s, u"Oscuramento"_s});
    m_allineati = nuova(u"SOLE_tblAllineati"_s, car, {u"Allineato"_s, u"DataAllineamento"_s});
    m_diabeteExtra =
        nuova(u"DIABETE_tblDatiExtra"_s, car, {u"TipoDiabete"_s, u"DataDiagnosi"_s, u"Terapia"_s, u"Note"_s});
    m_diabeteStorico = nuova(u"DIABETE_tblStorico"_s, car, {u"Data"_s, u"TipoVisita"_s, u"Note"_s});
    m_diabeteItems = nuova(u"DIABETE_tblStoricoItems"_s, car, {u"IDStorico"_s, u"Item"_s, u"Valore"_s});
}

bool Generatore::eseguiSql(const QString &sql, QString *errore)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        if (errore) {
            *errore = u"%1: %2"_s.arg(sql, query.lastError().text());
        }
        return false;
    }
    return true;
}

bool Generatore::fallito(QString *errore) const
{
    for (const auto &tabella : m_tabelle) {
        if (!tabella->errore().isEmpty()) {
            if (errore) {
                *errore = tabella->errore();
            }
            return true;
        }
    }
    return false;
}

Timbro Generatore::timbro(const QDate &giorno)
{
    constexpr int kApertura = 8 * 3600;
    constexpr int kChiusura = 20 * 3600 - 1;
    const int ora = m_caso.intero(kApertura, kChiusura);
    qint64 aggiornata = secondi(giorno, ora);
    const QString inserita = testoMomento(aggiornata);
    // One row in five was edited again on a later visit, in surgery hours, never after oggi.
    if (m_caso.evento(0.2) && giorno < m_oggi) {
        const QDate modifica = giorno.addDays(m_caso.intero(0, static_cast<int>(giorno.daysTo(m_oggi)) - 1));
        const int dalle = modifica == giorno ? ora + 60 : kApertura;
        if (dalle <= kChiusura) {
            aggiornata = secondi(modifica, m_caso.intero(dalle, kChiusura));
        }
    }
    return {m_caso.guid(), inserita, testoMomento(aggiornata)};
}

QDate Generatore::giornoTra(const QDate &da, const QDate &a)
{
    const auto giorni = static_cast<int>(da.daysTo(a));
    return giorni <= 1 ? da : da.addDays(m_caso.intero(0, giorni - 1));
}

QDate Generatore::giornoCasuale(const Paziente &p)
{
    return giornoTra(p.inizioCartella, p.fine);
}

int Generatore::etaCasuale()
{
    // A general practice: few children, many adults, fewer of the very old.
    if (m_caso.evento(0.03)) {
        return m_caso.intero(6, 13);
    }
    for (;;) {
        const int eta = m_caso.intero(14, 99);
        if (eta < 70 || m_caso.evento((100.0 - eta) / 30.0)) {
            return eta;
        }
    }
}

void Generatore::cataloghi()
{
    for (const Principio &principio : Principi()) {
        m_principi->aggiungi(0, nullptr, {u8(principio.atc), u8(principio.nome)});
    }
    int indice = 0;
    for (const Farmaco &farmaco : Farmaci()) {
        const Principio &principio = Principi()[static_cast<std::size_t>(farmaco.principio)];
        // Invented but well-formed nine-digit marketing authorisation codes.
        const QString aic = u"%1"_s.arg(20'000'013 + indice++ * 7'919, 9, 10, QChar(u'0'));
        m_farmaci->aggiungi(0, nullptr,
                            {aic, u8(farmaco.nome), farmaco.principio + 1, u8(principio.atc), u8(farmaco.classe),
                             testoONullo(u8(farmaco.nota)), farmaco.prezzo});
    }
    for (const Esame &esame : Esami()) {
        const double tariffa = *esame.unita != 0 ? 3.15 : 28.40;
        const qint64 id =
            m_arcEsami->aggiungi(0, nullptr, {u8(esame.codice), u8(esame.nome), testoONullo(u8(esame.mw)), tariffa});
        if (*esame.unita == 0) {
            m_sottoesame.emplace_back();
            continue;
        }
        const qint64 principale = m_sottoesami->aggiungi(
            0, nullptr, {u8(esame.nome), u8(esame.mw), u8(esame.unita), esame.minimo, esame.massimo});
        m_linkSottoesami->aggiungi(0, nullptr, {id, principale, kVero, 1});
        m_sottoesame.emplace_back(principale);
        if (u8(esame.mw) == u"EMO"_s) {
            static constexpr const char *kEmocromo[][3] = {{"Globuli rossi", "GR", "10^6/ul"},
                                                           {"Globuli bianchi", "GB", "10^3/ul"},
                                                           {"Piastrine", "PLT", "10^3/ul"},
                                                           {"Ematocrito", "HCT", "%"}};
            int ordine = 2;
            for (const auto &voce : kEmocromo) {
                const qint64 sotto =
                    m_sottoesami->aggiungi(0, nullptr, {u8(voce[0]), u8(voce[1]), u8(voce[2]), QVariant(), QVariant()});
                m_linkSottoesami->aggiungi(0, nullptr, {id, sotto, 0, ordine++});
            }
        }
    }
    for (const Visita &visita : Visite()) {
        m_arcVisite->aggiungi(0, nullptr, {u8(visita.codice), u8(visita.nome), 11, 20.66});
    }
    for (const Esenzione &esenzione : Esenzioni()) {
        const QString codice = u8(esenzione.codice);
        const QString letteraEsami = u8(esenzione.letteraEsami);
        const QString lettera = u8(esenzione.lettera);
        const QString letteraEsamiN = letteraEsami.contains(u'R') ? u"NR"_s : u"N"_s;
        const QString letteraN = lettera.isEmpty() ? QString() : u"NR"_s;
        EsenzioneCatalogo voce;
        voce.id = m_linkEsenzioni->aggiungi(0, nullptr,
                                            {kRegione, esenzione.idEsenzione, codice, codice, u"OK"_s,
                                             u8(esenzione.descrizione), codice, codice, letteraEsami, letteraEsamiN,
                                             testoONullo(lettera), testoONullo(letteraN)});
        voce.codice = codice;
        // The yes/no columns of a patient's exemption follow the catalogue's letters.
        auto ha = [](const QString &testo, QChar c) { return testo.toLower().contains(c); };
        voce.esaN = ha(letteraEsamiN, u'n');
        voce.esaR = ha(letteraEsamiN, u'r');
        voce.esaAAsl = ha(letteraEsami, u'a');
        voce.esaRAsl = ha(letteraEsami, u'r');
        voce.farN = ha(letteraN, u'n');
        voce.farR = ha(letteraN, u'r');
        voce.farAasl = ha(lettera, u'a');
        voce.farRasl = ha(lettera, u'r');
        m_esenzioni.push_back(voce);
    }
    for (const VoceICD9 &voce : Diagnosi()) {
        m_icd9->aggiungi(0, nullptr, {u8(voce.codice), u8(voce.descrizione)});
    }
}

bool Generatore::configurazione(QString *errore)
{
    // The surgery: its town, the owner (IDRete 1) and a substitute who has no network identity.
    m_comune = &m_caso.scegli(Comuni().first(10));
    const bool medicoDonna = m_caso.evento(0.45);
    const QString cognome = m_caso.scegliTesto(Cognomi());
    const QString nome = m_caso.scegliTesto(medicoDonna ? NomiFemminili() : NomiMaschili());
    m_medico = cognome + u' ' + nome;
    const QString asl = u"AUSL di "_s + u8(m_comune->nome);
    const QString indirizzo = m_caso.scegliTesto(Vie()) + u", "_s + QString::number(m_caso.intero(1, 120));
    const QString telefono = u"0"_s + m_caso.cifre(2) + u' ' + m_caso.cifre(7);
    m_medici->aggiungi(0, nullptr,
                       {1, cognome, nome, m_opzioni.cf, m_caso.cifre(6), asl, indirizzo, u8(m_comune->nome),
                        u8(m_comune->cap), u8(m_comune->provincia), telefono,
                        QString(nome.toLower().remove(u' ') + u'.' + cognome.toLower().remove(u' ').remove(u'\'') +
                                u"@studiomedico.it"_s)});
    const QString cognomeSostituto = m_caso.scegliTesto(Cognomi());
    const QString nomeSostituto = m_caso.scegliTesto(NomiFemminili());
    const QString cfSostituto =
        CalcolaCodiceFiscale(cognomeSostituto, nomeSostituto, QDate(1985, m_caso.intero(1, 12), m_caso.intero(1, 28)),
                             u'F', u8(m_comune->codice));
    m_medici->aggiungi(0, nullptr,
                       {0, cognomeSostituto, nomeSostituto, cfSostituto, QVariant(), asl, indirizzo, u8(m_comune->nome),
                        u8(m_comune->cap), u8(m_comune->provincia), telefono, QVariant()});

    m_utenti->aggiungi(0, nullptr, {u"medico"_s, m_caso.cifre(8), cognome, nome, kVero, 0});
    m_utenti->aggiungi(0, nullptr, {u"segreteria"_s, m_caso.cifre(8), u"Segreteria"_s, u"Studio"_s, 0, 0});
    const qint64 stampante =
        m_impostazioni->aggiungi(0, nullptr, {u"Stampa"_s, u"Stampante"_s, u"Stampante delle ricette"_s, QVariant()});
    const qint64 carattere =
        m_impostazioni->aggiungi(0, nullptr, {u"Aspetto"_s, u"Carattere"_s, u"Carattere del diario"_s, u"Tahoma"_s});
    m_valoriImpostazioni->aggiungi(0, nullptr, {stampante, 1, u"Ricette"_s});
    m_valoriImpostazioni->aggiungi(0, nullptr, {carattere, 1, u"Segoe UI"_s});
    m_setupUtente->aggiungi(0, nullptr, {1, u"UltimaRicerca"_s, u"Rossi"_s});
    m_setupUtente->aggiungi(0, nullptr, {1, u"Finestra"_s, u"0,0,1024,768"_s});
    const qint64 macro =
        m_macro->aggiungi(0, nullptr, {u"CTRL"_s, u"Controllo periodico"_s, u"Controllo periodico. "_s});
    m_sottomacro->aggiungi(0, nullptr, {macro, u"PA"_s, u"PA: / mmHg"_s, 1});
    m_sottomacro->aggiungi(0, nullptr, {macro, u"FC"_s, u"FC: bpm"_s, 2});
    m_macro->aggiungi(0, nullptr, {u"TER"_s, u"Terapia invariata"_s, u"Prosegue la terapia in atto."_s});
    m_note->aggiungi(0, nullptr,
                     {testoData(m_oggi.addDays(-20)), u"Ferie"_s,
                      QString(u"Sostituto dal 1 al 15 agosto: dott.ssa "_s + cognomeSostituto + u' ' + nomeSostituto)});
    m_note->aggiungi(0, nullptr,
                     {testoData(m_oggi.addDays(-3)), u"Vaccini"_s, u"Ordinare le dosi del vaccino antinfluenzale."_s});
    for (int i = 0; i < 3; ++i) {
        m_ricetteStampate->aggiungi(0, nullptr,
                                    {testoData(m_oggi.addDays(-i * 7 - 1)), numeroRicetta(), u"SSN"_s, u"Ricette"_s});
    }
    m_prescrizioniRicetta->aggiungi(0, nullptr, {u"Esami di routine"_s, u"Emocromo, glicemia, creatinina"_s, 1});
    m_prescrizioniRicetta->aggiungi(0, nullptr, {u"Profilo lipidico"_s, u"Colesterolo totale, HDL, trigliceridi"_s, 2});

    m_items->aggiungi(0, nullptr, {u"Studio.Nome"_s, QString(u"Studio medico "_s + cognome), 0});
    m_items->aggiungi(0, nullptr, {u"Studio.Indirizzo"_s, QString(indirizzo + u" - "_s + u8(m_comune->nome)), 0});
    m_items->aggiungi(0, nullptr, {u"Archivio.Versione"_s, u"05.10.0000"_s, 0});
    if (m_opzioni.strutturaQuor) {
        // The plug-in met this archive between one and three years ago.
        const QDate inizio = m_oggi.addDays(-m_caso.intero(365, 3 * 365));
        const qint64 momento = secondi(inizio, m_caso.intero(9 * 3600, 12 * 3600));
        QString compatto = testoMomento(momento);
        compatto.remove(u'-').remove(u' ').remove(u':');
        m_items->aggiungi(0, nullptr, {u"QUOR.DataInit"_s, compatto, 0});
        if (!eseguiSql(u"INSERT INTO QUOR_Versione (ID) VALUES (1)"_s, errore)) {
            return false;
        }
    } else if (!eseguiSql(u"DROP TABLE QUOR_tblUpdate"_s, errore) ||
               !eseguiSql(u"DROP TABLE QUOR_Versione"_s, errore)) {
        return false;
    }
    if (!m_opzioni.passwordSync.isEmpty()) {
        m_items->aggiungi(0, nullptr, {u"QUOR.PasswordMedicoSync"_s, m_opzioni.passwordSync, 0});
        m_items->aggiungi(0, nullptr, {u"QUOR.PasswordMedico"_s, m_opzioni.passwordSync, 0});
    }
    if (m_opzioni.sole) {
        if (!AttivaSole(m_db, m_opzioni.cf, errore) ||
            !eseguiSql(
                u"INSERT INTO SOLE_tblConfig (\"Key\", Valore) VALUES ('CodiceRegionale', '%1')"_s.arg(m_caso.cifre(6)),
                errore)) {
            return false;
        }
        m_soleIDPrestazione->aggiungi(0, nullptr, {5, u"LAB"_s, u"Referto di laboratorio"_s});
        m_soleIDPrestazione->aggiungi(0, nullptr, {7, u"PRESC"_s, u"Prescrizione"_s});
        m_soleIDPrestazione->aggiungi(0, nullptr, {11, u"AMB"_s, u"Referto ambulatoriale"_s});
    }
    return true;
}

std::vector<Ruolo> Generatore::ruoli()
{
    const int n = m_opzioni.pazienti;
    std::vector<Ruolo> ruoli(static_cast<std::size_t>(n));
    auto conta = [](qsizetype totale, double quota) {
        return static_cast<int>(std::llround(static_cast<double>(totale) * quota));
    };
    auto ordine = [&] {
        std::vector<int> indici(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            indici[static_cast<std::size_t>(i)] = i;
        }
        m_caso.mescola(indici);
        return indici;
    };
    auto ruolo = [&](int indice) -> Ruolo & { return ruoli[static_cast<std::size_t>(indice)]; };

    // Each share is an exact count over a fresh shuffle: the revoked (deaths among them), the
    // restarted and the future endings among the others.
    const std::vector<int> revoca = ordine();
    const int revocati = conta(n, m_opzioni.quotaRevocati);
    const int decessi = conta(revocati, m_opzioni.quotaDecessi);
    const int riattivati = conta(n - revocati, m_opzioni.quotaRiattivati);
    const int programmati = (n - revocati - riattivati) / 100;
    for (int i = 0; i < n; ++i) {
        Ruolo &r = ruolo(revoca[static_cast<std::size_t>(i)]);
        r.revocato = i < revocati;
        r.deceduto = i < decessi;
        r.riattivato = i >= revocati && i < revocati + riattivati;
        r.fineProgrammata = i >= revocati + riattivati && i < revocati + riattivati + programmati;
    }
    const std::vector<int> tipo = ordine();
    const int propri = conta(n, m_opzioni.quotaProprio);
    const int daCollega = std::min(conta(n, m_opzioni.quotaDaCollega), n - propri);
    for (int i = 0; i < n; ++i) {
        Ruolo &r = ruolo(tipo[static_cast<std::size_t>(i)]);
        r.proprio = i < propri;
        r.daCollega = i >= propri && i < propri + daCollega;
    }
    const std::vector<int> verifica = ordine();
    const int daVerificare = conta(n, m_opzioni.quotaDaVerificare);
    const std::vector<int> allineamento = ordine();
    const int allineati = conta(n, m_opzioni.quotaAllineati);
    for (int i = 0; i < n; ++i) {
        ruolo(verifica[static_cast<std::size_t>(i)]).daVerificare = i < daVerificare;
        ruolo(allineamento[static_cast<std::size_t>(i)]).allineato = i < allineati;
    }
    return ruoli;
}

void Generatore::paziente(int id, const Ruolo &ruolo)
{
    Paziente p;
    p.id = id;
    p.sesso = m_caso.evento(0.52) ? u'F' : u'M';
    p.eta = etaCasuale();
    p.nascita = m_oggi.addYears(-p.eta).addDays(-m_caso.intero(1, 364));

    // Names and places until the fiscal code is new in this archive.
    QString cognome;
    QString nome;
    QString cf;
    const Comune *luogoNascita = nullptr;
    for (int tentativo = 0;; ++tentativo) {
        cognome = m_caso.scegliTesto(Cognomi());
        nome = m_caso.scegliTesto(p.sesso == u'F' ? NomiFemminili() : NomiMaschili());
        luogoNascita = m_caso.evento(0.55) ? m_comune : &m_caso.scegli(Comuni());
        if (tentativo > 20) {
            p.nascita = p.nascita.addDays(-1);
        }
        cf = CalcolaCodiceFiscale(cognome, nome, p.nascita, p.sesso, u8(luogoNascita->codice));
        if (!m_codiciFiscali.contains(cf)) {
            break;
        }
    }
    m_codiciFiscali.insert(cf);

    const Comune *domicilio = m_caso.evento(0.85) ? m_comune : &m_caso.scegli(Comuni());
    const Comune *residenza = m_caso.evento(0.9) ? domicilio : &m_caso.scegli(Comuni());
    const QString indirizzo = m_caso.scegliTesto(Vie()) + u", "_s + QString::number(m_caso.intero(1, 180));
    const QString indirizzoResidenza =
        residenza == domicilio ? indirizzo
                               : m_caso.scegliTesto(Vie()) + u", "_s + QString::number(m_caso.intero(1, 180));
    const QString telefono = m_caso.evento(0.7) ? u"3"_s + m_caso.cifre(2) + u' ' + m_caso.cifre(7)
                                                : u"0"_s + m_caso.cifre(2) + u' ' + m_caso.cifre(6);
    static constexpr const char *kGruppi[] = {"0+", "0-", "A+", "A-", "B+", "AB+"};
    static constexpr const char *kNote[] = {"Vive da solo/a", "Caregiver: la figlia", "Non vedente",
                                            "Preferisce essere chiamato al mattino"};

    // Care relationship: taken on at 14 (or 6 for a child), at most thirty years ago.
    QDate inizio = std::max(p.nascita.addYears(p.eta < 14 ? 6 : 14), m_oggi.addYears(-30));
    const QDate ultimoInizio = m_oggi.addDays(-30);
    inizio = inizio > ultimoInizio ? ultimoInizio : giornoTra(inizio, ultimoInizio);
    QDate fine = m_oggi; // the day after the last day of care
    QDate dataFine;
    QString motivo;
    if (ruolo.revocato) {
        // Ends on or before oggi, which counts as revoked already.
        dataFine = inizio.addDays(m_caso.intero(1, static_cast<int>(inizio.daysTo(m_oggi))));
        motivo = m_caso.scegliTesto(ruolo.deceduto ? MotiviDecesso() : MotiviRevoca());
        fine = dataFine;
    } else if (ruolo.fineProgrammata) {
        dataFine = m_oggi.addDays(m_caso.intero(1, 60));
        motivo = u"Trasferimento"_s;
    }

    const Timbro timbroAnagrafica = timbro(inizio);
    const bool colleganullo = m_caso.evento(0.5);
    m_anagrafica->aggiungi(0, &timbroAnagrafica,
                           {cognome, nome, QString(p.sesso), testoData(p.nascita), u8(luogoNascita->nome), cf,
                            QString(u"80380"_s + m_caso.cifre(15)), indirizzo, u8(domicilio->nome), u8(domicilio->cap),
                            u8(domicilio->provincia), indirizzoResidenza, u8(residenza->nome), u8(residenza->provincia),
                            u8(residenza->cap), telefono, QString(u"AUSL "_s + u8(domicilio->provincia)),
                            QString(u"AUSL "_s + u8(residenza->provincia)), m_medico, vf(ruolo.proprio),
                            // Both empty forms of "not from a colleague" occur in real archives.
                            ruolo.daCollega ? QVariant(m_caso.guid()) : (colleganullo ? QVariant() : QVariant(u""_s)),
                            m_caso.evento(0.4) ? QVariant(m_caso.scegliTesto(kGruppi)) : QVariant(),
                            ruolo.proprio ? u"Privato"_s : u"SSN"_s,
                            m_caso.evento(0.05) ? QVariant(m_caso.scegliTesto(kNote)) : QVariant()});

    if (ruolo.riattivato) {
        // Ended once, then taken on again on the same day or later: active.
        const QDate primaFine = giornoTra(inizio.addDays(1), m_oggi);
        const Timbro primo = timbro(inizio);
        m_rapporti->aggiungi(id, &primo,
                             {testoData(inizio), testoData(primaFine), m_caso.scegliTesto(MotiviRevoca()), QVariant()});
        const QDate ripresa = m_caso.evento(0.3) ? primaFine : giornoTra(primaFine, m_oggi.addDays(1));
        const Timbro secondo = timbro(ripresa);
        m_rapporti->aggiungi(id, &secondo, {testoData(ripresa), QVariant(), QVariant(), u"Nuova scelta"_s});
    } else {
        const Timbro rapporto = timbro(dataFine.isValid() && dataFine <= m_oggi ? dataFine : inizio);
        m_rapporti->aggiungi(id, &rapporto, {testoData(inizio), dataONulla(dataFine), testoONullo(motivo), QVariant()});
    }
    const Timbro timbro2 = timbro(inizio);
    m_anagrafica2->aggiungi(id, &timbro2, {ruolo.daVerificare ? 1 : 0, QVariant()});
    if (m_opzioni.sole) {
        const Timbro allineamento = timbro(giornoTra(inizio, m_oggi));
        m_allineati->aggiungi(id, &allineamento, {vf(ruolo.allineato), allineamento.inserita});
    }

    p.inizioCartella = std::max(inizio, m_oggi.addYears(-kAnniCartella));
    p.fine = fine;
    if (m_opzioni.righe > 0 && p.giorni() >= 1) {
        cartella(p);
    }
}

qint64 Generatore::diario(Paziente &p, const QDate &giorno, const QString &testo, int tipo, bool ricetta,
                          const QString &icd9)
{
    const Timbro t = timbro(giorno);
    const qint64 id = m_diario->aggiungi(p.id, &t,
                                         {testoData(giorno), testo, tipo, vf(ricetta), testoONullo(icd9), QVariant(),
                                          m_caso.evento(0.05) ? QVariant(m_caso.guid()) : QVariant()});
    if (m_opzioni.sole && m_caso.evento(0.1)) {
        const Timbro invio = timbro(giorno);
        m_linkDiario->aggiungi(p.id, &invio, {id, QString(u"DOC"_s + m_caso.cifre(12)), 1, invio.inserita});
    }
    return id;
}

void Generatore::collega(const Paziente &p, qint64 problema, qint64 idDiario, const QDate &giorno)
{
    const Timbro t = timbro(giorno);
    m_problemiDiario->aggiungi(p.id, &t, {problema, idDiario});
}

void Generatore::prescriviFarmaci(Paziente &p, const QDate &giorno, const std::vector<Cronico> &farmaci)
{
    QStringList nomi;
    QString esenzione;
    for (const Cronico &voce : farmaci) {
        nomi.append(u8(Farmaci()[static_cast<std::size_t>(voce.farmaco)].nome));
        if (voce.condizione >= 0 && p.esenzioni[static_cast<std::size_t>(voce.condizione)] >= 0) {
            esenzione =
                m_esenzioni[static_cast<std::size_t>(p.esenzioni[static_cast<std::size_t>(voce.condizione)])].codice;
        }
    }
    const qint64 idDiario = diario(p, giorno, u"Prescrizione: "_s + nomi.join(u"; "_s), 7, true);
    const Timbro t = timbro(giorno);
    const QString nre = numeroRicetta();
    const qint64 idRicetta = m_ricette->aggiungi(
        p.id, &t, {idDiario, testoData(giorno), u"F"_s, nre, testoONullo(esenzione), vf(m_caso.evento(0.9))});
    if (m_opzioni.sole && m_caso.evento(0.5)) {
        const Timbro invio = timbro(giorno);
        m_linkPrescrizioni->aggiungi(p.id, &invio, {idRicetta, nre, 1, invio.inserita});
    }
    for (const Cronico &voce : farmaci) {
        const Farmaco &farmaco = Farmaci()[static_cast<std::size_t>(voce.farmaco)];
        const QString posologia = u8(farmaco.posologia);
        const int quantita = m_caso.evento(0.7) ? 1 : 2;
        const QString diagnosi =
            voce.condizione >= 0
                ? u8(Diagnosi()[static_cast<std::size_t>(
                                    Condizioni()[static_cast<std::size_t>(
                                                     p.condizioni[static_cast<std::size_t>(voce.condizione)])]
                                        .diagnosi)]
                         .descrizione)
                : QString();
        const Timbro riga = timbro(giorno);
        m_ricettaFarmaci->aggiungi(p.id, &riga,
                                   {idRicetta, idDiario, voce.farmaco + 1, u8(farmaco.nome), quantita, posologia,
                                    testoONullo(u8(farmaco.nota))});
        const Timbro prescrizione = timbro(giorno);
        m_prescrizioni->aggiungi(p.id, &prescrizione,
                                 {idDiario, idRicetta, testoData(giorno), voce.farmaco + 1, QVariant(), QVariant(),
                                  QVariant(), u8(farmaco.nome), quantita, u8(farmaco.classe).left(5),
                                  testoONullo(u8(farmaco.nota)), testoONullo(u8(farmaco.nota).left(20)),
                                  posologia.section(u' ', 0, 0).left(10), posologia.section(u' ', 1).left(30),
                                  farmaco.prezzo, farmaco.prezzo * quantita, testoONullo(esenzione),
                                  testoONullo(diagnosi.left(255))});
    }
}

void Generatore::richiediEsami(Paziente &p, const QDate &giorno, const std::vector<int> &esami)
{
    const bool laboratorio = *Esami()[static_cast<std::size_t>(esami.front())].unita != 0;
    QStringList nomi;
    for (const int esame : esami) {
        nomi.append(u8(Esami()[static_cast<std::size_t>(esame)].nome));
    }
    const qint64 idDiario = diario(p, giorno, u"Richiesta: "_s + nomi.join(u"; "_s), laboratorio ? 5 : 6, true);
    const Timbro t = timbro(giorno);
    const qint64 idRicetta =
        m_ricette->aggiungi(p.id, &t, {idDiario, testoData(giorno), u"E"_s, numeroRicetta(), QVariant(), kVero});
    for (const int esame : esami) {
        const Timbro riga = timbro(giorno);
        m_ricettaEsami->aggiungi(
            p.id, &riga, {idRicetta, idDiario, esame + 1, u8(Esami()[static_cast<std::size_t>(esame)].nome), 1});
        const Timbro prescrizione = timbro(giorno);
        m_prescrizioni->aggiungi(p.id, &prescrizione,
                                 {idDiario, idRicetta, testoData(giorno), QVariant(), esame + 1, QVariant(), QVariant(),
                                  u8(Esami()[static_cast<std::size_t>(esame)].nome), 1, QVariant(), QVariant(),
                                  QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    }

    // Most results come back within a fortnight, while the patient is still in care.
    const QDate referto = giorno.addDays(m_caso.intero(3, 15));
    if (referto >= p.fine || !m_caso.evento(0.85)) {
        return;
    }
    if (!laboratorio) {
        for (const int esame : esami) {
            diario(p, referto, u"Referto "_s + u8(Esami()[static_cast<std::size_t>(esame)].nome) + u": nella norma."_s,
                   20, false);
        }
        return;
    }
    struct Risultato
    {
        int esame;
        QString valore;
        bool alterato;
    };
    std::vector<Risultato> risultati;
    QStringList righe;
    for (const int esame : esami) {
        const Esame &e = Esami()[static_cast<std::size_t>(esame)];
        const bool alterato = m_caso.evento(0.2);
        const double ampiezza = e.massimo - e.minimo;
        const double valore = alterato ? (m_caso.evento(0.8) ? e.massimo + ampiezza * m_caso.reale(0.05, 0.6)
                                                             : e.minimo - ampiezza * m_caso.reale(0.02, 0.2))
                                       : m_caso.reale(e.minimo, e.massimo);
        const QString testo = numero(std::max(valore, 0.0), e.massimo < 2 ? 2 : (e.massimo < 20 ? 1 : 0));
        risultati.push_back({esame, testo, alterato});
        righe.append(u8(e.nome) + u' ' + testo + u' ' + u8(e.unita));
    }
    const qint64 idReferto = diario(p, referto, u"Referto esami: "_s + righe.join(u"; "_s), 18, false);
    for (const Risultato &r : risultati) {
        const Esame &e = Esami()[static_cast<std::size_t>(r.esame)];
        const Timbro riga = timbro(referto);
        m_esami->aggiungi(p.id, &riga,
                          {idReferto, r.esame + 1, m_sottoesame[static_cast<std::size_t>(r.esame)], testoData(referto),
                           r.valore, u8(e.unita), r.alterato ? u"S"_s : u"N"_s, QVariant()});
    }
}

void Generatore::richiediVisita(Paziente &p, const QDate &giorno, int visita)
{
    static constexpr const char *kQuesiti[] = {"Controllo annuale", "Dolore persistente, si richiede valutazione",
                                               "Approfondimento diagnostico", "Follow-up terapia"};
    const QString nome = u8(Visite()[static_cast<std::size_t>(visita)].nome);
    const QString quesito = m_caso.scegliTesto(kQuesiti);
    const qint64 idDiario = diario(p, giorno, u"Richiesta "_s + nome + u": "_s + quesito, 11, true);
    const Timbro t = timbro(giorno);
    const qint64 idRicetta =
        m_ricette->aggiungi(p.id, &t, {idDiario, testoData(giorno), u"V"_s, numeroRicetta(), QVariant(), kVero});
    const Timbro riga = timbro(giorno);
    m_ricettaVisite->aggiungi(p.id, &riga, {idRicetta, idDiario, visita + 1, nome, quesito});
    const Timbro prescrizione = timbro(giorno);
    m_prescrizioni->aggiungi(p.id, &prescrizione,
                             {idDiario, idRicetta, testoData(giorno), QVariant(), QVariant(), visita + 1, QVariant(),
                              nome, 1, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                              QVariant(), QVariant(), QVariant()});
}

void Generatore::problemiECronici(Paziente &p)
{
    const auto condizioni = Condizioni();
    for (std::size_t i = 0; i < condizioni.size(); ++i) {
        const Condizione &c = condizioni[i];
        if (p.eta < c.etaMinima || (c.sesso != 0 && QChar(static_cast<char16_t>(c.sesso)) != p.sesso)) {
            continue;
        }
        const double fattore = 0.5 + std::min(p.eta - c.etaMinima, 40) / 40.0;
        if (m_caso.evento(c.probabilita * fattore)) {
            p.condizioni.push_back(static_cast<int>(i));
        }
    }
    for (std::size_t posizione = 0; posizione < p.condizioni.size(); ++posizione) {
        const Condizione &c = condizioni[static_cast<std::size_t>(p.condizioni[posizione])];
        const VoceICD9 &diagnosi = Diagnosi()[static_cast<std::size_t>(c.diagnosi)];
        const QDate apertura = giornoCasuale(p);
        const Timbro t = timbro(apertura);
        p.problemi.push_back(m_problemi->aggiungi(
            p.id, &t,
            {testoData(apertura), QVariant(), u8(diagnosi.codice), u8(diagnosi.descrizione).left(100), 0, QVariant()}));
        p.aperture.push_back(apertura);
        int esenzione = -1;
        if (*c.esenzione != 0 && m_caso.evento(quota(0.6))) {
            // Hypertension with organ damage has a code of its own.
            QString codice = u8(c.esenzione);
            if (codice == u"031"_s && m_caso.evento(0.2)) {
                codice = u"0031"_s;
            }
            for (std::size_t e = 0; e < m_esenzioni.size(); ++e) {
                if (m_esenzioni[e].codice == codice) {
                    esenzione = static_cast<int>(e);
                }
            }
        }
        p.esenzioni.push_back(esenzione);
        if (esenzione >= 0) {
            const EsenzioneCatalogo &voce = m_esenzioni[static_cast<std::size_t>(esenzione)];
            const Timbro te = timbro(apertura);
            m_esenzioniPaziente->aggiungi(p.id, &te,
                                          {voce.id, voce.codice, voce.codice, voce.codice, QVariant(), vf(voce.esaN),
                                           vf(voce.esaR), vf(voce.esaAAsl), vf(voce.esaRAsl), vf(voce.farN),
                                           vf(voce.farR), vf(voce.farAasl), vf(voce.farRasl), QVariant()});
        }
        // One or two of the usual drugs become ongoing therapy.
        const int quanti = m_caso.intero(1, 2);
        int presi = 0;
        for (const int farmaco : c.farmaci) {
            if (farmaco < 0 || presi >= quanti) {
                continue;
            }
            const bool giaPreso = std::any_of(p.cronici.begin(), p.cronici.end(),
                                              [&](const Cronico &cr) { return cr.farmaco == farmaco; });
            if (giaPreso) {
                continue;
            }
            ++presi;
            p.cronici.push_back({farmaco, static_cast<int>(posizione)});
            const Farmaco &f = Farmaci()[static_cast<std::size_t>(farmaco)];
            const QString posologia = u8(f.posologia);
            const EsenzioneCatalogo *voce =
                esenzione >= 0 ? &m_esenzioni[static_cast<std::size_t>(esenzione)] : nullptr;
            const Timbro tf = timbro(apertura);
            m_statoFarmaci->aggiungi(
                p.id, &tf,
                {farmaco + 1, testoData(apertura), 1, u8(f.classe), testoONullo(u8(f.nota)),
                 posologia.section(u' ', 0, 0).left(10), posologia.left(100), voce ? QVariant(voce->id) : QVariant(),
                 voce ? QVariant(voce->codice) : QVariant(), vf(voce && voce->farR), vf(voce && voce->farN),
                 vf(voce && voce->farRasl), vf(voce && voce->farAasl), u8(diagnosi.descrizione)});
            if (m_caso.evento(quota(0.2))) {
                const Timbro tp = timbro(apertura);
                m_posologia->aggiungi(p.id, &tp,
                                      {farmaco + 1, testoData(apertura), QVariant(), posologia,
                                       posologia.contains(u"sera"_s) ? u"21:00"_s : u"08:00"_s});
            }
            // Drugs under a specialist's plan.
            if (farmaco == 16 || farmaco == 27 || farmaco == 34) {
                const Timbro tp = timbro(apertura);
                m_pianoTerapeutico->aggiungi(
                    p.id, &tp,
                    {farmaco + 1, testoData(apertura), testoData(apertura.addYears(1)),
                     farmaco == 27 ? u"Centro antidiabetico"_s : u"Ambulatorio specialistico"_s,
                     QString(u"Piano terapeutico "_s + u8(f.nome))});
            }
        }
        p.diabetico = p.diabetico || c.diagnosi == 1;
        p.iperteso = p.iperteso || c.diagnosi == 0;
        p.dislipidemico = p.dislipidemico || c.diagnosi == 2;
    }
    p.anticoagulato = std::any_of(p.cronici.begin(), p.cronici.end(), [](const Cronico &c) { return c.farmaco == 12; });

    // Exemption for income of the elderly; now and then already expired.
    if (p.eta >= 65 && m_caso.evento(quota(0.3))) {
        const EsenzioneCatalogo &voce = m_esenzioni[9];
        const QDate scadenza =
            m_caso.evento(0.1) ? m_oggi.addDays(-m_caso.intero(1, 200)) : m_oggi.addDays(m_caso.intero(30, 365));
        const Timbro t = timbro(giornoCasuale(p));
        m_esenzioniPaziente->aggiungi(p.id, &t,
                                      {voce.id, voce.codice, voce.codice, voce.codice, testoData(scadenza),
                                       vf(voce.esaN), vf(voce.esaR), vf(voce.esaAAsl), vf(voce.esaRAsl), vf(voce.farN),
                                       vf(voce.farR), vf(voce.farAasl), vf(voce.farRasl), u"Autocertificazione"_s});
    }
}

void Generatore::visite(Paziente &p)
{
    static constexpr const char *kApparati[][2] = {
        {"Cardiovascolare", "Toni validi, pause libere. Polsi periferici presenti."},
        {"Respiratorio", "MV presente su tutto l'ambito, non rumori aggiunti."},
        {"Addome", "Addome trattabile, non dolente alla palpazione profonda."},
        {"Cute", "Cute integra, non lesioni sospette."},
        {"Osteoarticolare", "Motilità conservata, non segni di flogosi articolare."}};
    static constexpr const char *kConsigli[] = {"", "", " Consigliata attività fisica regolare.",
                                                " Dieta povera di sale.", " Ricontrollo tra 3 mesi."};

    const int quante = m_caso.poisson(media(p.anni() * (0.7 + 0.4 * static_cast<double>(p.condizioni.size()))));
    for (int v = 0; v < quante; ++v) {
        const QDate giorno = giornoCasuale(p);
        const int tipo = p.eta > 80 && m_caso.evento(0.4) ? 13 : 10;
        if (!p.condizioni.empty() && m_caso.evento(0.6)) {
            // Follow-up of a chronic condition, filed under its problem.
            const auto posizione =
                static_cast<std::size_t>(m_caso.intero(0, static_cast<int>(p.condizioni.size()) - 1));
            const Condizione &c = Condizioni()[static_cast<std::size_t>(p.condizioni[posizione])];
            const VoceICD9 &diagnosi = Diagnosi()[static_cast<std::size_t>(c.diagnosi)];
            QString testo;
            if (c.diagnosi == 0) {
                const int massima = m_caso.intero(120, 170);
                const int minima = m_caso.intero(70, 100);
                const int frequenza = m_caso.intero(58, 92);
                testo = u"Controllo pressorio: PA %1/%2 mmHg, FC %3 bpm."_s.arg(massima).arg(minima).arg(frequenza);
                const Timbro t = timbro(giorno);
                m_pressione->aggiungi(p.id, &t,
                                      {testoData(giorno), minima, massima, frequenza,
                                       vf(p.anticoagulato && m_caso.evento(0.5)), QVariant()});
            } else if (c.diagnosi == 1) {
                const int glicemia = m_caso.intero(95, 190);
                testo = u"Controllo diabete: glicemia a digiuno %1 mg/dl, prosegue la terapia."_s.arg(glicemia);
                const Timbro t = timbro(giorno);
                m_glicemia->aggiungi(p.id, &t, {testoData(giorno), glicemia, kVero, QVariant(), u"In ambulatorio"_s});
            } else {
                testo = u"Controllo per "_s + u8(diagnosi.descrizione).toLower() +
                        u": condizioni stabili, prosegue la terapia in atto."_s;
            }
            testo += m_caso.scegliTesto(kConsigli);
            const qint64 idDiario = diario(p, giorno, testo, tipo, false, u8(diagnosi.codice));
            if (m_caso.evento(0.7)) {
                collega(p, p.problemi[posizione], idDiario, giorno);
            }
            if (m_caso.evento(0.15)) {
                const auto &apparato = kApparati[m_caso.intero(0, 4)];
                const Timbro t = timbro(giorno);
                m_esameObiettivo->aggiungi(p.id, &t, {idDiario, testoData(giorno), u8(apparato[0]), u8(apparato[1])});
            }
            continue;
        }
        // A short illness: sometimes a problem of its own, often a drug.
        const Episodio &episodio = m_caso.scegli(Episodi());
        const VoceICD9 &diagnosi = Diagnosi()[static_cast<std::size_t>(episodio.diagnosi)];
        const qint64 idDiario = diario(p, giorno, u8(episodio.testo), tipo, false, u8(diagnosi.codice));
        if (m_caso.evento(0.3)) {
            const QDate chiusura = giorno.addDays(m_caso.intero(7, 30));
            const bool chiuso = chiusura < m_oggi;
            const Timbro t = timbro(giorno);
            const qint64 problema = m_problemi->aggiungi(
                p.id, &t,
                {testoData(giorno), chiuso ? QVariant(testoData(chiusura)) : QVariant(), u8(diagnosi.codice),
                 u8(diagnosi.descrizione).left(100), chiuso ? 1 : 0, QVariant()});
            collega(p, problema, idDiario, giorno);
        }
        if (m_caso.evento(0.15)) {
            const auto &apparato = kApparati[m_caso.intero(0, 4)];
            const Timbro t = timbro(giorno);
            m_esameObiettivo->aggiungi(p.id, &t, {idDiario, testoData(giorno), u8(apparato[0]), u8(apparato[1])});
        }
        if (episodio.farmaco >= 0 && m_caso.evento(0.7)) {
            prescriviFarmaci(p, giorno, {{episodio.farmaco, -1}});
        }
    }

    // Repeat prescriptions of the ongoing therapy, one or two drugs a time.
    if (!p.cronici.empty()) {
        const int quante = m_caso.poisson(media(p.anni() * 0.9));
        for (int r = 0; r < quante; ++r) {
            std::vector<Cronico> scelti{
                p.cronici[static_cast<std::size_t>(m_caso.intero(0, static_cast<int>(p.cronici.size()) - 1))]};
            if (p.cronici.size() > 1 && m_caso.evento(0.4)) {
                for (const Cronico &altro : p.cronici) {
                    if (altro.farmaco != scelti.front().farmaco) {
                        scelti.push_back(altro);
                        break;
                    }
                }
            }
            prescriviFarmaci(p, giornoCasuale(p), scelti);
        }
    }

    // Specialist visits, admissions, services under the professional-commitment agreement.
    const int specialistiche = m_caso.poisson(media(p.anni() * 0.15));
    for (int s = 0; s < specialistiche; ++s) {
        int visita = m_caso.intero(0, static_cast<int>(Visite().size()) - 1);
        if (visita == 2 && p.sesso != u'F') {
            visita = 0;
        }
        richiediVisita(p, giornoCasuale(p), visita);
    }
    if (m_caso.evento(quota(p.eta > 65 ? 0.12 : 0.03))) {
        static constexpr int kTipiRicovero[] = {9, 9, 9, 16, 23};
        const int tipo = kTipiRicovero[m_caso.intero(0, 4)];
        const QString motivo =
            p.condizioni.empty()
                ? u"polmonite"_s
                : u8(Diagnosi()[static_cast<std::size_t>(
                                    Condizioni()[static_cast<std::size_t>(p.condizioni.front())].diagnosi)]
                         .descrizione)
                      .toLower();
        diario(p, giornoCasuale(p), u"Ricovero presso l'Ospedale Maggiore per "_s + motivo + u'.', tipo, false);
    }
    const int pip = m_caso.poisson(media(0.1));
    for (int i = 0; i < pip; ++i) {
        static constexpr const char *kPrestazioni[][2] = {{"PIP01", "Medicazione semplice"},
                                                          {"PIP02", "Rimozione punti di sutura"},
                                                          {"PIP03", "Iniezione intramuscolare"},
                                                          {"PIP04", "Tampone faringeo rapido"}};
        static constexpr double kImporti[] = {12.50, 12.50, 6.20, 8.00};
        const int scelta = m_caso.intero(0, 3);
        const QDate giorno = giornoCasuale(p);
        const qint64 idDiario = diario(p, giorno, u8(kPrestazioni[scelta][1]), 12, false);
        const Timbro t = timbro(giorno);
        m_diarioPip->aggiungi(
            p.id, &t,
            {idDiario, testoData(giorno), u8(kPrestazioni[scelta][0]), u8(kPrestazioni[scelta][1]), kImporti[scelta]});
    }
}

void Generatore::esami(Paziente &p)
{
    // Laboratory: the tests of the conditions, or a routine panel.
    std::vector<int> propri;
    std::vector<int> strumentali;
    for (const int indice : p.condizioni) {
        for (const int esame : Condizioni()[static_cast<std::size_t>(indice)].esami) {
            if (esame < 0) {
                continue;
            }
            auto &lista = *Esami()[static_cast<std::size_t>(esame)].unita != 0 ? propri : strumentali;
            if (std::find(lista.begin(), lista.end(), esame) == lista.end()) {
                lista.push_back(esame);
            }
        }
    }
    const double ritmo = p.eta >= 18 ? 0.2 + 0.15 * static_cast<double>(p.condizioni.size()) : 0.08;
    const int richieste = m_caso.poisson(media(p.anni() * ritmo));
    for (int r = 0; r < richieste; ++r) {
        std::vector<int> scelti = propri;
        static constexpr int kRoutine[] = {0, 1, 4, 5, 6};
        const int aggiunti = m_caso.intero(1, 3);
        for (int a = 0; a < aggiunti; ++a) {
            const int esame = kRoutine[m_caso.intero(0, 4)];
            if (std::find(scelti.begin(), scelti.end(), esame) == scelti.end()) {
                scelti.push_back(esame);
            }
        }
        if (scelti.size() > 3) {
            scelti.resize(3);
        }
        richiediEsami(p, giornoCasuale(p), scelti);
    }
    const int strumentaliRichiesti = m_caso.poisson(media(p.anni() * (strumentali.empty() ? 0.05 : 0.3)));
    for (int r = 0; r < strumentaliRichiesti; ++r) {
        static constexpr int kStrumentali[] = {12, 13, 14, 17};
        int esame =
            strumentali.empty()
                ? kStrumentali[m_caso.intero(0, 3)]
                : strumentali[static_cast<std::size_t>(m_caso.intero(0, static_cast<int>(strumentali.size()) - 1))];
        if (p.sesso == u'F' && p.eta >= 50 && p.eta < 70 && m_caso.evento(0.3)) {
            esame = 15;
        }
        richiediEsami(p, giornoCasuale(p), {esame});
    }
    if (m_caso.evento(quota(0.15))) {
        const int esame = m_caso.intero(0, 11);
        const Timbro t = timbro(giornoCasuale(p));
        m_esamiSospesi->aggiungi(p.id, &t,
                                 {esame + 1, testoData(m_oggi.addDays(m_caso.intero(10, 90))),
                                  u8(Esami()[static_cast<std::size_t>(esame)].nome), QVariant()});
    }
    if (m_caso.evento(quota(0.08))) {
        const int visita = m_caso.intero(0, static_cast<int>(Visite().size()) - 1);
        const Timbro t = timbro(giornoCasuale(p));
        m_visiteSospese->aggiungi(p.id, &t,
                                  {visita + 1, testoData(m_oggi.addDays(m_caso.intero(10, 120))),
                                   u8(Visite()[static_cast<std::size_t>(visita)].nome), u"Da prenotare"_s});
    }
}

void Generatore::monitoraggio(Paziente &p)
{
    const double anni = p.anni();
    const int pressioni = m_caso.poisson(media(anni * (p.iperteso ? 1.0 : (p.eta > 30 ? 0.2 : 0.0))));
    for (int i = 0; i < pressioni; ++i) {
        const QDate giorno = giornoCasuale(p);
        const int scarto = p.iperteso ? 15 : 0;
        const Timbro t = timbro(giorno);
        m_pressione->aggiungi(p.id, &t,
                              {testoData(giorno), m_caso.intero(65, 90) + scarto / 2, m_caso.intero(110, 145) + scarto,
                               m_caso.intero(55, 95), vf(p.anticoagulato && m_caso.evento(0.5)),
                               m_caso.evento(0.3) ? QVariant(u"Automisurazione domiciliare"_s) : QVariant()});
    }
    if (p.eta >= 14) {
        const int pesate = m_caso.poisson(media(anni * 0.35));
        for (int i = 0; i < pesate; ++i) {
            const QDate giorno = giornoCasuale(p);
            const double bmi = p.bmi + m_caso.reale(-1.5, 1.5);
            const double metri = p.altezza / 100.0;
            const double peso = std::round(bmi * metri * metri * 10) / 10;
            const Timbro t = timbro(giorno);
            m_bmi->aggiungi(p.id, &t,
                            {testoData(giorno), peso, p.altezza, std::round(peso / (metri * metri) * 10) / 10,
                             m_caso.evento(0.5) ? QVariant(m_caso.intero(70, 120)) : QVariant(), QVariant()});
        }
    }
    const int glicemie = m_caso.poisson(media(anni * (p.diabetico ? 2.0 : 0.0)));
    for (int i = 0; i < glicemie; ++i) {
        const QDate giorno = giornoCasuale(p);
        const bool emoglobina = m_caso.evento(0.3);
        const Timbro t = timbro(giorno);
        m_glicemia->aggiungi(p.id, &t,
                             {testoData(giorno), m_caso.intero(90, 210), vf(m_caso.evento(0.8)),
                              emoglobina ? QVariant(numero(m_caso.reale(5.8, 9.0), 1).toDouble()) : QVariant(),
                              QVariant()});
    }
    const int profili = m_caso.poisson(media(anni * (p.dislipidemico ? 1.0 : (p.eta > 40 ? 0.12 : 0.0))));
    for (int i = 0; i < profili; ++i) {
        const QDate giorno = giornoCasuale(p);
        const int colesterolo = m_caso.intero(150, 290);
        const int hdl = m_caso.intero(35, 75);
        const int trigliceridi = m_caso.intero(60, 300);
        const Timbro t = timbro(giorno);
        m_lipidi->aggiungi(p.id, &t,
                           {testoData(giorno), colesterolo, hdl, std::max(40, colesterolo - hdl - trigliceridi / 5),
                            trigliceridi, QVariant()});
    }
    const int inr = m_caso.poisson(media(anni * (p.anticoagulato ? 8.0 : 0.0)));
    for (int i = 0; i < inr; ++i) {
        const QDate giorno = giornoCasuale(p);
        const Timbro t = timbro(giorno);
        m_pt->aggiungi(p.id, &t,
                       {testoData(giorno), numero(m_caso.reale(1.6, 3.4), 1).toDouble(),
                        numero(m_caso.reale(17.5, 45.0), 1).toDouble(), QVariant()});
    }
    if ((p.fumatore || p.exFumatore) && m_caso.evento(quota(0.6))) {
        const QDate giorno = giornoCasuale(p);
        const Timbro t = timbro(giorno);
        m_fumo->aggiungi(p.id, &t,
                         {testoData(giorno), p.fumatore ? u"Fumatore"_s : u"Ex fumatore"_s,
                          p.fumatore ? m_caso.intero(3, 30) : 0,
                          p.fumatore ? QVariant(u"Consigliata la cessazione"_s) : QVariant()});
    }
    if (p.eta >= 40 && p.eta < 70 && m_caso.evento(quota(0.3))) {
        const int quante = 1 + m_caso.poisson(anni / 4);
        for (int i = 0; i < quante; ++i) {
            static constexpr const char *kClassi[] = {"I", "II", "III", "IV", "V", "VI"};
            const double punteggio = numero(m_caso.reale(1, 25), 1).toDouble();
            const Timbro t = timbro(giornoCasuale(p));
            m_rischio->aggiungi(p.id, &t,
                                {QString(t.inserita.left(10) + u" 00:00:00"_s), punteggio,
                                 u8(kClassi[std::min(5, static_cast<int>(punteggio / 5))]), m_caso.intero(150, 280),
                                 m_caso.intero(35, 75), m_caso.intero(110, 170), vf(p.fumatore), vf(p.diabetico),
                                 vf(p.iperteso)});
        }
    }
}

void Generatore::vaccinazioni(Paziente &p)
{
    if (p.eta >= 65) {
        // The flu vaccine every autumn, most years.
        for (int anno = p.inizioCartella.year(); anno <= p.fine.year(); ++anno) {
            const QDate giorno = QDate(anno, 10, 15).addDays(m_caso.intero(0, 45));
            if (giorno < p.inizioCartella || giorno >= p.fine || !m_caso.evento(quota(0.7))) {
                continue;
            }
            const Timbro t = timbro(giorno);
            m_vaccinazioni->aggiungi(
                p.id, &t,
                {testoData(giorno), QVariant(), u8(Vaccini()[0]), QString(u"FL"_s + m_caso.cifre(5)), QVariant()});
        }
    }
    const int altre = m_caso.poisson(media(p.anni() * 0.12));
    for (int i = 0; i < altre; ++i) {
        int vaccino = m_caso.intero(1, 5);
        if (vaccino == 1 && p.eta < 65) {
            vaccino = 2;
        }
        if (vaccino == 4 && p.eta < 65) {
            vaccino = 3;
        }
        const QDate giorno = giornoCasuale(p);
        const QDate richiamo = vaccino == 2 ? giorno.addYears(10) : QDate();
        const Timbro t = timbro(giorno);
        m_vaccinazioni->aggiungi(p.id, &t,
                                 {testoData(giorno), dataONulla(richiamo),
                                  u8(Vaccini()[static_cast<std::size_t>(vaccino)]), QString(u"LT"_s + m_caso.cifre(6)),
                                  m_caso.evento(0.2) ? QVariant(u"Somministrato presso l'ambulatorio"_s) : QVariant()});
    }
}

void Generatore::anamnesi(Paziente &p)
{
    static constexpr const char *kProfessioni[] = {"Impiegato/a",  "Operaio/a",    "Insegnante",
                                                   "Commerciante", "Infermiere/a", "Libero professionista",
                                                   "Casalinga",    "Autista",      "Artigiano/a"};
    static constexpr const char *kParenti[] = {"Padre",   "Madre",         "Fratello",
                                               "Sorella", "Nonno paterno", "Nonna materna"};
    static constexpr const char *kPregresse[] = {
        "Appendicectomia", "Frattura del radio destro", "Colecistectomia laparoscopica", "Tonsillectomia",
        "Polmonite",       "Ernia inguinale operata"};
    static constexpr const char *kAppunti[] = {
        "Preferisce essere contattato al mattino.", "Accompagnato dalla figlia alle visite.",
        "Ricordare il controllo della pressione tra 3 mesi.", "Chiede la ricetta dematerializzata via e-mail."};
    static constexpr const char *kAllergie[][2] = {{"Allergia al nichel", ""},
                                                   {"Allergia agli acari della polvere", ""},
                                                   {"Intolleranza al lattosio", "I"},
                                                   {"Allergia al polline di graminacee", ""}};

    if (m_caso.evento(quota(0.7))) {
        const QString professione = p.eta < 19    ? u"Studente"_s
                                    : p.eta >= 67 ? (p.sesso == u'F' ? u"Pensionata"_s : u"Pensionato"_s)
                                                  : m_caso.scegliTesto(kProfessioni);
        static constexpr const char *kStati[] = {"Celibe/nubile", "Coniugato/a", "Vedovo/a", "Separato/a"};
        static constexpr const char *kAlcol[] = {"Astemio", "Occasionale", "Un bicchiere di vino ai pasti"};
        const Timbro t = timbro(p.inizioCartella);
        m_anamnesi->aggiungi(p.id, &t,
                             {u"Nega patologie di rilievo in età infantile. Vaccinazioni dell'infanzia eseguite."_s,
                              professione, p.eta < 25 ? u8(kStati[0]) : m_caso.scegliTesto(kStati),
                              p.fumatore ? u"Fumatore"_s : (p.exFumatore ? u"Ex fumatore"_s : u"Non fumatore"_s),
                              m_caso.scegliTesto(kAlcol)});
    }
    if (m_caso.evento(quota(0.2))) {
        const Timbro t = timbro(giornoCasuale(p));
        m_appunti->aggiungi(p.id, &t, {m_caso.scegliTesto(kAppunti)});
    }
    const int familiari = m_caso.poisson(media(0.8));
    for (int i = 0; i < familiari; ++i) {
        const Condizione &c = m_caso.scegli(Condizioni());
        const VoceICD9 &diagnosi = Diagnosi()[static_cast<std::size_t>(c.diagnosi)];
        const Timbro t = timbro(giornoCasuale(p));
        m_familiare->aggiungi(
            p.id, &t, {m_caso.scegliTesto(kParenti), u8(diagnosi.descrizione), u8(diagnosi.codice), QVariant()});
    }
    const int pregresse = m_caso.poisson(media(0.6));
    for (int i = 0; i < pregresse; ++i) {
        const QDate quando = giornoTra(p.nascita.addYears(3), std::max(p.nascita.addYears(4), p.inizioCartella));
        const Timbro t = timbro(giornoCasuale(p));
        m_patologica->aggiungi(p.id, &t, {testoData(quando), m_caso.scegliTesto(kPregresse), QVariant(), QVariant()});
    }
    if (m_caso.evento(quota(0.08))) {
        const auto &allergia = kAllergie[m_caso.intero(0, 3)];
        const bool farmaco = m_caso.evento(0.6);
        const int indice = m_caso.intero(0, static_cast<int>(Farmaci().size()) - 1);
        const Farmaco &f = Farmaci()[static_cast<std::size_t>(indice)];
        const QDate giorno = giornoCasuale(p);
        const Timbro t = timbro(giorno);
        if (farmaco) {
            m_allergie->aggiungi(p.id, &t,
                                 {testoData(giorno), indice + 1, f.principio + 1,
                                  u8(Principi()[static_cast<std::size_t>(f.principio)].atc), 0,
                                  u"Orticaria dopo l'assunzione"_s});
        } else {
            m_allergie->aggiungi(
                p.id, &t,
                {testoData(giorno), QVariant(), QVariant(), QVariant(), vf(*allergia[1] == 'I'), u8(allergia[0])});
        }
    }
    if (p.sesso == u'F' && p.eta >= 18 && p.eta <= 45 && m_caso.evento(quota(0.04))) {
        const QDate giorno = giornoCasuale(p);
        const Timbro t = timbro(giorno);
        m_stato->aggiungi(p.id, &t,
                          {testoData(giorno), u"Gravidanza"_s,
                           QString(u"Data presunta del parto: "_s + giorno.addDays(250).toString(u"dd/MM/yyyy"_s))});
    }
}

void Generatore::certificati(Paziente &p)
{
    if (!p.lavoratore) {
        return;
    }
    const int inps = m_caso.poisson(media(p.anni() * 0.35));
    for (int i = 0; i < inps; ++i) {
        const QDate giorno = giornoCasuale(p);
        const Episodio &episodio = m_caso.scegli(Episodi());
        const QString diagnosi = u8(Diagnosi()[static_cast<std::size_t>(episodio.diagnosi)].descrizione);
        QDate dal = giorno;
        QDate al = giorno.addDays(m_caso.intero(2, 7));
        QVariant padre;
        for (int certificato = 0; certificato < 2 && dal < p.fine; ++certificato) {
            const qint64 idDiario = diario(p, dal,
                                           u"Certificato di malattia INPS dal %1 al %2"_s.arg(
                                               dal.toString(u"dd/MM/yyyy"_s), al.toString(u"dd/MM/yyyy"_s)),
                                           3, false);
            const Timbro t = timbro(dal);
            const qint64 id =
                m_inps->aggiungi(p.id, &t,
                                 {padre, idDiario, testoData(dal), padre.isNull() ? u"Inizio"_s : u"Continuazione"_s,
                                  testoData(dal), testoData(al), diagnosi, m_caso.cifre(9)});
            if (padre.isNull()) {
                padre = id;
            }
            // One in four is extended by a continuation.
            if (!m_caso.evento(0.25)) {
                break;
            }
            dal = al.addDays(1);
            al = dal.addDays(m_caso.intero(3, 7));
        }
    }
    if (m_caso.evento(quota(0.03))) {
        static constexpr const char *kInfortuni[] = {"Contusione del ginocchio destro",
                                                     "Distorsione della caviglia sinistra",
                                                     "Ferita lacero-contusa della mano destra"};
        const QString diagnosi = m_caso.scegliTesto(kInfortuni);
        QDate giorno = giornoCasuale(p);
        const QDate evento = giorno.addDays(-1);
        QVariant padre;
        const int seguiti = m_caso.intero(0, 2);
        for (int certificato = 0; certificato <= seguiti && giorno < p.fine; ++certificato) {
            const int prognosi = m_caso.intero(5, 20);
            const QString tipo =
                certificato == 0 ? u"Primo"_s : (certificato == seguiti ? u"Definitivo"_s : u"Continuativo"_s);
            const qint64 idDiario = diario(p, giorno, u"Certificato INAIL ("_s + tipo + u"): "_s + diagnosi, 19, false);
            const Timbro t = timbro(giorno);
            const qint64 id = m_inail->aggiungi(
                p.id, &t,
                {padre, idDiario, testoData(giorno), tipo, testoData(evento), diagnosi, prognosi, QVariant()});
            // Every later certificate points at the first one.
            if (padre.isNull()) {
                padre = id;
            }
            giorno = giorno.addDays(prognosi);
        }
    }
    const int memo = m_caso.poisson(media(0.15));
    for (int i = 0; i < memo; ++i) {
        static constexpr const char *kCertificati[] = {"Certificato di idoneità all'attività sportiva non agonistica",
                                                       "Certificato di riammissione scolastica",
                                                       "Certificato per il rinnovo della patente di guida"};
        const QString titolo = m_caso.scegliTesto(kCertificati);
        const QDate giorno = giornoCasuale(p);
        const qint64 idDiario = diario(p, giorno, titolo, 2, false);
        const Timbro t = timbro(giorno);
        m_memoCertificati->aggiungi(p.id, &t,
                                    {idDiario, titolo.left(100),
                                     u"Si certifica che il/la paziente, visitato/a in "
                                     "data odierna, non presenta controindicazioni."_s});
    }
}

void Generatore::altro(Paziente &p)
{
    static constexpr const char *kScadenze[] = {"Controllo esami ematochimici", "Richiamo vaccino antitetanico",
                                                "Rinnovo piano terapeutico", "Controllo pressorio"};
    const int scadenze = m_caso.poisson(media(0.4));
    for (int i = 0; i < scadenze; ++i) {
        const QDate quando = m_oggi.addDays(m_caso.intero(-180, 180));
        const Timbro t = timbro(giornoCasuale(p));
        m_scadenze->aggiungi(
            p.id, &t,
            {testoData(quando), m_caso.scegliTesto(kScadenze), vf(quando < m_oggi && m_caso.evento(0.7)), QVariant()});
    }
    auto screening = [&](const QString &tipo, double ogniAnni) {
        const int quanti = m_caso.poisson(media(p.anni() / ogniAnni));
        for (int i = 0; i < quanti; ++i) {
            const QDate giorno = giornoCasuale(p);
            const Timbro t = timbro(giorno);
            m_screening->aggiungi(p.id, &t,
                                  {testoData(giorno), tipo, m_caso.evento(0.92) ? u"Negativo"_s : u"Da approfondire"_s,
                                   testoData(giorno.addDays(static_cast<qint64>(ogniAnni * 365)))});
        }
    };
    if (p.sesso == u'F' && p.eta >= 25 && p.eta < 65) {
        screening(u"Pap test"_s, 3);
    }
    if (p.sesso == u'F' && p.eta >= 45 && p.eta < 75) {
        screening(u"Mammografia"_s, 2);
    }
    if (p.eta >= 50 && p.eta < 70) {
        screening(u"Sangue occulto fecale"_s, 2);
    }
    if (m_caso.evento(quota(0.08))) {
        static constexpr const char *kSospetti[][2] = {{"Sospetta celiachia", "579.0"},
                                                       {"Sospetta apnea ostruttiva nel sonno", "327.23"},
                                                       {"Sospetta ipoacusia", "389.9"}};
        const auto &sospetto = kSospetti[m_caso.intero(0, 2)];
        const QDate giorno = giornoCasuale(p);
        const Timbro t = timbro(giorno);
        m_sospetti->aggiungi(p.id, &t, {testoData(giorno), u8(sospetto[0]), u8(sospetto[1]), u"Da confermare"_s});
    }
    if (p.diabetico) {
        const QDate diagnosi = p.aperture[static_cast<std::size_t>(
            std::find_if(p.condizioni.begin(), p.condizioni.end(),
                         [](int c) { return Condizioni()[static_cast<std::size_t>(c)].diagnosi == 1; }) -
            p.condizioni.begin())];
        const bool insulina =
            std::any_of(p.cronici.begin(), p.cronici.end(), [](const Cronico &c) { return c.farmaco == 27; });
        const Timbro t = timbro(diagnosi);
        m_diabeteExtra->aggiungi(
            p.id, &t,
            {u"Tipo 2"_s, testoData(diagnosi), insulina ? u"Insulina"_s : u"Ipoglicemizzanti orali"_s, QVariant()});
        const int controlli = m_caso.poisson(media(p.anni() * 1.0));
        for (int i = 0; i < controlli; ++i) {
            const QDate giorno = giornoCasuale(p);
            const bool annuale = m_caso.evento(0.3);
            const Timbro ts = timbro(giorno);
            const qint64 storico = m_diabeteStorico->aggiungi(
                p.id, &ts, {testoData(giorno), annuale ? u"Visita annuale"_s : u"Controllo semestrale"_s, QVariant()});
            const QString voci[][2] = {
                {u"HbA1c"_s, numero(m_caso.reale(6.0, 9.0), 1) + u" %"_s},
                {u"Peso"_s, QString::number(m_caso.intero(60, 110)) + u" kg"_s},
                {u"Glicemia a digiuno"_s, QString::number(m_caso.intero(95, 200)) + u" mg/dl"_s},
                {u"Esame del piede"_s, u"Nessuna lesione"_s},
            };
            for (int v = 0; v < (annuale ? 4 : 3); ++v) {
                const Timbro ti = timbro(giorno);
                m_diabeteItems->aggiungi(p.id, &ti, {storico, voci[v][0], voci[v][1]});
            }
        }
    }
    if (m_opzioni.sole && m_caso.evento(0.6)) {
        const QDate giorno = giornoCasuale(p);
        const Timbro t = timbro(giorno);
        m_consenso->aggiungi(p.id, &t, {vf(m_caso.evento(0.9)), testoData(giorno), vf(m_caso.evento(0.05))});
    }
}

void Generatore::cartella(Paziente &p)
{
    p.altezza = p.sesso == u'F' ? m_caso.intero(150, 176) : m_caso.intero(162, 192);
    p.bmi = m_caso.reale(19, 33);
    p.fumatore = p.eta >= 16 && m_caso.evento(0.22);
    p.exFumatore = !p.fumatore && p.eta >= 30 && m_caso.evento(0.15);
    p.lavoratore = p.eta >= 18 && p.eta <= 65 && m_caso.evento(0.65);
    problemiECronici(p);
    visite(p);
    esami(p);
    monitoraggio(p);
    vaccinazioni(p);
    anamnesi(p);
    certificati(p);
    altro(p);
}

bool Generatore::esegui(QString *errore, RiepilogoGeneratore *riepilogo)
{
    // A cache that holds the whole archive being written: the small default spills dirty pages
    // to the file again and again while the indexes grow.
    if (!eseguiSql(u"PRAGMA cache_size=-262144"_s, errore) || !eseguiSql(u"PRAGMA temp_store=MEMORY"_s, errore)) {
        return false;
    }
    for (const auto &tabella : m_tabelle) {
        if (!tabella->prepara()) {
            return !fallito(errore);
        }
    }
    if (!m_db.transaction()) {
        if (errore) {
            *errore = u"Inizio transazione: %1"_s.arg(m_db.lastError().text());
        }
        return false;
    }
    // Indexes are built once at the end: cheaper than keeping them up to date row by row.
    QList<std::pair<QString, QString>> indici; // table, statement
    {
        QSqlQuery elenco(m_db);
        if (!elenco.exec(u"SELECT name, tbl_name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"_s)) {
            if (errore) {
                *errore = u"Elenco indici: %1"_s.arg(elenco.lastError().text());
            }
            m_db.rollback();
            return false;
        }
        QStringList nomi;
        while (elenco.next()) {
            nomi.append(elenco.value(0).toString());
            indici.append({elenco.value(1).toString(), elenco.value(2).toString()});
        }
        for (const QString &nome : std::as_const(nomi)) {
            if (!eseguiSql(u"DROP INDEX \"%1\""_s.arg(nome), errore)) {
                m_db.rollback();
                return false;
            }
        }
    }
    cataloghi();
    bool riuscito = !fallito(errore) && configurazione(errore) && !fallito(errore);
    if (riuscito) {
        const std::vector<Ruolo> assegnati = ruoli();
        for (int i = 0; i < m_opzioni.pazienti && riuscito; ++i) {
            paziente(i + 1, assegnati[static_cast<std::size_t>(i)]);
            riuscito = !fallito(errore);
        }
    }
    if (riuscito) {
        const QSet<QString> tabelle = [&] {
            QSet<QString> nomi;
            QSqlQuery elenco(m_db);
            elenco.exec(u"SELECT name FROM sqlite_master WHERE type = 'table'"_s);
            while (elenco.next()) {
                nomi.insert(elenco.value(0).toString());
            }
            return nomi;
        }();
        for (const auto &[tabella, istruzione] : std::as_const(indici)) {
            // The network tables may have been dropped on request.
            if (tabelle.contains(tabella) && !eseguiSql(istruzione, errore)) {
                riuscito = false;
                break;
            }
        }
    }
    if (!riuscito) {
        m_db.rollback();
        return false;
    }
    if (!m_db.commit()) {
        if (errore) {
            *errore = u"Conferma transazione: %1"_s.arg(m_db.lastError().text());
        }
        return false;
    }
    if (riepilogo) {
        *riepilogo = {};
        riepilogo->pazienti = m_opzioni.pazienti;
        for (const auto &tabella : m_tabelle) {
            riepilogo->righePerTabella.insert(tabella->nome(), tabella->righe());
            riepilogo->righe += tabella->righe();
        }
    }
    return true;
}

} // namespace

QString VerificaOpzioni(const OpzioniGeneratore &opzioni)
{
    if (opzioni.pazienti < 0 || opzioni.pazienti > 1'000'000) {
        return u"Numero di pazienti non valido: %1"_s.arg(opzioni.pazienti);
    }
    const std::pair<const char16_t *, double> quote[] = {
        {u"quotaRevocati", opzioni.quotaRevocati},     {u"quotaDecessi", opzioni.quotaDecessi},
        {u"quotaRiattivati", opzioni.quotaRiattivati}, {u"quotaProprio", opzioni.quotaProprio},
        {u"quotaDaCollega", opzioni.quotaDaCollega},   {u"quotaDaVerificare", opzioni.quotaDaVerificare},
        {u"quotaAllineati", opzioni.quotaAllineati},
    };
    for (const auto &[nome, valore] : quote) {
        if (!(valore >= 0.0 && valore <= 1.0)) {
            return u"%1 deve essere tra 0 e 1: %2"_s.arg(QStringView(nome)).arg(valore);
        }
    }
    if (opzioni.quotaProprio + opzioni.quotaDaCollega > 1.0) {
        return u"quotaProprio e quotaDaCollega insieme superano il totale dei pazienti"_s;
    }
    if (!(opzioni.righe >= 0.0 && opzioni.righe <= 20.0)) {
        return u"righe deve essere tra 0 e 20: %1"_s.arg(opzioni.righe);
    }
    if (opzioni.oggi.isValid() && opzioni.oggi.year() < 1950) {
        return u"Data di riferimento non valida: %1"_s.arg(opzioni.oggi.toString(Qt::ISODate));
    }
    return {};
}

bool RiempiArchivioDemo(QSqlDatabase &db, const OpzioniGeneratore &opzioni, QString *errore,
                        RiepilogoGeneratore *riepilogo)
{
    const QString motivo = VerificaOpzioni(opzioni);
    if (!motivo.isEmpty()) {
        if (errore) {
            *errore = motivo;
        }
        return false;
    }
    Generatore generatore(db, opzioni);
    return generatore.esegui(errore, riepilogo);
}

bool GeneraArchivio(const QString &percorso, const OpzioniGeneratore &opzioni, QString *errore,
                    RiepilogoGeneratore *riepilogo)
{
    const QString motivo = VerificaOpzioni(opzioni);
    if (!motivo.isEmpty()) {
        if (errore) {
            *errore = motivo;
        }
        return false;
    }
    return CreaArchivio(
        percorso,
        [&](QSqlDatabase &db, QString *motivoRiempimento) {
            return RiempiArchivioDemo(db, opzioni, motivoRiempimento, riepilogo);
        },
        errore);
}

} // namespace lanvera::host
