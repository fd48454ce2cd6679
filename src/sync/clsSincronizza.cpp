#include "clsSincronizza.h"

#include "ConnessioneServer.h"
#include "PacchettoCartella.h"
#include "Recordset.h"
#include "UnioneCartella.h"
#include "modArchivio.h"
#include "modCartelle.h"
#include "modLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QVersionNumber>

Q_LOGGING_CATEGORY(lcEngine, "lanvera.sync.engine")

using lanvera::dao::ComeBool;
using lanvera::dao::ComeGiorno;
using lanvera::dao::ComeTesto;
using lanvera::dao::Recordset;

namespace {

constexpr int ErroreChiaveDoppia = 457;

// The archive's patients that take part in the network, with the latest start and end of their
// care relationship and the reason of the last one. Downloaded colleagues' patients (UIDCMedico
// filled in) are left out.
QString queryPazientiLocali(bool conSole)
{
    const QString allineato =
        conSole ? QStringLiteral("(SELECT Allineato FROM SOLE_tblAllineati WHERE IDPaziente=tblAnagrafica.ID LIMIT 1)")
                : QStringLiteral("1");
    return QStringLiteral(
               "SELECT ID,GUID,Cognome,Nome,Tessera,CodiceFiscale,Sesso,Indirizzo,[Città],CAP,Provincia,DataNascita,"
               "LuogoNascita,Telefono,USL,Medico,Proprio,"
               " (SELECT Max(DataInizio) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID) AS DataInizio,"
               " (SELECT Max(DataFine) FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID) AS DataFine,"
               " (SELECT Motivo FROM tblRapporti WHERE IDPaziente=tblAnagrafica.ID ORDER BY ID DESC LIMIT 1)"
               " AS MotivoRevoca,"
               " %1 AS Allineato,"
               " (SELECT IDUpdate FROM QUOR_tblUpdate WHERE IDPaziente=tblAnagrafica.ID LIMIT 1) AS IDUpdate"
               " FROM tblAnagrafica WHERE ((UIDCMedico='') OR (UIDCMedico IS NULL))"
               " ORDER BY Cognome COLLATE NOCASE, Nome COLLATE NOCASE, ID")
        .arg(allineato);
}

// A date of birth as "dd/mm/yyyy", from a stored date or from text already in that form.
QString dataNascita(const QVariant &valore)
{
    const QDate g = ComeGiorno(valore);
    if (!g.isValid()) {
        return ComeTesto(valore);
    }
    if (g.year() < 0 || g.year() > 9999) {
        return g.toString(QStringLiteral("dd/MM/yyyy"));
    }
    // Written digit by digit: the list formats one date for each of thousands of patients.
    QString testo(10, QLatin1Char('/'));
    const auto cifre = [&testo](qsizetype da, int valore, int quante) {
        for (qsizetype i = da + quante - 1; i >= da; --i, valore /= 10) {
            testo[i] = QChar(u'0' + valore % 10);
        }
    };
    cifre(0, g.day(), 2);
    cifre(3, g.month(), 2);
    cifre(6, g.year(), 4);
    return testo;
}

// A day as the number yyyymmdd, which orders as the "yyyymmdd" text does.
int giorno(const QDate &g)
{
    return g.year() * 10000 + g.month() * 100 + g.day();
}

} // namespace

clsSincronizza::clsSincronizza(QObject *parent)
    : QObject(parent), m_pacchetto(std::make_unique<PacchettoCartella>(m_stato)),
      m_unione(std::make_unique<UnioneCartella>(m_stato, *m_pacchetto))
{
    m_stato.log = [this](const QString &messaggio, bool errore) { ScriviLogArchivio(messaggio, errore); };
    // Pending events run between rows at most every few milliseconds: Stop stays responsive and
    // long lists are not slowed down by thousands of empty event-loop passes.
    m_stato.attendiEventi = [ultimo = QElapsedTimer()]() mutable {
        if (!ultimo.isValid() || ultimo.elapsed() >= 5) {
            QCoreApplication::processEvents();
            ultimo.start();
        }
    };
}

clsSincronizza::~clsSincronizza() = default;

void clsSincronizza::Init(lanvera::ConnessioneServer &serverDB)
{
    m_server = &serverDB;
    // A missing list leaves it empty: charts are then packed with no tables, as the run will show.
    m_pacchetto->CaricaListaTabelle(lanvera::CartellaProgramma() + QStringLiteral("/Cartella.sql"));
}

QString clsSincronizza::RigaAvvio()
{
    const QVersionNumber versione = QVersionNumber::fromString(QStringLiteral(LANVERA_VERSION));
    return QStringLiteral("Avvio Sincronizzazione V.%1.%2.%3")
        .arg(versione.majorVersion())
        .arg(versione.minorVersion())
        .arg(versione.microVersion());
}

QString clsSincronizza::ChiavePaziente(const QString &cf, const QString &cognome, const QString &nome)
{
    return (cf.trimmed() + QLatin1Char(';') + cognome.trimmed() + QLatin1Char(';') + nome.trimmed()).toLower();
}

