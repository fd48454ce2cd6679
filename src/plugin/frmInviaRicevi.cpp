#include "frmInviaRicevi.h"

#include "ArchivioHost.h"
#include "Database.h"
#include "Module1.h"
#include "PacchettoCartella.h"
#include "PlugIn.h"
#include "StatoPlugin.h"
#include "clsSincronizza.h"
#include "frmCreaPassword.h"
#include "frmListaMedici.h"
#include "frmPassword.h"
#include "modArchivio.h"
#include "modCartelle.h"
#include "modLog.h"
#include "modUlmetPlugin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVBoxLayout>
#include <QVersionNumber>

using clinora::Risposte;

namespace {

QString nominativo(const QString &cognome, const QString &nome)
{
    return cognome + QLatin1Char(' ') + nome;
}

QString testoErrore(const lanvera::dao::Errore &e)
{
    return e.descrizione.isEmpty() ? QString::number(e.numero) : e.descrizione;
}

} // namespace

frmInviaRicevi::frmInviaRicevi(StatoPlugin &stato, QWidget *parent)
    : QDialog(parent), m_stato(stato), m_server(stato.server)
{
    setWindowTitle(PlugIn::NomeProdotto());
    setModal(true);
    m_testo = new QLineEdit(this);
    m_testo->setObjectName(QStringLiteral("Text1"));
    m_testo->setReadOnly(true);
    m_testo->setMinimumWidth(420);
    m_annulla = new QPushButton(QStringLiteral("Annulla"), this);
    m_annulla->setObjectName(QStringLiteral("cmdAnnulla"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_testo);
    layout->addWidget(m_annulla, 0, Qt::AlignRight);
    connect(m_annulla, &QPushButton::clicked, this, &frmInviaRicevi::Annulla);
    // The operation starts once the window is up, so that it shows while it works.
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &frmInviaRicevi::Avvia);
    m_timer.start();
}

frmInviaRicevi::~frmInviaRicevi() = default;

bool frmInviaRicevi::Esegui(StatoPlugin &stato, QWidget *parent)
{
    stato.richiesta.EsitoOperazione = false;
    frmInviaRicevi finestra(stato, parent);
    finestra.exec();
    return stato.richiesta.EsitoOperazione;
}

QString frmInviaRicevi::RigaAvvio()
{
    const QVersionNumber v = QVersionNumber::fromString(QStringLiteral(LANVERA_VERSION));
    return QStringLiteral("Avvio Autorizzazioni V.%1.%2.%3")
        .arg(v.majorVersion())
        .arg(v.minorVersion())
        .arg(v.microVersion());
}

void frmInviaRicevi::closeEvent(QCloseEvent *evento)
{
    // The window closes by itself when its operation ends; the close button is Annulla.
    if (m_inCorso) {
        evento->ignore();
        Annulla();
        return;
    }
    QDialog::closeEvent(evento);
}

void frmInviaRicevi::Annulla()
{
    if (!m_stato.risposte ||
        m_stato.risposte->Messaggio(PlugIn::NomeProdotto(), QStringLiteral("Interrompere l'operazione in corso?"),
                                    Risposte::Icona::Domanda, Risposte::Pulsanti::SiNo,
                                    Risposte::Risposta::No) != Risposte::Risposta::Si) {
        return;
    }
    Messaggio(QStringLiteral("Annullamento in corso"));
    m_annullato = true;
}

void frmInviaRicevi::ScriviRiga(const QString &testo, bool errore)
{
    if (errore) {
        ++m_errori;
    }
    if (m_logAttivo) {
        lanvera::ScriviLogArchivio(m_stato.disk, testo, errore, lanvera::TagUser);
    }
}

void frmInviaRicevi::Messaggio(const QString &testo)
{
    m_testo->setText(testo);
    ScriviRiga(testo);
    QApplication::processEvents();
}

bool frmInviaRicevi::Fallisci(const QString &testo)
{
    m_errore = testo;
    return false;
}

void frmInviaRicevi::Avvia()
{
    m_inCorso = true;
    m_errore.clear();
    m_annullato = false;
    m_errori = 0;
    const qint16 codice = m_stato.richiesta.CodiceOperazione;
    m_logAttivo = codice != RichiestaOperazione::RileggiAutorizzazioni && codice != RichiestaOperazione::Accesso;
    m_erroriInFinestra = codice != RichiestaOperazione::InviaAutorizzazioni;
    if (codice == RichiestaOperazione::ScaricaPaziente) {
        m_stato.richiesta.ChiaveUlmetCorrente.clear();
    }

    const bool esito = EseguiOperazione();
    if (m_annullato) {
        ScriviRiga(QStringLiteral("Operazione annullata dall'utente"));
    } else if (!esito && !m_errore.isEmpty()) {
        ScriviRiga(m_errore, true);
        if (m_erroriInFinestra && m_stato.risposte) {
            m_stato.risposte->Messaggio(PlugIn::NomeProdotto(), m_errore, Risposte::Icona::Esclamazione,
                                        Risposte::Pulsanti::Ok, Risposte::Risposta::Ok);
        }
    } else if (esito) {
        ScriviRiga(QStringLiteral("Operazione conclusa"));
    }
    ScriviRiga(QString());
    m_stato.richiesta.EsitoOperazione = esito && !m_annullato;
    m_inCorso = false;
    accept();
}

