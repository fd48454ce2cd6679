#include "modClinora.h"

#include "ContrattoClinora.h"
#include "Database.h"
#include "Recordset.h"
#include "modArchivio.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

Q_LOGGING_CATEGORY(lcClinora, "lanvera.ulmet.clinora")

using namespace Qt::StringLiterals;
using lanvera::dao::ComeTesto;
using lanvera::dao::Errore;
using lanvera::dao::Recordset;

namespace modClinora {

namespace {

const QString CRLF = u"\r\n"_s;

QString Testo(const QString &testo, qsizetype massimo = -1)
{
    const QString t = testo.trimmed();
    return massimo < 0 ? t : t.left(massimo);
}

QVariant DataONulla(const QDate &data)
{
    return data.isValid() ? QVariant(data) : QVariant();
}

QVariant NumeroONullo(qint32 numero)
{
    return numero != 0 ? QVariant(numero) : QVariant();
}

bool Fallisci(ContestoClinora &c, const QString &routine, const Errore &errore)
{
    c.MessaggioErrore = routine + u": Errore "_s + errore.testo();
    ++c.Errori;
    qCWarning(lcClinora) << c.MessaggioErrore;
    return false;
}

// A LIKE pattern that matches `prefisso` literally, followed by anything.
QString InizioLike(const QString &prefisso)
{
    QString p = prefisso;
    p.replace(u'\\', u"\\\\"_s).replace(u'%', u"\\%"_s).replace(u'_', u"\\_"_s);
    return p + u'%';
}

// The rows of a catalogue query on the host's archive, values bound. A statement that fails counts
// as a failure of the routine and finds nothing: the record is still written, without the link.
QList<QSqlRecord> Catalogo(ContestoClinora &c, const QString &sql, const QVariantList &valori = {})
{
    QList<QSqlRecord> righe;
    QSqlQuery q(c.clsDB.DB());
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    for (const QVariant &v : valori) {
        q.addBindValue(lanvera::dao::ValoreArchivio(v));
    }
    ok = ok && q.exec();
    while (ok && q.next()) {
        righe << q.record();
    }
    if (!ok || q.lastError().isValid()) {
        Fallisci(c, u"Catalogo"_s, {q.lastError().nativeErrorCode().toInt(), q.lastError().text() + u": "_s + sql});
    }
    return righe;
}

QVariant PrimoValore(ContestoClinora &c, const QString &sql, const QVariantList &valori = {})
{
    const QList<QSqlRecord> righe = Catalogo(c, sql, valori);
    return righe.isEmpty() ? QVariant() : righe.first().value(0);
}

qint32 PrimoID(ContestoClinora &c, const QString &sql, const QVariantList &valori = {})
{
    return PrimoValore(c, sql, valori).toInt();
}

// One row of the chart database being written: a new one, or the first one that meets a condition.
// Failed calls are remembered and reported once, when the row is stored.
class Riga
{
public:
    Riga(ContestoClinora &c, const QString &routine) : m_c(c), m_routine(routine), m_rs(c.db) {}

    bool nuova(const QString &tabella)
    {
        return ok(m_rs.apri(u"SELECT * FROM "_s + lanvera::dao::Parentesi(tabella) + u" WHERE 0=1"_s,
                            Recordset::Tipo::Dynaset)) &&
               ok(m_rs.aggiungiNuovo());
    }

    // Edits the first row that meets `condizione`, or starts a new one when none does.
    bool cerca(const QString &tabella, const QString &condizione, const QVariantList &valori)
    {
        if (!ok(m_rs.apri(u"SELECT * FROM "_s + lanvera::dao::Parentesi(tabella) + u" WHERE "_s + condizione +
                              u" ORDER BY ID"_s,
                          Recordset::Tipo::Dynaset, valori))) {
            return false;
        }
        m_trovata = !m_rs.eof();
        return ok(m_trovata ? m_rs.modifica() : m_rs.aggiungiNuovo());
    }

    bool trovata() const { return m_trovata; }
    QVariant valore(const QString &campo) const { return m_rs.valore(campo); }
    QString testo(const QString &campo) const { return m_rs.testo(campo); }

    Riga &imposta(const QString &campo, const QVariant &valore)
    {
        if (!m_fallita) {
            ok(m_rs.imposta(campo, valore));
        }
        return *this;
    }

    // Stores the row (stamped unless told otherwise); its ID, 0 on failure.
    qint32 registra(bool timbra = true)
    {
        if (m_fallita) {
            return 0;
        }
        if (timbra) {
            TimbraRiga(m_rs, m_c.Adesso());
        }
        return ok(m_rs.aggiorna()) ? m_rs.valore(u"ID"_s).toInt() : 0;
    }

private:
    bool ok(bool riuscito)
    {
        if (!riuscito && !m_fallita) {
            m_fallita = true;
            Fallisci(m_c, m_routine, m_rs.ultimoErrore());
        }
        return riuscito;
    }