void clsSincronizza::ScriviLogArchivio(const QString &messaggio, bool errore)
{
    if (errore) {
        ++m_errori;
    }
    const QString voce =
        lanvera::ScriviLogArchivio(m_cartellaArchivio, messaggio, errore, lanvera::TagSync, m_adesso());
    Q_EMIT Log(voce);
    // The window shows the line and Stop is seen at once; a sleep here would cost every chart a
    // millisecond and more.
    QCoreApplication::processEvents();
}

void clsSincronizza::Annulla()
{
    m_stato.annullato = true;
    ScriviLogArchivio(QStringLiteral("Richiesta annullamento da parte dell'utente"), true);
}

bool clsSincronizza::nonGestito(const QString &operazione, const lanvera::dao::Errore &errore)
{
    m_erroreNonGestito = operazione + QStringLiteral(": Errore ") + errore.testo();
    qCWarning(lcEngine) << m_erroreNonGestito;
    return false;
}

bool clsSincronizza::Sincronizza(const QString &fileName)
{
    bool risultato = false;
    m_stato.messaggioErrore.clear();
    m_stato.annullato = false;
    m_stato.reinviaCartella = false;
    m_stato.scartoServerMs.reset();
    m_stato.conflitti = 0;
    m_errori = 0;
    m_inviate = m_scaricate = m_unite = 0;
    m_esito.clear();
    m_erroreNonGestito.clear();
    m_idGruppo = m_progressivo = m_idMedico = 0;
    m_cfMedico.clear();
    m_passwordSync.clear();
    m_pazientiServer.svuota();
    m_pazientiLocali.svuota();

    auto fallisci = [this] {
        m_archivio.chiudi();
        m_stato.archivio = nullptr;
        if (m_esito.isEmpty()) {
            m_esito = m_erroreNonGestito;
        }
        return false;
    };

    QString errore;
    if (!lanvera::PreparaCartellaPrivata(lanvera::CartellaTemp() + QStringLiteral("/Sync"), &errore)) {
        m_erroreNonGestito = QStringLiteral("Cartella di lavoro: ") + errore;
        return fallisci();
    }
    m_cartellaArchivio = lanvera::CartellaArchivio(fileName);
    if (!m_archivio.apri(fileName)) {
        nonGestito(QStringLiteral("Apertura archivio"), m_archivio.ultimoErrore());
        return fallisci();
    }
    m_stato.archivio = &m_archivio;
    m_haSole = lanvera::HaSole(m_archivio);

    const QString avvio = RigaAvvio();
    ScriviLogArchivio(avvio);
    ScriviLogArchivio(QString(avvio.size(), QLatin1Char('-')));
    ScriviLogArchivio(QStringLiteral("Accesso al server remoto"));

    if (IdentificaMedico()) {
        if (AccessoServer()) {
            ScriviLogArchivio(QStringLiteral("Analisi pazienti su server"));
            if (LeggiPazientiServer()) {
                ScriviLogArchivio(QStringLiteral("Analisi pazienti in locale"));
                if (LeggiPazientiLocali()) {
                    risultato = SincronizzaPazienti();
                }
            }
        }
    }
    if (!m_erroreNonGestito.isEmpty()) {
        return fallisci();
    }

    if (m_stato.conflitti > 0) {
        ScriviLogArchivio(RigaConflitti(m_stato.conflitti));
    }
    if (m_stato.annullato) {
        m_esito = QStringLiteral("Operazione annullata dall'utente");
        ScriviLogArchivio(m_esito);
    } else if (!m_stato.messaggioErrore.isEmpty() && !risultato) {
        m_esito = m_stato.messaggioErrore;
        ScriviLogArchivio(m_esito, true);
    } else if (risultato) {
        m_esito = QStringLiteral("Operazione conclusa");
        ScriviLogArchivio(m_esito);
    }
    ScriviLogArchivio(QString());
    fallisci();
    return risultato;
}

bool clsSincronizza::IdentificaMedico()
{
    QString codiceSole;
    if (m_haSole) {
        if (!lanvera::LeggiConfig(m_archivio, QStringLiteral("CodiceFiscaleMedico"), codiceSole)) {
            return nonGestito(QStringLiteral("Identificazione medico"), m_archivio.ultimoErrore());
        }
        codiceSole = codiceSole.trimmed().toUpper();
    }
    {
        Recordset rs(m_archivio);
        if (!rs.apri(QStringLiteral("SELECT * FROM tblMedico WHERE IDRete=1"))) {
            return nonGestito(QStringLiteral("Identificazione medico"), rs.ultimoErrore());
        }
        if (!rs.eof()) {
            m_cfMedico = rs.testo(QStringLiteral("CodiceFiscale")).trimmed().toUpper();
        }
        const bool daCorreggere = !rs.eof() && m_cfMedico.isEmpty() && !codiceSole.isEmpty();
        rs.chiudi();
        if (daCorreggere) {
            m_cfMedico = codiceSole;
            if (!m_archivio.esegui(QStringLiteral("UPDATE tblMedico SET CodiceFiscale=? WHERE IDRete=1"),
                                   {m_cfMedico})) {
                return nonGestito(QStringLiteral("Identificazione medico"), m_archivio.ultimoErrore());
            }
        }
    }
    if (!lanvera::LeggiItem(m_archivio, QStringLiteral("QUOR.PasswordMedicoSync"), m_passwordSync)) {
        return nonGestito(QStringLiteral("Identificazione medico"), m_archivio.ultimoErrore());
    }
    if (m_cfMedico.size() != 16) {
        m_stato.messaggioErrore = QStringLiteral("Codice fiscale del medico non corretto");
        return false;
    }
    return true;
}