bool frmInviaRicevi::EseguiOperazione()
{
    auto titolo = [this](const QString &riga) {
        Messaggio(riga);
        Messaggio(QString(riga.size(), QLatin1Char('-')));
    };
    switch (m_stato.richiesta.CodiceOperazione) {
    case RichiestaOperazione::RileggiAutorizzazioni:
        return RileggiAutorizzazioni();
    case RichiestaOperazione::InviaAutorizzazioni:
        titolo(RigaAvvio());
        return InviaAutorizzazioni();
    case RichiestaOperazione::CercaSuServer:
        titolo(QStringLiteral("Cerca su server"));
        return CercaSuServer();
    case RichiestaOperazione::ScaricaPaziente:
        titolo(QStringLiteral("Scarica paziente dal server"));
        return ScaricaPaziente();
    case RichiestaOperazione::InviaModifiche:
        titolo(QStringLiteral("Invio modifiche al server"));
        return InviaModifiche();
    case RichiestaOperazione::Accesso:
        return Accesso(true);
    case RichiestaOperazione::Rimozione:
        titolo(QStringLiteral("Rimozione pazienti dal server"));
        return Rimozione();
    default:
        // The chart exchange (search, download, send-back) is not part of this plug-in yet.
        return false;
    }
}

// --- archive keys, through the host's archive ----------------------------------------------------

QString frmInviaRicevi::LeggiArcItems(const QString &chiave) const
{
    if (!m_stato.db) {
        return {};
    }
    QString sql = QStringLiteral("Select Item from arcItems where Key='%1'")
                      .arg(QString(chiave).replace(QLatin1Char('\''), QStringLiteral("''")));
    auto rs = m_stato.db->OpenRecordset(sql, clinora::ClsDB::SoloAvanti);
    if (!rs || rs->Eof()) {
        return {};
    }
    return rs->Campo(QStringLiteral("Item")).toString();
}

bool frmInviaRicevi::ScriviArcItems(const QString &chiave, const QString &valore)
{
    if (!m_stato.db) {
        return false;
    }
    clinora::ClsDB &db = *m_stato.db;
    const QString criterio =
        QStringLiteral("Key=\"%1\"").arg(QString(chiave).replace(QLatin1Char('"'), QStringLiteral("\"\"")));
    // Only the last of several rows with the key survives.
    if (auto rs = db.OpenRecordset(QStringLiteral("Select * from arcItems Where (%1)").arg(criterio),
                                   clinora::ClsDB::Dynaset)) {
        QVariant ultimo;
        if (!rs->Eof()) {
            rs->MoveLast();
            if (rs->RecordCount() > 1) {
                ultimo = rs->Campo(QStringLiteral("ID"));
            } else if (rs->Campo(QStringLiteral("Item")).toString() == valore &&
                       !lanvera::dao::ComeBool(rs->Campo(QStringLiteral("Cancellato")))) {
                // Already so: the archive is not written at every access.
                return true;
            }
        }
        rs->CloseRecordset();
        if (ultimo.isValid()) {
            db.ExecuteTrans(
                QStringLiteral("Delete from arcItems Where (%1) and (ID<>%2)").arg(criterio).arg(ultimo.toLongLong()));
        }
    }
    auto record = db.OpenRecord(QStringLiteral("arcItems"), criterio);
    if (!record) {
        return false;
    }
    record->ImpostaCampo(QStringLiteral("Key"), chiave);
    record->ImpostaCampo(QStringLiteral("Item"), valore);
    record->ImpostaCampo(QStringLiteral("Cancellato"), 0);
    return db.Update(*record);
}

QString frmInviaRicevi::ChiavePassword() const
{
    return m_stato.iniHostPresente ? QStringLiteral("QUOR.PasswordMedico.") + m_stato.cf
                                   : QStringLiteral("QUOR.PasswordMedico");
}

bool frmInviaRicevi::ScriviPasswordServer(const QString &password)
{
    return m_server.usaDatabaseRete() &&
           m_server.esegui(QStringLiteral("UPDATE tblmedici SET Password=? WHERE ID=?"), {password, m_stato.id});
}

// --- the access to the server --------------------------------------------------------------------

bool frmInviaRicevi::IdentificaLocale()
{
    clinora::ClsDB &db = *m_stato.db;
    QString cf;
    bool riga = false;
    if (auto rs = db.OpenRecordset(QStringLiteral("SELECT CodiceFiscale FROM tblMedico WHERE IDRete=1"),
                                   clinora::ClsDB::SoloAvanti)) {
        riga = !rs->Eof();
        if (riga) {
            cf = rs->Campo(QStringLiteral("CodiceFiscale")).toString().trimmed().toUpper();
        }
    }
    if (riga && cf.isEmpty() && m_stato.satpeAttivo) {
        // The sibling plug-in knows the doctor: his code fills the empty one here.
        if (auto rs =
                db.OpenRecordset(QStringLiteral("SELECT Valore FROM SOLE_tblConfig WHERE [Key]='CodiceFiscaleMedico'"),
                                 clinora::ClsDB::SoloAvanti)) {
            if (!rs->Eof()) {
                cf = rs->Campo(QStringLiteral("Valore")).toString().trimmed().toUpper();
            }
        }
        if (!cf.isEmpty()) {
            db.Execute(QStringLiteral("Update tblMedico Set CodiceFiscale='%1' Where IDRete=1")
                           .arg(QString(cf).replace(QLatin1Char('\''), QStringLiteral("''"))));
        }
    }
    m_stato.cf = cf;
    const QString ricordata = LeggiArcItems(ChiavePassword());
    if (!ricordata.isEmpty()) {
        m_stato.password = ricordata;
    }
    if (cf.size() != 16) {
        return Fallisci(QStringLiteral("Codice fiscale del medico non corretto"));
    }
    return true;
}