    ContestoClinora &m_c;
    QString m_routine;
    Recordset m_rs;
    bool m_fallita = false;
    bool m_trovata = false;
};

// The first ID of a query on the chart database, 0 when none (or on failure, reported).
qint32 IDArchivio(ContestoClinora &c, const QString &routine, const QString &sql, const QVariantList &valori)
{
    Recordset rs(c.db);
    if (!rs.apri(sql, Recordset::Tipo::SoloAvanti, valori)) {
        Fallisci(c, routine, rs.ultimoErrore());
        return 0;
    }
    return rs.eof() ? 0 : rs.valore(u"ID"_s).toInt();
}

QString Minuscolo(const QString &testo)
{
    return testo.trimmed().toLower();
}

// The report date: the one given when it is a date not before the prescription, else the prescription's.
QDate DataReferto(const QDate &data, const QDate &referto)
{
    return referto.isValid() && data.isValid() && referto >= data ? referto : data;
}

// A text in lines without regard to letter case or line-break style.
QString Normalizzato(const QString &testo)
{
    QString t = testo.toLower();
    t.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return t;
}

// The diary text after adding `nuovo` to `attuale`: on a line of its own, unless those lines are
// already there (a repeated import must not repeat the text).
QString UnisciTesto(const QString &attuale, const QString &nuovo)
{
    if (attuale.trimmed().isEmpty()) {
        return nuovo;
    }
    QStringList righe = Normalizzato(attuale).split(u'\n');
    for (QString &r : righe) {
        r = r.trimmed();
    }
    QStringList nuove = Normalizzato(nuovo).split(u'\n');
    for (QString &r : nuove) {
        r = r.trimmed();
    }
    for (qsizetype i = 0; i + nuove.size() <= righe.size(); ++i) {
        if (righe.mid(i, nuove.size()) == nuove) {
            return attuale;
        }
    }
    const bool aCapo = attuale.endsWith(u'\n') || attuale.endsWith(u'\r');
    return attuale + (aCapo ? QString() : CRLF) + nuovo;
}

QString NumeroTesto(double numero)
{
    return QString::number(numero, 'g', 12);
}

// "S" when a numeric value lies outside the sub-exam's range, "N" inside, "?" when it cannot be told.
QString Alterato(const QString &valore, const QSqlRecord &sottoesame)
{
    bool numerico = false;
    const double v = QString(valore).replace(u',', u'.').toDouble(&numerico);
    const QVariant minimo = sottoesame.value(u"ValoreMinimo"_s);
    const QVariant massimo = sottoesame.value(u"ValoreMassimo"_s);
    if (!numerico || (minimo.isNull() && massimo.isNull())) {
        return u"?"_s;
    }
    const bool fuori = (!minimo.isNull() && v < minimo.toDouble()) || (!massimo.isNull() && v > massimo.toDouble());
    return fuori ? u"S"_s : u"N"_s;
}

} // namespace

void TimbraRiga(Recordset &rs, const QDateTime &adesso)
{
    if (rs.haCampo(u"ToSend"_s)) {
        rs.imposta(u"ToSend"_s, -1);
    }
    if (rs.haCampo(u"ToRepl"_s)) {
        rs.imposta(u"ToRepl"_s, -1);
    }
    if (rs.haCampo(u"LastUpdate"_s)) {
        rs.imposta(u"LastUpdate"_s, adesso);
    }
    if (rs.haCampo(u"LastInsert"_s) && ComeTesto(rs.valore(u"LastInsert"_s)).isEmpty()) {
        rs.imposta(u"LastInsert"_s, adesso);
    }
    if (rs.haCampo(u"GUID"_s) && ComeTesto(rs.valore(u"GUID"_s)).trimmed().isEmpty()) {
        rs.imposta(u"GUID"_s, lanvera::CreaGUID());
    }
}

bool ScriviRapporto(ContestoClinora &c, qint32 idPaziente, const QDate &inizio, const QDate &fine,
                    const QString &motivo)
{
    if (!inizio.isValid() && !fine.isValid()) {
        return false;
    }
    Riga riga(c, u"Scrivi Rapporto"_s);
    riga.nuova(u"tblRapporti"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"DataInizio"_s, DataONulla(inizio));
    riga.imposta(u"DataFine"_s, DataONulla(fine)).imposta(u"Motivo"_s, fine.isValid() ? Testo(motivo, 100) : QString());
    return riga.registra() != 0;
}

qint32 IDEsenzioneDaCodice(ContestoClinora &c, const QString &codiceDato, const QString &sottocodiceDato)
{
    QString codice = Testo(codiceDato);
    QString sotto = Testo(sottocodiceDato);
    if (codice.isEmpty()) {
        return 0;
    }
    if (sotto.isEmpty()) {
        for (const QChar separatore : {u'.', u'/', u'-'}) {
            const qsizetype p = codice.indexOf(separatore);
            if (p >= 0) {
                sotto = codice.mid(p + 1);
                codice = codice.left(p);
                break;
            }
        }
    }
    sotto.replace(u'/', u'.').replace(u'-', u'.');

    // The conditions in the order they are tried, with their one bound value.
    QList<std::pair<QString, QVariant>> condizioni;
    const auto aggiungi = [&condizioni](const QString &condizione, const QVariant &valore) {
        condizioni.append({condizione, valore});
    };
    const QString uguale = u"(CodEsenzione = ? COLLATE NOCASE)"_s;
    const QString inizia = u"(CodEsenzione LIKE ? ESCAPE '\\')"_s;
    const QString punto = u"."_s;
    if (!sotto.isEmpty()) {
        const QString tre = sotto.left(3);
        aggiungi(uguale, QString(codice + punto + sotto));
        if (sotto.size() > 3 && !sotto.contains(u'.')) {
            aggiungi(uguale, QString(codice + punto + tre + punto + sotto.mid(3)));
        }
        if (sotto.size() > 3) {
            aggiungi(uguale, QString(codice + punto + tre));
        }
        aggiungi(inizia, InizioLike(codice + punto + tre + punto));
    } else if (codice == u"013"_s) {
        aggiungi(u"(IDEsenzione = ?)"_s, 367);
    } else if (codice == u"031"_s || codice == u"0031"_s) {
        aggiungi(u"(IDEsenzione = ?)"_s, 249);
    }
    aggiungi(uguale, codice);
    aggiungi(inizia, InizioLike(codice + punto));

    for (const auto &[condizione, valore] : std::as_const(condizioni)) {
        const qint32 id = PrimoID(c,
                                  u"SELECT ID FROM arcLinkEsenzioni WHERE (IDRegione = ?) AND (trim(Keyword) <> '') "
                                  "AND (Etichetta = 'OK') AND "_s +
                                      condizione + u" ORDER BY CodEsenzione"_s,
                                  {c.IDLocazione, valore});
        if (id != 0) {
            return id;
        }
    }
    return 0;
}

bool ScriviEsenzione(ContestoClinora &c, qint32 idPaziente, const QString &codice, const QString &sottocodice,
                     const QDate &scadenza)
{
    const qint32 id = IDEsenzioneDaCodice(c, codice, sottocodice);
    if (scadenza.isValid() && scadenza <= c.Oggi()) {
        return false;
    }
    if (id == 0) {
        return false;
    }
    const QList<QSqlRecord> righe = Catalogo(c, u"SELECT * FROM arcLinkEsenzioni WHERE ID = ?"_s, {id});
    if (righe.isEmpty()) {
        return false;
    }
    const QSqlRecord &e = righe.first();
    const auto lettera = [&e](const char *colonna, char16_t l) {
        return ComeTesto(e.value(QLatin1String(colonna))).toLower().contains(QChar(l));
    };
    Riga riga(c, u"Scrivi Esenzione"_s);
    riga.nuova(u"tblEsenzioni"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"IDEsenzione"_s, id);
    riga.imposta(u"CodiceEsenzione"_s, ComeTesto(e.value(u"CodEsenzione"_s)).left(20));
    riga.imposta(u"EsaCodice"_s, e.value(u"CodArtEsa"_s)).imposta(u"FarCodice"_s, e.value(u"CodArtFar"_s));
    riga.imposta(u"Scadenza"_s, DataONulla(scadenza));
    riga.imposta(u"EsaN"_s, lettera("LetteraEsami_N", u'n')).imposta(u"EsaR"_s, lettera("LetteraEsami_N", u'r'));
    riga.imposta(u"EsaAAsl"_s, lettera("LetteraEsami", u'a')).imposta(u"EsaRAsl"_s, lettera("LetteraEsami", u'r'));
    riga.imposta(u"FarN"_s, lettera("Lettera_N", u'n')).imposta(u"FarR"_s, lettera("Lettera_N", u'r'));
    riga.imposta(u"FarAasl"_s, lettera("Lettera", u'a')).imposta(u"FarRasl"_s, lettera("Lettera", u'r'));
    return riga.registra() != 0;
}

bool ScriviAllergia(ContestoClinora &c, qint32 idPaziente, const QString &tipo, const QString &codiceATC,
                    const QString &codiceAIC, const QString &noteDate, const QString &molecolaData)
{
    const QString atc = Testo(codiceATC);
    const QString aic = Testo(codiceAIC);
    const QString molecola = Testo(molecolaData);
    QString note = Testo(noteDate);
    const qint32 idFarmaco =
        aic.isEmpty() ? 0 : PrimoID(c, u"SELECT ID FROM Farmaci WHERE AIC = ? COLLATE NOCASE ORDER BY ID"_s, {aic});
    const qint32 idPrincipio =
        molecola.isEmpty()
            ? 0
            : PrimoID(c, u"SELECT ID FROM Principi WHERE Principio = ? COLLATE NOCASE ORDER BY ID"_s, {molecola});
    if (atc.isEmpty() && idFarmaco == 0 && note.isEmpty()) {
        return false;
    }
    if (idPrincipio == 0 && !molecola.isEmpty()) {
        note = note.isEmpty() ? molecola : note + CRLF + molecola;
    }
    Riga riga(c, u"Scrivi Allergia"_s);
    riga.nuova(u"tblAllergie"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"IDFarmaco"_s, NumeroONullo(idFarmaco));
    riga.imposta(u"ATCFarmaco"_s, atc).imposta(u"IDPrincipio"_s, NumeroONullo(idPrincipio));
    riga.imposta(u"Nota"_s, note).imposta(u"Intolleranza"_s, Testo(tipo) == u"I"_s);
    return riga.registra() != 0;
}

bool ScriviProblema(ContestoClinora &c, qint32 idPaziente, const QDate &inizio, const QDate &fine,
                    const QString &codiceICD9, const QString &descrizioneData)
{
    const QString codice = Testo(codiceICD9);
    QString descrizione = Testo(descrizioneData);
    if (descrizione.isEmpty() && !codice.isEmpty()) {
        descrizione =
            ComeTesto(PrimoValore(c, u"SELECT Descrizione FROM ICD9CM WHERE Codice = ? COLLATE NOCASE ORDER BY ID"_s,
                                  {codice}))
                .trimmed();
    }
    if (codice.isEmpty() && descrizione.isEmpty()) {
        return false;
    }
    Riga riga(c, u"Scrivi Problema"_s);
    riga.nuova(u"tblProblemi"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"DataApertura"_s, DataONulla(inizio));
    riga.imposta(u"DataChiusura"_s, inizio.isValid() && fine.isValid() && fine >= inizio ? QVariant(fine) : QVariant());
    riga.imposta(u"CodiceICD9"_s, codice).imposta(u"Etichetta"_s, descrizione.left(100)).imposta(u"Stato"_s, 0);
    return riga.registra() != 0;
}

qint32 ScriviDiario(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QString &testoDato, int tipo,
                    bool ricetta, const QString &codiceICD9, const QString &url, bool gruppo)
{
    const QString routine = u"Scrivi Diario"_s;
    const QString testo = Testo(testoDato);
    const QString codice = Testo(codiceICD9);
    const QString link = Testo(url, 255);
    if (!data.isValid() || testo.isEmpty()) {
        return 0;
    }
    // The type is settled before the same-day entry is looked for, so that a repeated import of a
    // classified text finds the entry it made the first time.
    const int tipoDiario = tipo == TipoDiario::Altro ? ClassificaPrestazione(testo) : tipo;
    const qint32 idProblema =
        codice.isEmpty() ? 0
                         : IDArchivio(c, routine,
                                      u"SELECT ID FROM tblProblemi WHERE (IDPaziente = ?) AND (CodiceICD9 = ?) "
                                      "ORDER BY ID"_s,
                                      {idPaziente, codice});

    Riga riga(c, routine);
    if (ricetta) {
        riga.nuova(u"tblDiario"_s);
    } else {
        riga.cerca(u"tblDiario"_s, u"(IDPaziente = ?) AND (Data = ?) AND (IDPrestazione = ?)"_s,
                   {idPaziente, data, tipoDiario});
    }
    riga.imposta(u"Diario"_s, riga.trovata() ? UnisciTesto(riga.testo(u"Diario"_s), testo) : testo);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"Data"_s, data).imposta(u"Ricetta"_s, ricetta);
    riga.imposta(u"IDPrestazione"_s, tipoDiario);
    // An entry joined by a later one keeps its link and code when the later one brings none.
    if (!riga.trovata() || !link.isEmpty()) {
        riga.imposta(u"URL"_s, link);
    }
    if (!riga.trovata() || idProblema != 0) {
        riga.imposta(u"CodiceICD9"_s, idProblema != 0 ? codice : QString());
    }
    if (gruppo && riga.testo(u"GUIDGruppo"_s).trimmed().isEmpty()) {
        riga.imposta(u"GUIDGruppo"_s, lanvera::CreaGUID());
    }
    const qint32 idDiario = riga.registra();
    if (idDiario == 0 || idProblema == 0) {
        return idDiario;
    }