bool clsSincronizza::AccessoServer()
{
    ScriviLogArchivio(QStringLiteral("Identificazione"));
    auto errore = [this](const lanvera::dao::Errore &e) {
        m_stato.messaggioErrore = QStringLiteral("Accesso: Errore ") + e.testo();
        return false;
    };
    if (!m_server || !m_server->usaDatabaseRete()) {
        return errore(m_server ? m_server->errore()
                               : lanvera::dao::Errore{2006, QStringLiteral("Server non connesso")});
    }
    QSqlQuery q(m_server->database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM tblmedici WHERE (CF=?) AND (Sospeso=0)"));
    q.addBindValue(m_cfMedico);
    if (!q.exec()) {
        return errore(lanvera::ErroreServer(q.lastError()));
    }
    bool risultato = false;
    if (!q.next()) {
        if (q.lastError().isValid()) {
            return errore(lanvera::ErroreServer(q.lastError()));
        }
        m_stato.messaggioErrore = QStringLiteral("Medico non trovato");
    } else {
        const QSqlRecord r = q.record();
        const QString password = ComeTesto(r.value(QStringLiteral("Password")));
        if (password.isEmpty()) {
            m_stato.messaggioErrore = QStringLiteral("Password di accesso non impostata");
        } else if (password != m_passwordSync) {
            m_stato.messaggioErrore = QStringLiteral("Password non valida");
        } else {
            m_idGruppo = r.value(QStringLiteral("IDGruppo")).toInt();
            m_progressivo = r.value(QStringLiteral("Progressivo")).toInt();
            m_idMedico = r.value(QStringLiteral("ID")).toInt();
            ScriviLogArchivio(ComeTesto(r.value(QStringLiteral("CF"))) + QStringLiteral(" - ") +
                              ComeTesto(r.value(QStringLiteral("Cognome"))) + QLatin1Char(' ') +
                              ComeTesto(r.value(QStringLiteral("Nome"))));
            q.finish();
            VerificaOrologio();
            risultato = !m_stato.annullato;
        }
    }
    return risultato;
}

void clsSincronizza::VerificaOrologio()
{
    // The merge stamps and compares LastUpdate moments of two computers: the server's clock is
    // the common reference. A clock that cannot be read leaves the run as it was.
    QDateTime oraServer;
    if (!m_server || !m_server->leggiOraServer(oraServer)) {
        m_stato.scartoServerMs.reset();
        qCWarning(lcEngine) << "Ora del server non letta:" << (m_server ? m_server->ultimoErrore() : QString());
        return;
    }
    m_stato.scartoServerMs = QDateTime::currentDateTimeUtc().msecsTo(oraServer);
    const QString avviso = lanvera::AvvisoOrologio(m_adesso(), oraServer);
    if (!avviso.isEmpty()) {
        ScriviLogArchivio(avviso, true);
    }
}

QString clsSincronizza::RigaConflitti(int conflitti)
{
    return QStringLiteral("Conflitti registrati: %1 (le versioni scartate sono nella cartella dei pazienti)")
        .arg(conflitti);
}

bool clsSincronizza::LeggiPazientiServer()
{
    auto errore = [this](const lanvera::dao::Errore &e) {
        m_stato.messaggioErrore = QStringLiteral("Lettura lista pazienti: Errore ") + e.testo();
        return false;
    };
    if (!m_server || !m_server->usaDatabaseRete()) {
        return errore(m_server ? m_server->errore()
                               : lanvera::dao::Errore{2006, QStringLiteral("Server non connesso")});
    }
    lanvera::dao::Errore e;
    if (!LeggiPazientiServerDa(
            m_server->database(), m_cfMedico, m_pazientiServer,
            [this] {
                m_stato.cedi();
                return !m_stato.annullato;
            },
            &e)) {
        return errore(e);
    }
    return !m_stato.annullato;
}

bool clsSincronizza::LeggiPazientiServerDa(const QSqlDatabase &server, const QString &cfMedico, ListaPazienti &lista,
                                           const std::function<bool()> &continua, lanvera::dao::Errore *errore)
{
    lista.svuota();
    auto fallisci = [errore](const lanvera::dao::Errore &e) {
        if (errore) {
            *errore = e;
        }
        return false;
    };
    QSqlQuery q(server);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM tblanagrafica WHERE CFMedico=? ORDER BY Cognome,Nome"));
    q.addBindValue(cfMedico);
    if (!q.exec()) {
        return fallisci(lanvera::ErroreServer(q.lastError()));
    }
    const QSqlRecord campi = q.record();
    const auto colonna = [&campi](const char *nome) { return campi.indexOf(QLatin1StringView(nome)); };
    const int cID = colonna("IDPaziente"), cCF = colonna("CF"), cTessera = colonna("Tessera"),
              cCognome = colonna("Cognome"), cNome = colonna("Nome"), cIndirizzo = colonna("Indirizzo"),
              cCitta = colonna("Citta"), cProvincia = colonna("Provincia"), cSesso = colonna("Sesso"),
              cLuogo = colonna("LuogoNascita"), cData = colonna("DataNascita"), cMedico = colonna("CFMedico"),
              cUpdate = colonna("IDUpdate"), cAut = colonna("Autorizzazioni"), cDb = colonna("IDDatabase"),
              cPrec = colonna("CFMedicoPrecedente");
    const auto testo = [&q](int i) { return i < 0 ? QString() : ComeTesto(q.value(i)); };

    while ((!continua || continua()) && q.next()) {
        clsPaziente p;
        p.KeyPaziente = testo(cID);
        p.CF = testo(cCF);
        p.Tessera = testo(cTessera);
        p.Cognome = testo(cCognome);
        p.Nome = testo(cNome);
        p.Indirizzo = testo(cIndirizzo);
        p.Citta = testo(cCitta);
        p.Provincia = testo(cProvincia);
        p.Sesso = testo(cSesso);
        p.LuogoNascita = testo(cLuogo);
        p.DataNascita = cData < 0 ? QString() : dataNascita(q.value(cData));
        p.CFMedico = testo(cMedico);
        p.IDUpdate = testo(cUpdate);
        p.Autorizzazioni = testo(cAut);
        p.IDDatabase = cDb < 0 ? 0 : q.value(cDb).toInt();
        p.CFMedicoPrecedente = testo(cPrec);
        if (p.KeyPaziente.isEmpty()) {
            continue; // a row without key is no patient of the network
        }
        if (!lista.aggiungi(p)) {
            return fallisci({ErroreChiaveDoppia,
                             QStringLiteral("Chiave già associata ad un elemento dell'insieme: ") + p.KeyPaziente});
        }
    }
    if (q.lastError().isValid()) {
        return fallisci(lanvera::ErroreServer(q.lastError()));
    }
    return true;
}

bool clsSincronizza::LeggiPazientiLocali()
{
    lanvera::dao::Errore errore;
    if (!LeggiPazientiArchivio(
            m_archivio, m_cfMedico, m_adesso().date(), m_pazientiLocali,
            [this] {
                m_stato.cedi();
                return !m_stato.annullato;
            },
            &errore)) {
        m_stato.messaggioErrore = QStringLiteral("Lettura lista pazienti: Errore ") + errore.testo();
        return false;
    }
    return !m_stato.annullato;
}

bool clsSincronizza::LeggiPazientiArchivio(lanvera::dao::Database &archivio, const QString &cfMedico, const QDate &oggi,
                                           ListaPazienti &lista, const std::function<bool()> &continua,
                                           lanvera::dao::Errore *errore)
{
    lista.svuota();
    Recordset rs(archivio);
    if (!rs.apri(queryPazientiLocali(lanvera::HaSole(archivio)))) {
        if (errore) {
            *errore = rs.ultimoErrore();
        }
        return false;
    }
    const int oggiNumero = giorno(oggi);
    for (; !rs.eof() && (!continua || continua()); rs.muoviProssimo()) {
        const QVariant cf = rs.valore(QStringLiteral("CodiceFiscale"));
        const QVariant cognome = rs.valore(QStringLiteral("Cognome"));
        const QVariant nome = rs.valore(QStringLiteral("Nome"));
        const QVariant proprio = rs.valore(QStringLiteral("Proprio"));
        if (cf.isNull() || cognome.isNull() || nome.isNull() || proprio.isNull() || cf.toString().size() != 16 ||
            cognome.toString().isEmpty() || nome.toString().isEmpty() || ComeBool(proprio)) {
            continue;
        }

        clsPaziente p;
        const QDate fine = ComeGiorno(rs.valore(QStringLiteral("DataFine")));
        if (fine.isValid() && giorno(fine) <= oggiNumero) {
            const QDate inizio = ComeGiorno(rs.valore(QStringLiteral("DataInizio")));
            if (!(inizio.isValid() && giorno(inizio) >= giorno(fine))) {
                p.Revocato = 1;
                const QString motivo = rs.testo(QStringLiteral("MotivoRevoca"));
                if (motivo.contains(QStringLiteral("dece"), Qt::CaseInsensitive) ||
                    motivo.contains(QStringLiteral("mort"), Qt::CaseInsensitive)) {
                    p.Revocato = 2;
                }
            }
        }
        p.ID = rs.valore(QStringLiteral("ID")).toInt();
        p.CF = cf.toString().trimmed();
        p.Tessera = rs.testo(QStringLiteral("Tessera")).trimmed();
        p.Cognome = cognome.toString().trimmed();
        p.Nome = nome.toString().trimmed();
        p.KeyPaziente = ChiavePaziente(p.CF, p.Cognome, p.Nome);
        p.Indirizzo = rs.testo(QStringLiteral("Indirizzo"));
        p.Citta = rs.testo(QStringLiteral("Città"));
        p.Provincia = rs.testo(QStringLiteral("Provincia"));
        p.Sesso = rs.testo(QStringLiteral("Sesso"));
        p.LuogoNascita = rs.testo(QStringLiteral("LuogoNascita"));
        p.DataNascita = dataNascita(rs.valore(QStringLiteral("DataNascita")));
        p.CFMedico = cfMedico;
        p.IDUpdate = rs.testo(QStringLiteral("IDUpdate"));
        p.Allineato = ComeBool(rs.valore(QStringLiteral("Allineato")));
        p.IDDatabase = 0;
        lista.aggiungi(p); // a second row with the same key is left out
    }
    return true;
}

bool clsSincronizza::TrovaPazienteLocale(const QString &chiave, clsPaziente &paziente) const
{
    const clsPaziente *p = m_pazientiLocali.trova(chiave);
    if (p) {
        paziente = *p;
    }
    return p != nullptr;
}

bool clsSincronizza::TrovaPazienteServer(const QString &chiave, clsPaziente &paziente) const
{
    const clsPaziente *p = m_pazientiServer.trova(chiave);
    if (p) {
        paziente = *p;
    }
    return p != nullptr;
}

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString nominativo(const clsPaziente &p)
{
    return p.Cognome + QLatin1Char(' ') + p.Nome;
}

} // namespace