bool frmInviaRicevi::Accesso(bool cambioPassword)
{
    Messaggio(QStringLiteral("Accesso al server remoto"));
    if (!m_stato.db) {
        return Fallisci(QStringLiteral("Archivio non aperto"));
    }
    if (!IdentificaLocale()) {
        return false;
    }
    if (!m_server.connettiRiusando(lanvera::ImpostazioniServer::daIni())) {
        return Fallisci(m_server.ultimoErrore());
    }
    Messaggio(QStringLiteral("Identificazione"));
    if (!m_server.usaDatabaseRete()) {
        return Fallisci(QStringLiteral("Accesso: Errore ") + m_server.errore().testo());
    }
    QSqlQuery q(m_server.database());
    q.prepare(QStringLiteral("SELECT * FROM tblmedici WHERE (CF=?) AND (Sospeso=0)"));
    q.addBindValue(m_stato.cf);
    if (!q.exec()) {
        return Fallisci(QStringLiteral("Accesso: Errore ") + lanvera::ErroreServer(q.lastError()).testo());
    }
    if (!q.next()) {
        return Fallisci(QStringLiteral("Medico non trovato"));
    }
    const QSqlRecord r = q.record();
    const QString nome =
        nominativo(r.value(QStringLiteral("Cognome")).toString(), r.value(QStringLiteral("Nome")).toString());
    const QString sulServer = r.value(QStringLiteral("Password")).toString();
    m_stato.id = r.value(QStringLiteral("ID")).toInt();
    q.finish();

    if (sulServer.isEmpty()) {
        if (!ChiediNuovaPassword(m_stato.risposte, m_stato.cf, nome, this)) {
            return Fallisci(QStringLiteral("Password di accesso non impostata"));
        }
        const QString nuova = Module1::CifraPassword(Module1::Risultato1());
        if (!ScriviPasswordServer(nuova)) {
            return Fallisci(QStringLiteral("Accesso: Errore ") + m_server.errore().testo());
        }
        m_stato.password = nuova;
        ScriviArcItems(QStringLiteral("QUOR.PasswordMedicoSync"), nuova);
        ScriviArcItems(ChiavePassword(), Module1::Risultato2() == QLatin1String("1") ? nuova : QString());
    } else if (m_stato.password == sulServer) {
        ScriviArcItems(QStringLiteral("QUOR.PasswordMedicoSync"), m_stato.password);
    } else {
        if (!ChiediPassword(m_stato.risposte, m_stato.cf, nome, this)) {
            return false;
        }
        const QString digitata = Module1::CifraPassword(Module1::Risultato2());
        if (digitata != sulServer) {
            return Fallisci(QStringLiteral("Password non valida"));
        }
        m_stato.password = digitata;
        if (Module1::Risultato3() == QLatin1String("1")) {
            ScriviArcItems(ChiavePassword(), digitata);
        }
    }
    m_stato.idGruppo = r.value(QStringLiteral("IDGruppo")).toInt();
    m_stato.progressivo = r.value(QStringLiteral("Progressivo")).toInt();
    VerificaOrologio();

    if (cambioPassword && ChiediNuovaPassword(m_stato.risposte, m_stato.cf, nome, this)) {
        const QString nuova = Module1::CifraPassword(Module1::Risultato1());
        m_stato.password = nuova;
        if (!ScriviPasswordServer(nuova)) {
            return Fallisci(QStringLiteral("Accesso: Errore ") + m_server.errore().testo());
        }
        ScriviArcItems(QStringLiteral("QUOR.PasswordMedicoSync"), nuova);
        ScriviArcItems(ChiavePassword(), Module1::Risultato2() == QLatin1String("1") ? nuova : QString());
    }
    return SvuotaUscita() && !m_annullato;
}

void frmInviaRicevi::VerificaOrologio()
{
    // Changes made here are stamped with this computer's clock and weighed against the others'
    // on the server's: a clock far from the server's makes them win or lose wrongly.
    QDateTime oraServer;
    if (!m_server.leggiOraServer(oraServer)) {
        m_stato.motore.scartoServerMs.reset();
        return;
    }
    m_stato.motore.scartoServerMs = QDateTime::currentDateTimeUtc().msecsTo(oraServer);
    const QString avviso =
        lanvera::AvvisoOrologio(m_stato.adesso ? m_stato.adesso() : QDateTime::currentDateTime(), oraServer);
    if (!avviso.isEmpty()) {
        ScriviRiga(avviso, true);
    }
}

// --- operation 1: the authorisation table --------------------------------------------------------

bool frmInviaRicevi::RileggiAutorizzazioni()
{
    if (!Accesso(false)) {
        return false;
    }
    Messaggio(QStringLiteral("Lettura medici"));
    m_stato.medici.clear();
    {
        QSqlQuery q(m_server.database());
        q.prepare(QStringLiteral("SELECT CF,Cognome,Nome,Progressivo FROM tblmedici WHERE (IDGruppo=?) AND (Sospeso=0) "
                                 "ORDER BY Cognome,Nome"));
        q.addBindValue(m_stato.idGruppo);
        if (!m_server.usaDatabaseRete() || !q.exec()) {
            return Fallisci(QStringLiteral("Lettura medici: Errore ") + lanvera::ErroreServer(q.lastError()).testo());
        }
        while (!m_annullato && q.next()) {
            const QString cf = q.value(0).toString();
            if (cf.compare(m_stato.cf, Qt::CaseInsensitive) != 0) {
                m_stato.medici.append({cf, q.value(1).toString(), q.value(2).toString(), q.value(3).toInt()});
            }
        }
    }
    if (m_annullato) {
        return false;
    }

    Messaggio(QStringLiteral("Lettura propri pazienti su server"));
    const auto continua = [this] {
        QApplication::processEvents();
        return !m_annullato;
    };
    lanvera::dao::Errore e;
    if (!clsSincronizza::LeggiPazientiServerDa(m_server.database(), m_stato.cf, m_stato.pazientiServer, continua, &e)) {
        return Fallisci(QStringLiteral("Lettura lista pazienti: Errore ") + e.testo());
    }
    Messaggio(QStringLiteral("Lettura pazienti in locale"));
    {
        lanvera::dao::Database archivio;
        if (!archivio.apri(m_stato.db->Name(), true) ||
            !clsSincronizza::LeggiPazientiArchivio(archivio, m_stato.cf, QDate::currentDate(), m_stato.pazientiLocali,
                                                   continua, &e)) {
            return Fallisci(QStringLiteral("Lettura lista pazienti: Errore ") +
                            (archivio.aperto() ? e : archivio.ultimoErrore()).testo());
        }
    }
    if (m_annullato) {
        return false;
    }

    Messaggio(QStringLiteral("Organizzo la tabella"));
    const int medici = int(m_stato.medici.size());
    QList<clsPaziente> &locali = m_stato.pazientiLocali.pazienti();
    m_stato.tabella = QList<QStringList>(medici + 2, QStringList(1));
    for (int j = 1; j <= medici; ++j) {
        const clsMedico &m = m_stato.medici.at(j - 1);
        m_stato.tabella[j][0] = m.Cognome + QLatin1Char('\n') + m.Nome;
    }
    for (int i = 0; i < locali.size(); ++i) {
        clsPaziente &p = locali[i];
        if (p.Revocato != 0 || !p.Allineato) {
            continue;
        }
        if (const clsPaziente *s = m_stato.pazientiServer.trova(p.KeyPaziente)) {
            p.Autorizzazioni = s->Autorizzazioni;
            p.IDDatabase = s->IDDatabase;
        }
        m_stato.tabella[0] << nominativo(p.Cognome, p.Nome);
        m_stato.tabella[medici + 1] << QString::number(i);
        for (int j = 1; j <= medici; ++j) {
            const int k = m_stato.medici.at(j - 1).Progressivo;
            m_stato.tabella[j] << (k >= 1 && p.Autorizzazioni.mid(k - 1, 1) == QLatin1String("1") ? QStringLiteral("1")
                                                                                                  : QString());
        }
    }
    return !m_annullato;
}