    Riga legame(c, routine);
    legame.cerca(u"tblProblemiDiario"_s, u"(IDDiario = ?) AND (IDProblema = ?)"_s, {idDiario, idProblema});
    if (!legame.trovata()) {
        legame.imposta(u"IDPaziente"_s, idPaziente).imposta(u"IDProblema"_s, idProblema);
        legame.imposta(u"IDDiario"_s, idDiario);
        legame.registra();
    }
    return idDiario;
}

qint32 ScriviCertificato(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QString &codiceICD9,
                         const QString &titoloDato, const QString &testoDato)
{
    const QString titolo = Testo(titoloDato);
    const QString testo = Testo(testoDato);
    const qint32 idDiario = ScriviDiario(c, idPaziente, data, titolo.isEmpty() ? testo : titolo,
                                         TipoDiario::Certificato, false, codiceICD9);
    if (idDiario == 0) {
        return 0;
    }
    Riga riga(c, u"Scrivi Certificato"_s);
    riga.nuova(u"tblMemoCertificati"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"IDDiario"_s, idDiario);
    riga.imposta(u"Certificato"_s, titolo.left(100)).imposta(u"Testo"_s, testo);
    riga.registra();
    return idDiario;
}

std::pair<QString, QString> DividiPosologia(const QString &posologia)
{
    static const QRegularExpression quantita(u"^(\\d+(?:[.,/]\\d+)?)\\s*(.*)$"_s,
                                             QRegularExpression::DotMatchesEverythingOption);
    const QString p = posologia.trimmed();
    const QRegularExpressionMatch m = quantita.match(p);
    if (!m.hasMatch()) {
        return {QString(), p};
    }
    return {m.captured(1), m.captured(2).trimmed()};
}