void clsSincronizza::CalcolaTabelleToSend()
{
    m_tabelleToSend.clear();
    for (const clsTabelle &t : std::as_const(m_stato.tabelle)) {
        const QStringList campi = m_archivio.campi(t.Tabella);
        if (campi.contains(QStringLiteral("IDPaziente"), Qt::CaseInsensitive) &&
            campi.contains(QStringLiteral("ToSend"), Qt::CaseInsensitive) &&
            !m_tabelleToSend.contains(t.Tabella, Qt::CaseInsensitive)) {
            m_tabelleToSend << t.Tabella;
        }
    }
}

bool clsSincronizza::SincronizzaPazienti()
{
    ScriviLogArchivio(QStringLiteral("Sincronizzazione"));
    ScriviLogArchivio(QStringLiteral("Verifico modifiche su server"));
    CalcolaTabelleToSend();
    if (!ImportaModificheServer()) {
        return false;
    }
    QCoreApplication::processEvents();
    QThread::msleep(1);
    if (m_stato.annullato) {
        return false;
    }
    ScriviLogArchivio(QStringLiteral("Verifico dati da sincronizzare"));
    QCoreApplication::processEvents();
    if (m_stato.annullato) {
        return false;
    }
    // The walk works on copies: a patient's stamps change as he is sent.
    const QList<clsPaziente> server = m_pazientiServer.pazienti();
    m_erroreServer = {};
    for (clsPaziente p : server) {
        if (!SincronizzaPaziente(p) || m_stato.annullato) {
            return false;
        }
        if (connessionePersa()) {
            // Without the server every further patient would fail the same way.
            m_stato.messaggioErrore = QStringLiteral("Sincronizzazione: Errore ") + m_erroreServer.testo();
            return false;
        }
    }
    return true;
}