// --- operation 2: sending the changed authorisations ---------------------------------------------

bool frmInviaRicevi::InviaAutorizzazioni()
{
    if (!Accesso(false)) {
        return false;
    }
    Messaggio(QStringLiteral("Analisi dei dati da sincronizzare"));
    const int medici = int(m_stato.medici.size());
    QList<clsPaziente> &locali = m_stato.pazientiLocali.pazienti();
    for (int r = 1; r < m_stato.righe() && !m_annullato; ++r) {
        QString testo(medici, QLatin1Char('0'));
        for (int j = 1; j <= medici; ++j) {
            const int k = m_stato.medici.at(j - 1).Progressivo;
            if (k < 1) {
                continue;
            }
            if (testo.size() < k) {
                testo = testo.leftJustified(k, QLatin1Char('0'));
            }
            if (m_stato.cella(j, r) == QLatin1String("1")) {
                testo[k - 1] = QLatin1Char('1');
            }
        }
        const int i = m_stato.cella(medici + 1, r).toInt();
        if (i < 0 || i >= locali.size()) {
            continue;
        }
        clsPaziente &p = locali[i];
        if (testo == p.Autorizzazioni) {
            QApplication::processEvents();
            continue;
        }
        if (!m_server.usaDatabaseRete()) {
            return Fallisci(QStringLiteral("Invio Cartella: Errore ") + testoErrore(m_server.errore()));
        }
        QSqlQuery q(m_server.database());
        q.prepare(QStringLiteral("SELECT ID FROM tblanagrafica WHERE (IDPaziente=?) AND (CFMedico=?)"));
        q.addBindValue(p.KeyPaziente);
        q.addBindValue(p.IDDatabase != 0 ? p.CFMedico : m_stato.cf);
        if (!q.exec()) {
            return Fallisci(QStringLiteral("Invio Cartella: Errore ") +
                            testoErrore(lanvera::ErroreServer(q.lastError())));
        }
        const QVariant idRiga = q.next() ? q.value(0) : QVariant();
        q.finish();
        if (p.IDDatabase != 0) {
            Messaggio(QStringLiteral("Aggiorno autorizzazioni di ") + nominativo(p.Cognome, p.Nome));
            if (idRiga.isValid()) {
                if (!m_server.esegui(QStringLiteral("UPDATE tblanagrafica SET Autorizzazioni=? WHERE ID=?"),
                                     {testo, idRiga})) {
                    return Fallisci(QStringLiteral("Invio Cartella: Errore ") + testoErrore(m_server.errore()));
                }
                p.Autorizzazioni = testo;
            }
        } else if (testo.contains(QLatin1Char('1'))) {
            Messaggio(QStringLiteral("Aggiorno autorizzazione di ") + nominativo(p.Cognome, p.Nome));
            const qint32 database = p.IDDatabase != 0 ? p.IDDatabase : m_stato.id;
            const QDate nascita = QDate::fromString(p.DataNascita, QStringLiteral("dd/MM/yyyy"));
            const QVariantList valori{
                p.KeyPaziente,  p.CF,
                p.Tessera,      p.Cognome,
                p.Nome,         p.Indirizzo,
                p.Citta,        p.CAP,
                p.Provincia,    p.Sesso,
                p.LuogoNascita, nascita.isValid() ? QVariant(p.DataNascita) : QVariant(QMetaType(QMetaType::QString)),
                m_stato.cf,     testo,
                database};
            const QString campi =
                QStringLiteral("IDPaziente=?, CF=?, Tessera=?, Cognome=?, Nome=?, Indirizzo=?, Citta=?, "
                               "CAP=?, Provincia=?, Sesso=?, LuogoNascita=?, DataNascita=?, "
                               "CFMedico=?, Autorizzazioni=?, IDDatabase=?");
            const bool ok =
                idRiga.isValid()
                    ? m_server.esegui(QStringLiteral("UPDATE tblanagrafica SET %1 WHERE ID=?").arg(campi),
                                      QVariantList(valori) << idRiga)
                    : m_server.esegui(QStringLiteral("INSERT INTO tblanagrafica SET %1").arg(campi), valori);
            if (!ok) {
                return Fallisci(QStringLiteral("Invio Cartella: Errore ") + testoErrore(m_server.errore()));
            }
            p.Autorizzazioni = testo;
            p.IDDatabase = database;
            if (clsPaziente *s = m_stato.pazientiServer.trova(p.KeyPaziente)) {
                *s = p;
            } else {
                m_stato.pazientiServer.aggiungi(p);
            }
        }
        QApplication::processEvents();
    }
    return !m_annullato;
}