qint32 ScriviPrescrizione(ContestoClinora &c, qint32 idPaziente, const Prescrizione &p)
{
    QString descrizione = Testo(p.descrizione);
    if (!p.data.isValid() || (descrizione.isEmpty() && p.idFarmaco == 0 && p.idEsame == 0 && p.idVisita == 0)) {
        return 0;
    }
    QString classe = Testo(p.classe);
    QString nota = Testo(p.nota);
    QVariant prezzo;
    QVariant importo;
    if (p.idFarmaco != 0) {
        const QList<QSqlRecord> farmaco = Catalogo(c, u"SELECT * FROM Farmaci WHERE ID = ?"_s, {p.idFarmaco});
        if (!farmaco.isEmpty()) {
            const QSqlRecord &f = farmaco.first();
            descrizione = descrizione.isEmpty() ? ComeTesto(f.value(u"Farmaco"_s)).trimmed() : descrizione;
            classe = classe.isEmpty() ? ComeTesto(f.value(u"Classe"_s)).trimmed() : classe;
            nota = nota.isEmpty() ? ComeTesto(f.value(u"Nota"_s)).trimmed() : nota;
            prezzo = f.value(u"Prezzo"_s);
        }
    }
    // The exam's or the visit's fee is what the prescription costs.
    const auto daCatalogo = [&](const QString &sql, qint32 id) {
        const QList<QSqlRecord> righe = Catalogo(c, sql, {id});
        if (!righe.isEmpty()) {
            if (descrizione.isEmpty()) {
                descrizione = ComeTesto(righe.first().value(0)).trimmed();
            }
            importo = righe.first().value(1);
        }
    };
    if (p.idEsame != 0) {
        daCatalogo(u"SELECT Esame, Tariffa FROM arcEsami WHERE ID = ?"_s, p.idEsame);
    } else if (p.idVisita != 0) {
        daCatalogo(u"SELECT Visita, Tariffa FROM arcVisite WHERE ID = ?"_s, p.idVisita);
    }
    const auto [posQuantita, posDescrizione] = DividiPosologia(p.posologia);

    Riga riga(c, u"Scrivi Prescrizione"_s);
    riga.nuova(u"tblPrescrizioni"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"Data"_s, p.data);
    riga.imposta(u"IDFarmaco"_s, NumeroONullo(p.idFarmaco)).imposta(u"IDEsame"_s, NumeroONullo(p.idEsame));
    riga.imposta(u"IDVisita"_s, NumeroONullo(p.idVisita)).imposta(u"IDDiagnosi"_s, QVariant());
    riga.imposta(u"IDDiario"_s, NumeroONullo(p.idDiario)).imposta(u"Descrizione"_s, descrizione.left(255));
    riga.imposta(u"Quantità"_s, p.quantita != 0 ? QVariant(qRound(p.quantita)) : QVariant());
    riga.imposta(u"Classe"_s, classe.left(5)).imposta(u"Nota"_s, nota.left(20)).imposta(u"NotaCUF"_s, nota.left(20));
    riga.imposta(u"PosQuantità"_s, posQuantita.left(10)).imposta(u"PosDescrizione"_s, posDescrizione.left(30));
    riga.imposta(u"Prezzo"_s, prezzo).imposta(u"Importo"_s, importo);
    return riga.registra();
}