bool clsSincronizza::ImportaModificheServer()
{
    auto errore = [this](const lanvera::dao::Errore &e) {
        m_stato.messaggioErrore = QStringLiteral("Sincronizzazione: Errore ") + e.testo();
        return false;
    };
    if (!m_server->usaDatabaseRete()) {
        return errore(m_server->errore());
    }
    // The packages are fetched one at a time: a row of the list holds everything but the package.
    struct Modifica
    {
        qint64 id;
        QString idPaziente;
        QString titolare;
        QString medico;
    };
    QList<Modifica> modifiche;
    {
        QSqlQuery q(m_server->database());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT tblmodifiche.ID, tblmodifiche.IDPaziente, tblmodifiche.CFMedicoTitolare, "
                                 "Concat(tblmedici.Cognome,' ',tblmedici.Nome) AS Medico FROM tblmodifiche "
                                 "INNER JOIN tblanagrafica ON tblmodifiche.IDPaziente=tblanagrafica.IDPaziente "
                                 "INNER JOIN tblmedici ON tblmodifiche.CFMedico=tblmedici.CF "
                                 "WHERE tblanagrafica.CFMedico=? ORDER BY tblmodifiche.IDPaziente, tblmodifiche.ID"));
        q.addBindValue(m_cfMedico);
        if (!q.exec()) {
            return errore(lanvera::ErroreServer(q.lastError()));
        }
        while (q.next()) {
            modifiche.append(
                {q.value(0).toLongLong(), ComeTesto(q.value(1)), ComeTesto(q.value(2)), ComeTesto(q.value(3))});
        }
    }

    QStringList importate;
    QSqlQuery q(m_server->database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Modifiche FROM tblmodifiche WHERE ID=?"));
    for (const Modifica &m : std::as_const(modifiche)) {
        if (m_stato.annullato) {
            break;
        }
        if (!m.titolare.isEmpty() && m.titolare.toUpper() != m_cfMedico.toUpper()) {
            continue;
        }
        clsPaziente paziente;
        if (!TrovaPazienteLocale(m.idPaziente, paziente)) {
            continue;
        }
        q.bindValue(0, m.id);
        if (!q.exec()) {
            return errore(lanvera::ErroreServer(q.lastError()));
        }
        if (!q.next()) {
            q.finish();
            continue; // taken meanwhile by another installation of this doctor
        }
        const QString pacchetto = ComeTesto(q.value(0));
        q.finish();
        if (m_unione->ImportaModifiche(paziente, m.medico, pacchetto)) {
            importate << QString::number(m.id);
            ++m_unite;
        } else if (!m_stato.annullato) {
            ScriviLogArchivio(QStringLiteral("Attenzione: Non è stato possibile aggiornare la cartella di ") +
                                  nominativo(paziente) + QStringLiteral(" per il seguente errore:") + CrLf +
                                  m_stato.messaggioErrore,
                              true);
        }
    }
    if (m_stato.annullato) {
        return false;
    }
    if (!importate.isEmpty() &&
        !m_server->esegui(
            QStringLiteral("DELETE FROM tblmodifiche WHERE ID IN (%1)").arg(importate.join(QLatin1Char(','))))) {
        return errore(m_server->errore());
    }
    return true;
}