// --- operation 3: a colleague's patients on the server ------------------------------------------

bool frmInviaRicevi::CercaSuServer()
{
    if (!Accesso(false)) {
        return false;
    }
    m_stato.risultatiRicerca.svuota();
    if (!m_server.usaDatabaseRete()) {
        return Fallisci(QStringLiteral("Cerca pazienti su server: Errore ") + testoErrore(m_server.errore()));
    }
    if (!ScegliMedico(m_stato.risposte, m_server, m_stato.idGruppo, m_stato.cf, m_stato.iniHostPresente, this)) {
        return false;
    }
    const QString medico = Module1::Risultato1();
    if (!Module1::Risultato2().trimmed().isEmpty()) {
        modUlmet::CercaPazienteUlmet(m_stato, *this, m_stato.richiesta.ChiavePaziente, medico);
        return !m_annullato;
    }
    // "*" stands for any run of characters; the text always matches the start of the name.
    const QString modello =
        QString(m_stato.richiesta.ChiavePaziente).replace(QLatin1Char('*'), QLatin1Char('%')) + QLatin1Char('%');
    QSqlQuery q(m_server.database());
    q.prepare(QStringLiteral(
        "SELECT tblanagrafica.*, tblmedici.Cognome AS CognomeMedico, tblmedici.Nome AS NomeMedico FROM tblanagrafica "
        "INNER JOIN tblmedici ON tblanagrafica.CFMedico=tblmedici.CF WHERE (tblmedici.IDGruppo=?) AND "
        "(tblmedici.CF=?) AND (Concat(tblanagrafica.Cognome,' ',tblanagrafica.Nome) LIKE ?) AND (tblmedici.Sospeso=0) "
        "ORDER BY tblanagrafica.Cognome, tblanagrafica.Nome"));
    q.addBindValue(m_stato.idGruppo);
    q.addBindValue(medico);
    q.addBindValue(modello);
    if (!q.exec()) {
        return Fallisci(QStringLiteral("Cerca pazienti su server: Errore ") +
                        testoErrore(lanvera::ErroreServer(q.lastError())));
    }
    const QSqlRecord r = q.record();
    const auto testo = [&q, &r](const char *campo) {
        const int i = r.indexOf(QLatin1StringView(campo));
        return i < 0 ? QString() : lanvera::dao::ComeTesto(q.value(i));
    };
    while (!m_annullato && q.next()) {
        const bool proprio = testo("CFMedico").compare(m_stato.cf, Qt::CaseInsensitive) == 0;
        const bool autorizzato =
            m_stato.progressivo >= 1 && testo("Autorizzazioni").mid(m_stato.progressivo - 1, 1) == QLatin1String("1");
        if ((proprio && !m_stato.iniHostPresente) || !(autorizzato || (proprio && m_stato.iniHostPresente))) {
            QApplication::processEvents();
            continue;
        }
        clsPaziente p;
        p.ID = r.indexOf(QLatin1StringView("ID")) < 0 ? 0 : q.value(r.indexOf(QLatin1StringView("ID"))).toInt();
        p.KeyPaziente = testo("IDPaziente");
        p.CF = testo("CF");
        p.Tessera = testo("Tessera");
        p.Cognome = testo("Cognome");
        p.Nome = testo("Nome");
        p.Indirizzo = testo("Indirizzo");
        p.Citta = testo("Citta");
        p.Provincia = testo("Provincia");
        p.Sesso = testo("Sesso");
        p.LuogoNascita = testo("LuogoNascita");
        const QDateTime nascita = lanvera::dao::ComeData(q.value(r.indexOf(QLatin1StringView("DataNascita"))));
        p.DataNascita =
            nascita.isValid() ? nascita.date().toString(QStringLiteral("dd/MM/yyyy")) : testo("DataNascita");
        p.CFMedico = testo("CFMedico");
        p.IDUpdate = testo("IDUpdate");
        p.IDDatabase = q.value(r.indexOf(QLatin1StringView("IDDatabase"))).toInt();
        p.Autorizzazioni = testo("Autorizzazioni");
        p.Medico = testo("CognomeMedico") + QLatin1Char(' ') + testo("NomeMedico");
        m_stato.risultatiRicerca.aggiungi(p);
        QApplication::processEvents();
    }
    return !m_annullato;
}

// --- operation 4: a colleague's chart into the network archive ----------------------------------

QString frmInviaRicevi::TabelleDelMedico()
{
    return QStringLiteral("arcItems,tblImpostazioni,tblMacro,tblMedico,tblNote,tblSetupUtente,tblSottomacro,tblUtenti,"
                          "tblValoriImpostazioni,SOLE_tblConfig,SOLE_tblIDPrestazione,tblRicetteStampate,"
                          "tblPrescrizioniRicetta");
}

QString frmInviaRicevi::ArchivioRete()
{
    return lanvera::CartellaTemp() + QStringLiteral("/Lanvera/ClinoraQUOR.mdb");
}