qint32 ScriviFarmaco(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QString &aicDato,
                     const QString &codiceICD9, double quantita, const QString &classeData, const QString &notaData,
                     const QString &posologiaData, const QString &descrizione)
{
    const QString aic = Testo(aicDato);
    const QString classe = Testo(classeData);
    const QString nota = Testo(notaData);
    const QString posologia = Testo(posologiaData);
    qint32 idFarmaco = 0;
    QString nome;
    if (!aic.isEmpty()) {
        const QList<QSqlRecord> farmaco =
            Catalogo(c, u"SELECT ID, Farmaco FROM Farmaci WHERE AIC = ? COLLATE NOCASE ORDER BY ID"_s, {aic});
        if (!farmaco.isEmpty()) {
            idFarmaco = farmaco.first().value(0).toInt();
            nome = ComeTesto(farmaco.first().value(1)).trimmed();
        }
    }
    // A drug missing from the catalogue keeps the name the chart gives it, or at least its code.
    if (nome.isEmpty()) {
        nome = !Testo(descrizione).isEmpty() ? Testo(descrizione) : aic.isEmpty() ? QString() : u"AIC "_s + aic;
    }
    QString testo = quantita != 0 ? NumeroTesto(quantita) + u' ' + nome : nome;
    if (!nota.isEmpty()) {
        testo += u"; Nota "_s + nota;
        if (!classe.isEmpty()) {
            testo += u"; Classe "_s + classe;
        }
    }
    if (!posologia.isEmpty()) {
        testo += u"; Pos: "_s + posologia;
    }
    const qint32 idDiario = ScriviDiario(c, idPaziente, data, testo, TipoDiario::Farmaco, true, codiceICD9);
    if (idDiario != 0 && idFarmaco != 0) {
        Prescrizione p;
        p.data = data;
        p.idDiario = idDiario;
        p.idFarmaco = idFarmaco;
        p.quantita = quantita;
        p.classe = classe;
        p.nota = nota;
        p.posologia = posologia;
        ScriviPrescrizione(c, idPaziente, p);
    }
    return idDiario;
}

bool ScriviTerapia(ContestoClinora &c, qint32 idPaziente, const QString &aicDato, double quantita,
                   const QString &classeData, const QString &notaData, const QString &posologia,
                   const QString &codiceEsenzioneDato, const QString &diagnosi)
{
    const QString aic = Testo(aicDato);
    if (aic.isEmpty()) {
        return false;
    }
    const QList<QSqlRecord> farmaco =
        Catalogo(c, u"SELECT * FROM Farmaci WHERE AIC = ? COLLATE NOCASE ORDER BY ID"_s, {aic});
    // An ongoing therapy names its drug: without a known one there is nothing to list.
    if (farmaco.isEmpty()) {
        return false;
    }
    const QSqlRecord &f = farmaco.first();
    const QString classe = Testo(classeData).isEmpty() ? ComeTesto(f.value(u"Classe"_s)).trimmed() : Testo(classeData);
    const QString nota = Testo(notaData).isEmpty() ? ComeTesto(f.value(u"Nota"_s)).trimmed() : Testo(notaData);
    const QString codiceEsenzione = Testo(codiceEsenzioneDato);
    const qint32 idEsenzione = codiceEsenzione.isEmpty() ? 0 : IDEsenzioneDaCodice(c, codiceEsenzione, QString());
    const auto [qtPos, testoPosologia] = DividiPosologia(posologia);

    Riga riga(c, u"Scrivi Terapia"_s);
    riga.nuova(u"tblStatoFarmaci"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"IDFarmaco"_s, f.value(u"ID"_s));
    riga.imposta(u"Qt"_s, quantita != 0 ? QVariant(qRound(quantita)) : QVariant());
    riga.imposta(u"Classe"_s, classe.left(20)).imposta(u"Nota"_s, nota.left(20));
    riga.imposta(u"QtPos"_s, qtPos.left(10)).imposta(u"Posologia"_s, testoPosologia.left(100));
    riga.imposta(u"IDEsenzione"_s, NumeroONullo(idEsenzione)).imposta(u"CodiceEsenzione"_s, codiceEsenzione.left(20));
    if (idEsenzione != 0) {
        Recordset esenzione(c.db);
        if (esenzione.apri(u"SELECT * FROM tblEsenzioni WHERE (IDPaziente = ?) AND (IDEsenzione = ?) ORDER BY ID"_s,
                           Recordset::Tipo::SoloAvanti, {idPaziente, idEsenzione}) &&
            !esenzione.eof()) {
            for (const QString &flag : {u"FarR"_s, u"FarN"_s, u"FarRasl"_s, u"FarAasl"_s}) {
                riga.imposta(flag, lanvera::dao::ComeBool(esenzione.valore(flag)));
            }
        }
    }
    riga.imposta(u"Diagnosi"_s, Testo(diagnosi, 255));
    return riga.registra() != 0;
}