bool clsSincronizza::LeggiCartellaServer(const clsPaziente &p, QString &cartella, bool &trovata)
{
    cartella.clear();
    trovata = false;
    if (!m_server->usaDatabaseCartelle(p.IDDatabase)) {
        erroreServer(m_server->errore());
        m_stato.messaggioErrore = m_server->errore().testo();
        return false;
    }
    QSqlQuery q(m_server->database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Cartella FROM tblcartella WHERE IDPaziente=?"));
    q.addBindValue(p.KeyPaziente);
    if (!q.exec()) {
        erroreServer(lanvera::ErroreServer(q.lastError()));
        m_stato.messaggioErrore = m_erroreServer.testo();
        return false;
    }
    if (q.next()) {
        trovata = true;
        cartella = ComeTesto(q.value(0));
    }
    return true;
}

bool clsSincronizza::SincronizzaPaziente(clsPaziente &p)
{
    m_stato.reinviaCartella = false;
    clsPaziente l;
    if (!TrovaPazienteLocale(p.KeyPaziente, l)) {
        const int verifica = VerificaAnagraficaLocale(p);
        if (verifica != 0) {
            const QString etichetta = verifica == 2 ? QStringLiteral("SCARICATO DA SERVER ") + OrganizzazioneServer()
                                                    : QStringLiteral("NON PROPRIO ASSISTITO");
            ScriviLogArchivio(
                QStringLiteral("Attenzione: Il paziente ") + nominativo(p).toUpper() +
                    QStringLiteral(" con Codice Fiscale ") + p.CF.toUpper() +
                    QStringLiteral(" risulta presente nell'archivio locale ma identificato come ") + etichetta +
                    QStringLiteral(".") + CrLf +
                    QStringLiteral("Per poter scaricare il paziente dal server è necessario rimuverlo dall'archivio "
                                   "locale.") +
                    CrLf +
                    QStringLiteral("Se necessario, prima della rimozione, stampare la cartella clinica completa oppure "
                                   "salvarla su file.") +
                    CrLf +
                    QStringLiteral("L'importazione di questo paziente è rimandata alla prossima sincronizzazione."),
                true);
            return true;
        }
        if (p.IDUpdate.isEmpty()) {
            return true;
        }
        // Download as new.
        ScriviLogArchivio(QStringLiteral("Scarico cartella di ") + nominativo(p));
        QString cartella;
        bool trovata = false;
        if (!LeggiCartellaServer(p, cartella, trovata)) {
            ScriviLogArchivio(QStringLiteral("Attenzione: La cartella di ") + nominativo(p) +
                                  QStringLiteral(" non è stata importata per il seguente errore: ") + CrLf +
                                  m_stato.messaggioErrore,
                              true);
        } else if (!trovata) {
            if (!m_stato.annullato) {
                ScriviLogArchivio(QStringLiteral("Attenzione: La cartella di ") + nominativo(p) +
                                      QStringLiteral(" non è ancora stata pubblicata.") + CrLf +
                                      QStringLiteral("Completare la sincronizzazione dal PC di origine"),
                                  true);
            }
        } else {
            p.ID = 0;
            if (m_unione->ImportaCartella(p, cartella)) {
                ++m_scaricate;
            } else if (!m_stato.annullato) {
                ScriviLogArchivio(QStringLiteral("Attenzione: La cartella di ") + nominativo(p) +
                                      QStringLiteral(" non è stata importata per il seguente errore: ") + CrLf +
                                      m_stato.messaggioErrore,
                                  true);
            }
        }
        return true;
    }

    if (l.Revocato != 0) {
        if (!m_server->usaDatabaseRete() ||
            !m_server->esegui(QStringLiteral("UPDATE tblanagrafica SET Autorizzazioni='' WHERE (IDPaziente=?) AND "
                                             "(CFMedico=?)"),
                              {p.KeyPaziente, m_cfMedico})) {
            erroreServer(m_server->errore());
            m_stato.messaggioErrore = QStringLiteral("Sincronizzazione: Errore ") + m_server->errore().testo();
            return false;
        }
        ScriviLogArchivio(QStringLiteral("   ATTENZIONE: Il paziente ") + nominativo(l) +
                          QStringLiteral(" è revocato"));
        ScriviLogArchivio(QStringLiteral("   Rimuoverlo manualmente dal server"));
        return true;
    }

    // Bring up to date, then re-send.
    bool invia = true;
    if (l.IDUpdate != p.IDUpdate && !p.IDUpdate.isEmpty()) {
        ScriviLogArchivio(QStringLiteral("Scarico cartella di ") + nominativo(p));
        QString cartella;
        bool trovata = false;
        if (!LeggiCartellaServer(p, cartella, trovata)) {
            invia = false;
            ScriviLogArchivio(QStringLiteral("Attenzione: La cartella di ") + nominativo(p) +
                                  QStringLiteral(" non è stata allineata per il seguente errore:") + CrLf +
                                  m_stato.messaggioErrore,
                              true);
        } else if (!trovata) {
            m_stato.reinviaCartella = true;
        } else {
            p.ID = l.ID;
            if (!m_unione->ImportaCartella(p, cartella)) {
                if (!m_stato.annullato) {
                    ScriviLogArchivio(QStringLiteral("Attenzione: La cartella di ") + nominativo(p) +
                                          QStringLiteral(" non è stata allineata per il seguente errore:") + CrLf +
                                          m_stato.messaggioErrore,
                                      true);
                }
                invia = false;
            } else {
                ++m_scaricate;
                // The local stamp now names the chart just merged.
                l.IDUpdate = p.IDUpdate;
                if (m_stato.cartellaComeInviata && !ResetToSend(l.ID)) {
                    // Only the marks are missing: the chart is sent once more, nothing is lost.
                    qCWarning(lcEngine) << m_stato.messaggioErrore;
                }
            }
        }
    }
    m_stato.cedi();
    if (m_stato.annullato) {
        return true;
    }
    if (invia) {
        invia = p.IDUpdate.isEmpty() || m_stato.reinviaCartella;
        if (!invia) {
            invia = DaInviare(l.ID);
        }
    }
    if (!invia) {
        return true;
    }
    l.IDDatabase = p.IDDatabase;
    l.Autorizzazioni = p.Autorizzazioni;
    ScriviLogArchivio(QStringLiteral("Invio di ") + nominativo(l));
    if (InvioCartella(l)) {
        ++m_inviate;
        p.IDUpdate = l.IDUpdate;
    } else if (!m_stato.annullato) {
        ScriviLogArchivio(QStringLiteral("Attenzione: La cartella di ") + nominativo(l) +
                              QStringLiteral(" non è stata reinviata per il seguente errore:") + CrLf +
                              m_stato.messaggioErrore,
                          true);
    }
    return true;
}

bool clsSincronizza::erroreServer(const lanvera::dao::Errore &errore)
{
    m_erroreServer = errore;
    return connessionePersa();
}

bool clsSincronizza::connessionePersa() const
{
    // "server has gone away", "lost connection during query", "lost connection at handshake"
    const int n = m_erroreServer.numero;
    return n == 2006 || n == 2013 || n == 2026 || n == 2055;
}

int clsSincronizza::VerificaAnagraficaLocale(const clsPaziente &paziente)
{
    const QString cognome = paziente.Cognome.trimmed();
    const QString nome = paziente.Nome.trimmed();
    const QString cf = paziente.CF.trimmed();
    if (cognome.isEmpty() || nome.isEmpty() || cf.isEmpty()) {
        return 0;
    }
    Recordset rs(m_archivio);
    if (!rs.apri(QStringLiteral("SELECT UIDCMedico, Proprio FROM tblAnagrafica WHERE (Cognome=?) AND (Nome=?) AND "
                                "(CodiceFiscale=?)"),
                 Recordset::Tipo::SoloAvanti, {cognome, nome, cf}) ||
        rs.eof()) {
        return 0;
    }
    if (!rs.testo(QStringLiteral("UIDCMedico")).isEmpty()) {
        return 2;
    }
    return ComeBool(rs.valore(QStringLiteral("Proprio"))) ? 3 : 1;
}

bool clsSincronizza::InvioCartella(clsPaziente &paziente)
{
    auto errore = [this](const lanvera::dao::Errore &e) {
        m_stato.messaggioErrore = QStringLiteral("Invio Cartella: Errore ") + e.testo();
        return false;
    };
    m_stato.messaggioErrore.clear();
    QString cartella;
    if (!m_pacchetto->CreaCartella(paziente.ID, cartella)) {
        return false;
    }
    if (paziente.IDDatabase == 0) {
        // Nobody assigned the chart database yet: say so rather than fail without a reason.
        m_stato.messaggioErrore = QStringLiteral("Invio Cartella: archivio delle cartelle non assegnato sul server");
        return false;
    }
    if (!m_server->usaDatabaseCartelle(paziente.IDDatabase) ||
        !m_server->esegui(QStringLiteral("INSERT INTO tblcartella (IDPaziente, Cartella) VALUES (?, ?) "
                                         "ON DUPLICATE KEY UPDATE Cartella=VALUES(Cartella)"),
                          {paziente.KeyPaziente, cartella})) {
        erroreServer(m_server->errore());
        return errore(m_server->errore());
    }
    const QString stamp = lanvera::CreaGUID();
    const QDate nascita = QDate::fromString(paziente.DataNascita, QStringLiteral("dd/MM/yyyy"));
    if (!m_server->usaDatabaseRete() ||
        !m_server->esegui(
            QStringLiteral("INSERT INTO tblanagrafica (IDPaziente, CF, Tessera, Cognome, Nome, Indirizzo, Citta, CAP, "
                           "Provincia, Sesso, LuogoNascita, DataNascita, CFMedico, IDUpdate) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON DUPLICATE KEY UPDATE CF=VALUES(CF), "
                           "Tessera=VALUES(Tessera), Cognome=VALUES(Cognome), Nome=VALUES(Nome), "
                           "Indirizzo=VALUES(Indirizzo), Citta=VALUES(Citta), CAP=VALUES(CAP), "
                           "Provincia=VALUES(Provincia), Sesso=VALUES(Sesso), LuogoNascita=VALUES(LuogoNascita), "
                           "DataNascita=VALUES(DataNascita), IDUpdate=VALUES(IDUpdate)"),
            {paziente.KeyPaziente, paziente.CF, paziente.Tessera, paziente.Cognome, paziente.Nome, paziente.Indirizzo,
             paziente.Citta, paziente.CAP, paziente.Provincia, paziente.Sesso, paziente.LuogoNascita,
             nascita.isValid() ? QVariant(paziente.DataNascita) : QVariant(QMetaType(QMetaType::QString)), m_cfMedico,
             stamp})) {
        erroreServer(m_server->errore());
        return errore(m_server->errore());
    }
    paziente.IDUpdate = stamp;
    // The stamp and the sent marks land together: one commit, and never one without the other.
    if (!m_archivio.iniziaTransazione()) {
        return errore(m_archivio.ultimoErrore());
    }
    if (!lanvera::ImpostaUpdate(m_archivio, paziente.ID, stamp)) {
        const lanvera::dao::Errore e = m_archivio.ultimoErrore();
        m_archivio.annullaTransazione();
        return errore(e);
    }
    return ResetToSend(paziente.ID, m_pacchetto->TabelleSenzaRighe());
}

bool clsSincronizza::ResetToSend(qint32 id, const QStringList &senzaRighe)
{
    auto errore = [this](const lanvera::dao::Errore &e) {
        m_stato.messaggioErrore = QStringLiteral("Reset ToSend: Errore ") + e.testo();
        m_archivio.annullaTransazione();
        return false;
    };
    // Joins the transaction the caller opened (and commits it with the marks), else opens its own.
    if (!m_archivio.inTransazione() && !m_archivio.iniziaTransazione()) {
        return errore(m_archivio.ultimoErrore());
    }
    for (const QString &tabella : std::as_const(m_tabelleToSend)) {
        if (senzaRighe.contains(tabella, Qt::CaseInsensitive)) {
            continue;
        }
        if (!m_archivio.esegui(
                QStringLiteral("UPDATE %1 SET ToSend=-1 WHERE IDPaziente=?").arg(lanvera::dao::Parentesi(tabella)),
                {id})) {
            return errore(m_archivio.ultimoErrore());
        }
    }
    if (!m_archivio.esegui(QStringLiteral("UPDATE [tblAnagrafica] SET ToSend=-1 WHERE ID=?"), {id}) ||
        !m_archivio.esegui(QStringLiteral("UPDATE [tblAnagrafica2] SET TagStato=0 WHERE IDPaziente=?"), {id})) {
        return errore(m_archivio.ultimoErrore());
    }
    if (!m_archivio.confermaTransazione()) {
        return errore(m_archivio.ultimoErrore());
    }
    return true;
}

bool clsSincronizza::DaInviare(qint32 id)
{
    auto errore = [this](const lanvera::dao::Errore &e) {
        m_stato.messaggioErrore = QStringLiteral("Reset ToSend: Errore ") + e.testo();
        return false;
    };
    {
        Recordset rs(m_archivio);
        if (!rs.apri(QStringLiteral("SELECT TagStato FROM tblAnagrafica2 WHERE IDPaziente=?"),
                     Recordset::Tipo::SoloAvanti, {id})) {
            return errore(rs.ultimoErrore());
        }
        if (rs.eof() || rs.valore(QStringLiteral("TagStato")).toInt() != 1) {
            return false;
        }
        if (!rs.apri(QStringLiteral("SELECT ToSend FROM tblAnagrafica WHERE (ID=?)"), Recordset::Tipo::SoloAvanti,
                     {id})) {
            return errore(rs.ultimoErrore());
        }
        if (!rs.eof() && rs.valore(QStringLiteral("ToSend")).toInt() != -1) {
            return true;
        }
    }
    // Changes up to the moment the archive joined the network never count. Read only for a
    // patient marked as changed: most of a run's patients stop at the mark.
    QString dataInit;
    if (!lanvera::LeggiItem(m_archivio, QStringLiteral("QUOR.DataInit"), dataInit)) {
        return errore(m_archivio.ultimoErrore());
    }
    QString condizione;
    QVariantList valori{id};
    const QDateTime inizio = QDateTime::fromString(dataInit.trimmed(), QStringLiteral("yyyyMMddHHmmss"));
    if (inizio.isValid()) {
        condizione = QStringLiteral(" AND (LastUpdate>?)");
        valori << lanvera::dao::TestoDataArchivio(inizio);
    }
    for (const QString &tabella : std::as_const(m_tabelleToSend)) {
        if (tabella.compare(QStringLiteral("tblanagrafica2"), Qt::CaseInsensitive) == 0) {
            continue;
        }
        Recordset rs(m_archivio);
        if (!rs.apri(QStringLiteral("SELECT ToSend FROM %1 WHERE (IDPaziente=?) AND (ToSend<>-1)%2 LIMIT 1")
                         .arg(lanvera::dao::Parentesi(tabella), condizione),
                     Recordset::Tipo::SoloAvanti, valori)) {
            return errore(rs.ultimoErrore());
        }
        if (!rs.eof()) {
            return true;
        }
    }
    return false;
}