// Rows of an earlier chart that were never sent (the host closed before its window) are kept in the
// outbox, as what their owner's side takes: a modifications package for the server, the chart
// document for the Ulmet service. Then they count as sent, so that they are never kept twice.
bool frmInviaRicevi::ConservaNonInviate(const QString &archivio)
{
    if (!QFileInfo(archivio).isFile() || QFileInfo(archivio).isSymLink()) {
        return true;
    }
    QString chiave;
    QString titolare;
    QStringList tabelle;
    {
        lanvera::dao::Database vecchio;
        if (!vecchio.apri(archivio)) {
            return true; // not an archive: nothing of it can be kept, and it is replaced
        }
        QSqlQuery q(vecchio.connessione());
        if (q.exec(QStringLiteral("SELECT [Key], Item FROM arcItems WHERE [Key] IN ('QUOR.ChiavePaziente', "
                                  "'QUOR.CFMedicoTitolare')"))) {
            while (q.next()) {
                (q.value(0).toString() == QLatin1String("QUOR.ChiavePaziente") ? chiave : titolare) =
                    q.value(1).toString();
            }
        }
        q.finish();
        // One statement asks every chart table that has the column whether it holds unsent rows.
        const QHash<QString, QStringList> colonne = vecchio.campiTabelle();
        QStringList domande;
        for (const clsTabelle &t : std::as_const(m_stato.motore.tabelle)) {
            const auto c = colonne.constFind(t.Tabella.toLower());
            if (c != colonne.cend() && c->contains(QStringLiteral("ToSend"), Qt::CaseInsensitive)) {
                domande << QStringLiteral("SELECT %1 WHERE EXISTS (SELECT 1 FROM %2 WHERE ToSend<>-1)")
                               .arg(QLatin1Char('\'') + lanvera::QuoteSQL(t.Tabella) + QLatin1Char('\''),
                                    lanvera::dao::Parentesi(t.Tabella));
            }
        }
        QSqlQuery r(vecchio.connessione());
        if (!domande.isEmpty() && r.exec(domande.join(QStringLiteral(" UNION ALL ")))) {
            while (r.next()) {
                tabelle << r.value(0).toString();
            }
        }
        tabelle.removeDuplicates();
    }
    if (tabelle.isEmpty()) {
        return true;
    }
    if (chiave.isEmpty()) {
        return false; // whose they are is not known: the archive is not replaced
    }
    QString modifiche;
    QString errore;
    bool ok = false;
    if (chiave.startsWith(QStringLiteral("Ulmet."))) {
        ArchivioHost vecchio;
        ok = vecchio.apri(archivio) && modUlmet::DatiDaInviare(vecchio, modifiche);
    } else {
        ok = CreaModifiche(m_stato, tabelle, archivio, modifiche, errore);
    }
    if (!ok || (!modifiche.isEmpty() && !Accantona(m_stato.userDisk, chiave, m_stato.cf, titolare, modifiche))) {
        return false;
    }
    lanvera::dao::Database vecchio;
    if (vecchio.apri(archivio)) {
        for (const QString &t : std::as_const(tabelle)) {
            vecchio.esegui(QStringLiteral("UPDATE %1 SET ToSend=-1 WHERE ToSend<>-1").arg(lanvera::dao::Parentesi(t)));
        }
    }
    return true;
}

bool frmInviaRicevi::ScaricaPaziente()
{
    const QString operazione = QStringLiteral("Scarica paziente dal server");
    const QString chiave = m_stato.richiesta.ChiavePaziente;
    if (!Accesso(false)) {
        return false;
    }
    const clsPaziente *trovato = m_stato.risultatiRicerca.trova(chiave);
    if (!trovato) {
        return false;
    }
    const clsPaziente p = *trovato;
    if (!ConservaNonInviate(ArchivioRete())) {
        return Fallisci(operazione + QStringLiteral(": Errore le modifiche non inviate della cartella aperta in "
                                                    "precedenza non possono essere conservate"));
    }
    if (chiave.startsWith(QStringLiteral("Ulmet."))) {
        QString errore;
        if (!modUlmet::CaricaPazienteUlmet(m_stato, *this, p, errore)) {
            return Fallisci(errore);
        }
        clinora::FinestraPrincipale *principale = m_stato.principale;
        QString percorso = m_stato.richiesta.ArchivioRete;
        if (!principale || !principale->DBSwitchON(percorso)) {
            return false;
        }
        m_stato.richiesta.ChiaveUlmetCorrente = chiave;
        return true;
    }
    const QString archivio = ArchivioRete();
    Messaggio(QStringLiteral("Scarico cartella di ") + nominativo(p.Cognome, p.Nome));
    if (!m_server.usaDatabaseCartelle(p.IDDatabase)) {
        return Fallisci(operazione + QStringLiteral(": Errore ") + testoErrore(m_server.errore()));
    }
    QString testo;
    {
        QSqlQuery q(m_server.database());
        q.prepare(QStringLiteral("SELECT Cartella FROM tblcartella WHERE IDPaziente=?"));
        q.addBindValue(chiave);
        if (!q.exec()) {
            return Fallisci(operazione + QStringLiteral(": Errore ") +
                            testoErrore(lanvera::ErroreServer(q.lastError())));
        }
        if (!q.next()) {
            return Fallisci(operazione + QStringLiteral(": La cartella non esiste"));
        }
        testo = q.value(0).toString();
    }
    Messaggio(QStringLiteral("Apertura di ") + nominativo(p.Cognome, p.Nome));
    // The package is checked and unpacked as Sync does it, in its owner-only work folder.
    PacchettoCartella pacchetti(m_stato.motore);
    lanvera::dao::Database pacchetto;
    if (!pacchetti.ApriPacchetto(testo, operazione, pacchetto)) {
        return Fallisci(m_stato.motore.messaggioErrore);
    }
    struct Chiudi
    {
        PacchettoCartella &p;
        lanvera::dao::Database &db;
        ~Chiudi() { p.ChiudiPacchetto(db); }
    } chiudi{pacchetti, pacchetto};

    QString errore;
    if (!lanvera::PreparaCartellaPrivata(QFileInfo(archivio).absolutePath(), &errore)) {
        return Fallisci(operazione + QStringLiteral(": Errore ") + errore);
    }
    // A name left there, a link included, is replaced, never followed.
    QFile::remove(archivio);
    if (!QFile::copy(lanvera::CartellaProgramma() + QStringLiteral("/ClinoraTemp.mdb"), archivio)) {
        return Fallisci(operazione + QStringLiteral(": Errore copia di ClinoraTemp.mdb"));
    }
    QFile::setPermissions(archivio, QFile::ReadOwner | QFile::WriteOwner);
    QString percorso = archivio;
    QString tabelle = TabelleDelMedico();
    clinora::FinestraPrincipale *principale = m_stato.principale;
    if (!principale || !principale->AggiornaDatabase(percorso, tabelle)) {
        return Fallisci(operazione + QStringLiteral(": Errore verifica struttura"));
    }
    if (!CopiaCartella(pacchetto.percorso(), archivio, chiave, p.CFMedico)) {
        return false;
    }
    {
        QSqlQuery q(pacchetto.connessione());
        m_stato.richiesta.IDPazienteImportato =
            q.exec(QStringLiteral("SELECT ID FROM tblAnagrafica")) && q.next() ? q.value(0).toString() : QString();
    }
    m_stato.richiesta.ArchivioRete = archivio;
    return principale->DBSwitchON(percorso);
}