namespace {

// The prescription of an exam or a visit behind its diary entry.
qint32 PrescrizioneDelDiario(ContestoClinora &c, qint32 idPaziente, const QDate &data, qint32 idDiario,
                             const QString &descrizione, qint32 idEsame, qint32 idVisita)
{
    Prescrizione p;
    p.data = data;
    p.idDiario = idDiario;
    p.descrizione = descrizione;
    p.idEsame = idEsame;
    p.idVisita = idVisita;
    return ScriviPrescrizione(c, idPaziente, p);
}

} // namespace

qint32 ScriviVisita(ContestoClinora &c, qint32 idPaziente, const QDate &data, const CodiciRisolti &codici,
                    const QString &descrizioneData, const QString &codiceICD9, const QDate &dataReferto,
                    const QString &risultatoDato)
{
    const QString descrizione = Testo(descrizioneData);
    const QString risultato = Testo(risultatoDato);
    qint32 idDiario = 0;
    if (data.isValid() && (!descrizione.isEmpty() || codici.visita != 0)) {
        QString nome;
        int tipo = TipoDiario::Altro;
        if (codici.visita != 0) {
            const QList<QSqlRecord> visita =
                Catalogo(c, u"SELECT Visita, IDPrestazione FROM arcVisite WHERE ID = ?"_s, {codici.visita});
            if (!visita.isEmpty()) {
                nome = ComeTesto(visita.first().value(0)).trimmed();
                tipo = visita.first().value(1).toInt() != 0 ? visita.first().value(1).toInt() : TipoDiario::Altro;
            }
        }
        idDiario =
            ScriviDiario(c, idPaziente, data, descrizione.isEmpty() ? nome : descrizione, tipo, true, codiceICD9);
        if (idDiario != 0 && codici.visita != 0) {
            PrescrizioneDelDiario(c, idPaziente, data, idDiario, descrizione, 0, codici.visita);
        }
    }
    if (!risultato.isEmpty()) {
        ScriviDiario(c, idPaziente, DataReferto(data, dataReferto), risultato, TipoDiario::Referto, false, codiceICD9);
    }
    return idDiario;
}

qint32 ScriviStrumentale(ContestoClinora &c, qint32 idPaziente, const QDate &data, const CodiciRisolti &codici,
                         const QString &descrizioneData, const QString &codiceICD9, const QDate &dataReferto,
                         const QString &risultatoDato)
{
    const QString descrizione = Testo(descrizioneData);
    const QString risultato = Testo(risultatoDato);
    const QString nome =
        codici.esame != 0
            ? ComeTesto(PrimoValore(c, u"SELECT Esame FROM arcEsami WHERE ID = ?"_s, {codici.esame})).trimmed()
            : QString();
    const qint32 idDiario = ScriviDiario(c, idPaziente, data, descrizione.isEmpty() ? nome : descrizione,
                                         TipoDiario::Strumentale, codici.esame != 0, codiceICD9);
    if (idDiario != 0 && codici.esame != 0) {
        PrescrizioneDelDiario(c, idPaziente, data, idDiario, descrizione, codici.esame, 0);
    }
    if (!risultato.isEmpty()) {
        ScriviDiario(c, idPaziente, DataReferto(data, dataReferto), risultato, TipoDiario::Referto, false, codiceICD9);
    }
    return idDiario;
}

qint32 ScriviLaboratorio(ContestoClinora &c, qint32 idPaziente, const QDate &data, const CodiciRisolti &codici,
                         const QString &descrizioneData, const QString &codiceICD9, const QDate &dataReferto,
                         const QString &risultatoDato)
{
    const QString descrizione = Testo(descrizioneData);
    const QString risultato = Testo(risultatoDato);
    qint32 esame = codici.esame;
    qint32 sottoesame = codici.sottoesame;
    if (esame == 0 && sottoesame != 0) {
        esame = PrimoValore(c, u"SELECT IDEsame FROM arcLinkEsamiSottoesami WHERE IDSottoesame = ? ORDER BY ID"_s,
                            {sottoesame})
                    .toInt();
    }
    const QString nome =
        esame != 0 ? ComeTesto(PrimoValore(c, u"SELECT Esame FROM arcEsami WHERE ID = ?"_s, {esame})).trimmed()
                   : QString();
    const qint32 idDiario = ScriviDiario(c, idPaziente, data, nome.isEmpty() ? descrizione : nome,
                                         TipoDiario::Laboratorio, true, codiceICD9);
    if (idDiario != 0) {
        PrescrizioneDelDiario(c, idPaziente, data, idDiario, descrizione, esame, 0);
    }
    if (risultato.isEmpty()) {
        return idDiario;
    }

    if (sottoesame == 0 && esame != 0) {
        sottoesame = PrimoValore(c,
                                 u"SELECT IDSottoesame FROM arcLinkEsamiSottoesami WHERE IDEsame = ? "
                                 "AND IDSottoesame IS NOT NULL ORDER BY Ordine"_s,
                                 {esame})
                         .toInt();
    }
    const QList<QSqlRecord> sotto = sottoesame != 0
                                        ? Catalogo(c, u"SELECT * FROM arcSottoesami WHERE ID = ?"_s, {sottoesame})
                                        : QList<QSqlRecord>();
    const QSqlRecord datiSotto = sotto.value(0);
    // A result alone says little in the diary: it goes under the name of what was measured.
    QString etichetta = ComeTesto(datiSotto.value(u"Sottoesame"_s)).trimmed();
    etichetta = !etichetta.isEmpty() ? etichetta : !nome.isEmpty() ? nome : descrizione;
    const QDate giorno = DataReferto(data, dataReferto);
    const qint32 idRisultato =
        ScriviDiario(c, idPaziente, giorno, etichetta.isEmpty() ? risultato : etichetta + u": "_s + risultato,
                     TipoDiario::RisultatoLaboratorio, false, codiceICD9);
    if (idRisultato == 0) {
        return idDiario;
    }
    Riga riga(c, u"Scrivi Laboratorio"_s);
    riga.nuova(u"tblEsami"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"Data"_s, giorno).imposta(u"IDDiario"_s, idRisultato);
    riga.imposta(u"IDEsame"_s, NumeroONullo(esame)).imposta(u"IDSottoesame"_s, NumeroONullo(sottoesame));
    riga.imposta(u"Valore"_s, risultato.left(50)).imposta(u"Alterato"_s, Alterato(risultato, datiSotto));
    riga.imposta(u"Unita"_s, ComeTesto(datiSotto.value(u"Unita"_s)).left(20));
    riga.registra();
    return idDiario;
}

qint32 ScriviRicovero(ContestoClinora &c, qint32 idPaziente, const QString &struttura, const QString &diagnosiIngresso,
                      const QDate &dimissione, const QString &diagnosiDimissione, const QDate &ingresso)
{
    QString testo;
    const QString uscita =
        Testo(dimissione.isValid() ? dimissione.toString(u"dd/MM/yyyy"_s) + u' ' + Testo(diagnosiDimissione)
                                   : Testo(diagnosiDimissione));
    for (const QString &parte :
         {Testo(struttura), Testo(diagnosiIngresso), uscita.isEmpty() ? QString() : u"Dimissione: "_s + uscita}) {
        if (!parte.isEmpty()) {
            testo += parte + CRLF;
        }
    }
    if (testo.isEmpty()) {
        return 0;
    }
    return ScriviDiario(c, idPaziente, ingresso, testo, TipoDiario::Ricovero, false);
}

bool ScriviPressione(ContestoClinora &c, qint32 idPaziente, const QDate &data, double minima, double massima,
                     double frequenza, bool aritmico, const QString &note)
{
    if (!data.isValid() || (minima == 0 && massima == 0 && frequenza == 0)) {
        return false;
    }
    Riga riga(c, u"Scrivi Pressione"_s);
    riga.cerca(u"tblMonitorIpertensione"_s, u"(IDPaziente = ?) AND (Data = ?)"_s, {idPaziente, data});
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"Data"_s, data);
    const std::pair<const char16_t *, double> valori[] = {
        {u"Minima", minima}, {u"Massima", massima}, {u"Frequenza", frequenza}};
    for (const auto &[campo, valore] : valori) {
        if (valore != 0) {
            riga.imposta(QString::fromUtf16(campo), qRound(valore));
        }
    }
    riga.imposta(u"Aritmico"_s, aritmico);
    if (!riga.trovata() || !Testo(note).isEmpty()) {
        riga.imposta(u"Note"_s, Testo(note, 255));
    }
    return riga.registra() != 0;
}

bool ScriviPeso(ContestoClinora &c, qint32 idPaziente, const QDate &data, double peso, double altezza, double vita,
                const QString &note)
{
    if (!data.isValid() || (peso == 0 && altezza == 0 && vita == 0)) {
        return false;
    }
    Riga riga(c, u"Scrivi Peso"_s);
    riga.cerca(u"tblMonitorBMI"_s, u"(IDPaziente = ?) AND (Data = ?)"_s, {idPaziente, data});
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"Data"_s, data);
    if (peso != 0) {
        riga.imposta(u"Peso"_s, peso);
    }
    if (altezza != 0) {
        riga.imposta(u"Altezza"_s, altezza);
    }
    if (peso != 0 && altezza != 0 && riga.valore(u"BMI"_s).toDouble() == 0) {
        riga.imposta(u"BMI"_s, double(CalcolaBMI(peso, altezza)));
    }
    if (vita != 0) {
        riga.imposta(u"crfVita"_s, vita);
    }
    if (!riga.trovata() || !Testo(note).isEmpty()) {
        riga.imposta(u"Note"_s, Testo(note, 255));
    }
    return riga.registra() != 0;
}