bool frmInviaRicevi::CopiaCartella(const QString &pacchetto, const QString &archivio, const QString &chiave,
                                   const QString &titolare)
{
    const QString prefisso = QStringLiteral("Scarica paziente dal server: Errore ");
    lanvera::dao::Database rete;
    if (!rete.apri(archivio) || !rete.collegaDestinazione(pacchetto)) {
        return Fallisci(prefisso + rete.ultimoErrore().testo());
    }
    // The archive is being built from nothing: should the computer stop before it is complete, the
    // chart is simply downloaded again. So the copy does not wait for the disk; the host's first
    // write of the colleague's own work flushes it with everything before it.
    QSqlQuery(rete.connessione()).exec(QStringLiteral("PRAGMA main.synchronous=OFF"));
    // Every table of the network archive that the package holds: its common columns, the sent
    // marks as "as sent".
    if (!rete.iniziaTransazione()) {
        return Fallisci(prefisso + rete.ultimoErrore().testo());
    }
    const QHash<QString, QStringList> delPacchetto = rete.campiTabelle(QStringLiteral("lv_dest"));
    const QHash<QString, QStringList> diQui = rete.campiTabelle();
    for (auto tabella = diQui.cbegin(); tabella != diQui.cend(); ++tabella) {
        const auto colonne = delPacchetto.constFind(tabella.key());
        if (colonne == delPacchetto.cend()) {
            continue;
        }
        QStringList campi;
        QStringList valori;
        for (const QString &campo : tabella.value()) {
            if (!colonne->contains(campo, Qt::CaseInsensitive)) {
                continue;
            }
            campi << lanvera::dao::Parentesi(campo);
            const QString minuscolo = campo.toLower();
            valori << (minuscolo == QLatin1String("tosend") || minuscolo == QLatin1String("torepl")
                           ? QStringLiteral("-1")
                           : QStringLiteral("p.") + lanvera::dao::Parentesi(campo));
        }
        if (campi.isEmpty()) {
            continue;
        }
        if (!rete.esegui(QStringLiteral("INSERT INTO main.%1 (%2) SELECT %3 FROM lv_dest.%1 AS p")
                             .arg(lanvera::dao::Parentesi(tabella.key()), campi.join(QLatin1Char(',')),
                                  valori.join(QLatin1Char(','))))) {
            const QString e = rete.ultimoErrore().testo();
            rete.annullaTransazione();
            return Fallisci(prefisso + e);
        }
    }
    // Whose chart it is stays with the archive, for changes that outlive this session.
    if (!rete.esegui(QStringLiteral("INSERT INTO arcItems ([Key], Item) VALUES ('QUOR.ChiavePaziente', ?), "
                                    "('QUOR.CFMedicoTitolare', ?)"),
                     {chiave, titolare}) ||
        !rete.confermaTransazione()) {
        const QString e = rete.ultimoErrore().testo();
        rete.annullaTransazione();
        return Fallisci(prefisso + e);
    }
    rete.staccaDestinazione();
    return true;
}

// --- operation 5: the changes of a downloaded chart go back --------------------------------------

bool frmInviaRicevi::CreaModifiche(StatoPlugin &stato, const QStringList &tabelle, const QString &archivio,
                                   QString &testo, QString &errore)
{
    PacchettoCartella pacchetti(stato.motore);
    const bool ospite = stato.db && stato.db->Name() == archivio;
    const bool ok = pacchetti.CreaPacchetto(
        QStringLiteral("Crea Modifiche"),
        [&](const QString &file, QString &motivo) {
            lanvera::dao::Database diretto;
            if (!ospite && !diretto.apri(archivio)) {
                motivo = diretto.ultimoErrore().testo();
                return false;
            }
            for (const QString &t : tabelle) {
                const QString sql =
                    QStringLiteral("SELECT [%1].* INTO [%1] IN \"%2\" FROM [%1] WHERE ToSend<>-1").arg(t, file);
                if (!(ospite ? stato.db->Execute(sql) : diretto.esegui(sql))) {
                    motivo = ospite ? stato.db->UltimoErrore() : diretto.ultimoErrore().testo();
                    return false;
                }
            }
            diretto.staccaDestinazione();
            return true;
        },
        testo);
    if (!ok) {
        errore = stato.motore.messaggioErrore;
    }
    return ok;
}

QString frmInviaRicevi::CartellaUscita(const QString &userDisk)
{
    return userDisk + QStringLiteral("/Plugins/plgLanvera/Uscita");
}