bool ScriviVaccinazione(ContestoClinora &c, qint32 idPaziente, const QDate &data, const QDate &richiamo,
                        const QString &vaccino, const QString &note)
{
    if (Testo(vaccino).isEmpty() || !data.isValid()) {
        return false;
    }
    Riga riga(c, u"Scrivi Vaccinazione"_s);
    riga.nuova(u"tblVaccinazioni"_s);
    riga.imposta(u"IDPaziente"_s, idPaziente).imposta(u"Data"_s, data).imposta(u"DataRichiamo"_s, DataONulla(richiamo));
    riga.imposta(u"Vaccino"_s, Testo(vaccino, 255)).imposta(u"Note"_s, Testo(note));
    return riga.registra() != 0;
}

bool ContieneParola(const QString &testo, const QString &parole)
{
    const QStringList elenco = parole.split(u',', Qt::SkipEmptyParts);
    return std::any_of(elenco.cbegin(), elenco.cend(),
                       [&testo](const QString &p) { return testo.contains(p.trimmed(), Qt::CaseInsensitive); });
}

int ClassificaPrestazione(const QString &testo)
{
    static const std::pair<const char16_t *, int> liste[] = {
        {u"check,lance,strisce,aghi,panno,touch,sacc,sirin,placc", TipoDiario::Materiale},
        {u"eco,rm,rx,tac,rison,radiog,ecg,cardio,eeg", TipoDiario::Strumentale},
        {u"vis.,visit,contr,orl", TipoDiario::Visita},
        {u"ric.,ricover,day-h", TipoDiario::Ricovero},
    };
    for (const auto &[parole, tipo] : liste) {
        if (ContieneParola(testo, QString::fromUtf16(parole))) {
            return tipo;
        }
    }
    return TipoDiario::Altro;
}

int Vicinanza(const QString &a, const QString &b)
{
    const auto parole = [](QString t) {
        t = t.toLower();
        for (const QChar separatore : {u'*', u'-', u'/'}) {
            t.replace(separatore, u' ');
        }
        return t.simplified();
    };
    const QString x = parole(a);
    const QString y = parole(b);
    if (x.isEmpty() || y.isEmpty()) {
        return 0;
    }
    if (x == y) {
        return 10000;
    }
    if (x.contains(y) || y.contains(x)) {
        return 5000;
    }
    const QStringList px = x.split(u' ');
    const QStringList py = y.split(u' ');
    const QSet<QString> comuni = QSet<QString>(px.cbegin(), px.cend()) & QSet<QString>(py.cbegin(), py.cend());
    return int(comuni.size());
}

CodiciRisolti RisolviCodicePrestazione(ContestoClinora &c, const QList<CodicePrestazione> &codici,
                                       const QString &descrizione)
{
    // Among catalogue rows of one code, the one whose description is closest; the first on a tie.
    const auto scegli = [&descrizione](const QList<QSqlRecord> &righe) {
        qint32 scelto = 0;
        int migliore = -1;
        for (const QSqlRecord &r : righe) {
            const int v = Vicinanza(ComeTesto(r.value(u"Descrizione"_s)), descrizione);
            if (v > migliore) {
                migliore = v;
                scelto = r.value(u"ID"_s).toInt();
            }
        }
        return scelto;
    };

    for (const CodicePrestazione &cp : codici) {
        const QString codice = Testo(cp.codice);
        const QString tipo = Minuscolo(cp.tipo);
        if (codice.isEmpty() || tipo == u"sole"_s || tipo == u"siss"_s) {
            continue;
        }
        CodiciRisolti r;
        if (codice.toUpper().startsWith(u"MW_"_s)) {
            const QString mw = codice.mid(3);
            r.esame = PrimoID(c, u"SELECT ID FROM arcEsami WHERE (MW = ? COLLATE NOCASE) ORDER BY ID"_s, {mw});
            if (r.esame == 0) {
                r.sottoesame =
                    PrimoID(c, u"SELECT ID FROM arcSottoesami WHERE (MW = ? COLLATE NOCASE) ORDER BY ID"_s, {mw});
            }
        } else {
            r.esame = PrimoID(c, u"SELECT ID FROM arcEsami WHERE (Codice = ? COLLATE NOCASE) ORDER BY ID"_s, {codice});
        }
        if (r.esame != 0) {
            const QList<QSqlRecord> legami = Catalogo(
                c, u"SELECT IDSottoesame, Principale FROM arcLinkEsamiSottoesami WHERE (IDEsame = ?) ORDER BY ID"_s,
                {r.esame});
            for (const QSqlRecord &l : legami) {
                if (!l.value(0).isNull() && lanvera::dao::ComeBool(l.value(1))) {
                    r.sottoesame = l.value(0).toInt();
                    break;
                }
            }
        }
        if (r.esame == 0 && r.sottoesame == 0) {
            r.esame = scegli(Catalogo(
                c, u"SELECT ID, Esame AS Descrizione FROM arcEsami WHERE Codice = ? COLLATE NOCASE ORDER BY ID"_s,
                {codice}));
            if (r.esame == 0) {
                r.visita = scegli(Catalogo(
                    c, u"SELECT ID, Visita AS Descrizione FROM arcVisite WHERE Codice = ? COLLATE NOCASE ORDER BY ID"_s,
                    {codice}));
            }
        }
        if (r.esame != 0 || r.sottoesame != 0 || r.visita != 0) {
            return r;
        }
    }
    return {};
}

float CalcolaBMI(double peso, double altezza)
{
    if (altezza <= 0) {
        return 0;
    }
    const float metri = float(altezza) / 100.0f;
    return float(peso) / (metri * metri);
}

} // namespace modClinora