bool frmInviaRicevi::Accantona(const QString &userDisk, const QString &chiave, const QString &medico,
                               const QString &titolare, const QString &pacchetto)
{
    const QString cartella = CartellaUscita(userDisk);
    if (!lanvera::PreparaCartellaPrivata(cartella)) {
        return false;
    }
    const QJsonObject voce{{QStringLiteral("IDPaziente"), chiave},
                           {QStringLiteral("CFMedico"), medico},
                           {QStringLiteral("CFMedicoTitolare"), titolare},
                           {QStringLiteral("Modifiche"), pacchetto}};
    // Named by the moment, so that the oldest goes first.
    QSaveFile file(cartella + QLatin1Char('/') +
                   QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz")) + QLatin1Char('-') +
                   lanvera::CreaGUID().mid(1, 8) + QStringLiteral(".json"));
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(voce).toJson(QJsonDocument::Compact)) > 0 &&
           file.commit();
}

bool frmInviaRicevi::SvuotaUscita()
{
    const QDir cartella(CartellaUscita(m_stato.userDisk));
    const QStringList voci = cartella.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString &nome : voci) {
        QFile file(cartella.filePath(nome));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QJsonObject voce = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        Messaggio(QStringLiteral("Invio modifiche in attesa"));
        const QString chiave = voce.value(QStringLiteral("IDPaziente")).toString();
        if (chiave.startsWith(QStringLiteral("Ulmet."))) {
            if (!modUlmet::InviaDatiUlmet(m_stato, this, chiave,
                                          voce.value(QStringLiteral("CFMedicoTitolare")).toString(),
                                          voce.value(QStringLiteral("Modifiche")).toString())) {
                return Fallisci(QStringLiteral("Invio modifiche in attesa: Errore il servizio Ulmet non risponde"));
            }
            QFile::remove(cartella.filePath(nome));
            continue;
        }
        if (!m_server.usaDatabaseRete() ||
            !m_server.esegui(QStringLiteral("INSERT INTO tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, "
                                            "Modifiche) VALUES (?, ?, ?, ?)"),
                             {voce.value(QStringLiteral("IDPaziente")).toString(),
                              voce.value(QStringLiteral("CFMedico")).toString(),
                              voce.value(QStringLiteral("CFMedicoTitolare")).toString(),
                              voce.value(QStringLiteral("Modifiche")).toString()})) {
            return Fallisci(QStringLiteral("Invio modifiche in attesa: Errore ") + testoErrore(m_server.errore()));
        }
        QFile::remove(cartella.filePath(nome));
    }
    return true;
}

QString frmInviaRicevi::TitolareArchivio() const
{
    if (m_stato.db) {
        if (auto rs =
                m_stato.db->OpenRecordset(QStringLiteral("Select Item from arcItems where Key='QUOR.CFMedicoTitolare'"),
                                          clinora::ClsDB::SoloAvanti)) {
            return rs->Eof() ? QString() : rs->Campo(QStringLiteral("Item")).toString();
        }
    }
    return {};
}

bool frmInviaRicevi::InviaModifiche()
{
    if (!Accesso(false)) {
        return false;
    }
    const QString ulmet = m_stato.richiesta.ChiaveUlmetCorrente;
    if (!ulmet.isEmpty()) {
        const clsPaziente *p = m_stato.risultatiRicerca.trova(ulmet);
        const QString titolare = p ? p->CFMedico : TitolareArchivio();
        Messaggio(QStringLiteral("Invio modifiche di ") +
                  (p ? nominativo(p->Cognome, p->Nome) : m_stato.richiesta.NomePaziente));
        QString errore;
        return modUlmet::SalvaPazienteUlmet(m_stato, *this, ulmet, titolare, errore) || Fallisci(errore);
    }
    Messaggio(QStringLiteral("Invio modifiche di ") + m_stato.richiesta.NomePaziente);
    QString pacchetto;
    QString errore;
    if (!CreaModifiche(m_stato, m_stato.richiesta.ElencoTabelle.split(QLatin1Char(','), Qt::SkipEmptyParts),
                       m_stato.db ? m_stato.db->Name() : QString(), pacchetto, errore)) {
        return Fallisci(errore);
    }
    const QString chiave = m_stato.richiesta.ChiavePaziente;
    const clsPaziente *p = m_stato.risultatiRicerca.trova(chiave);
    const QString titolare = p && !p->CFMedico.isEmpty() ? p->CFMedico : TitolareArchivio();
    m_stato.richiesta.ModificheCreate = pacchetto;
    m_stato.richiesta.TitolareModifiche = titolare;
    if (!m_server.usaDatabaseRete() ||
        !m_server.esegui(QStringLiteral("INSERT INTO tblmodifiche (IDPaziente, CFMedico, CFMedicoTitolare, Modifiche) "
                                        "VALUES (?, ?, ?, ?)"),
                         {chiave, m_stato.cf, titolare, pacchetto})) {
        return Fallisci(QStringLiteral("Invio modifiche: Errore ") + testoErrore(m_server.errore()));
    }
    return true;
}

// --- operation 7: removal ------------------------------------------------------------------------

bool frmInviaRicevi::Rimozione()
{
    if (!Accesso(false)) {
        return false;
    }
    for (clsPaziente &p : m_stato.pazientiServer.pazienti()) {
        if (m_annullato) {
            return false;
        }
        if (!p.Elimina) {
            continue;
        }
        Messaggio(QStringLiteral("Rimozione di ") + nominativo(p.Cognome, p.Nome));
        if (!m_server.usaDatabaseRete() ||
            !m_server.esegui(QStringLiteral("DELETE FROM tblanagrafica WHERE (IDPaziente=?) AND (CFMedico=?)"),
                             {p.KeyPaziente, p.CFMedico}) ||
            (p.IDDatabase != 0 &&
             (!m_server.usaDatabaseCartelle(p.IDDatabase) ||
              !m_server.esegui(QStringLiteral("DELETE FROM tblcartella WHERE IDPaziente=?"), {p.KeyPaziente})))) {
            return Fallisci(QStringLiteral("Rimozione dal server: Errore ") + testoErrore(m_server.errore()));
        }
        p.IDDatabase = 0;
        p.Autorizzazioni.clear();
        p.Elimina = false;
    }
    return true;
}
