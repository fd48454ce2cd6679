#pragma once

#include "Database.h"
#include "ListaPazienti.h"
#include "StatoMotore.h"
#include "clsPaziente.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace lanvera {
class ConnessioneServer;
}
class PacchettoCartella;
class UnioneCartella;

// Synchronises one archive at a time with the group's server: identifies the doctor, logs him in,
// reads the server's and the archive's patient lists and brings charts up to date both ways.
// Every line goes to the archive log beside the archive and out through Log().
class clsSincronizza : public QObject
{
    Q_OBJECT

public:
    explicit clsSincronizza(QObject *parent = nullptr);
    ~clsSincronizza() override;

    // Keeps the server connection and loads the list of chart tables (a failed load leaves the
    // list empty and is not reported here).
    void Init(lanvera::ConnessioneServer &serverDB);
    // Synchronises one archive; true when every step succeeded.
    bool Sincronizza(const QString &fileName);
    // Asks the run in progress to stop.
    void Annulla();
    // Error lines written to the archive log during the latest Sincronizza.
    qint32 Errori() const { return m_errori; }
    // What the latest Sincronizza did: charts sent, charts downloaded (new or brought up to date),
    // colleagues' modification packages merged.
    qint32 Inviate() const { return m_inviate; }
    qint32 Scaricate() const { return m_scaricate; }
    qint32 Unite() const { return m_unite; }
    // Rows of which the latest Sincronizza kept a losing version in the archive's conflict record.
    int Conflitti() const { return m_stato.conflitti; }
    // The server's clock less this computer's real clock, as read at the latest login; empty when
    // it could not be read.
    std::optional<qint64> ScartoServerMs() const { return m_stato.scartoServerMs; }
    // How the latest Sincronizza ended: "Operazione conclusa", "Operazione annullata dall'utente",
    // the reason of the failed step, or the failure that the archive log does not hold; empty when
    // a step stopped without a reason.
    QString Esito() const { return m_esito; }

    // "Today" and "now" for the rules that depend on them.
    void impostaOrologio(std::function<QDateTime()> adesso) { m_adesso = std::move(adesso); }

    // Inner steps, public for the program and the tests.
    bool IdentificaMedico();
    bool AccessoServer();
    bool LeggiPazientiServer();
    bool LeggiPazientiLocali();
    bool TrovaPazienteLocale(const QString &chiave, clsPaziente &paziente) const;
    bool TrovaPazienteServer(const QString &chiave, clsPaziente &paziente) const;
    bool SincronizzaPazienti();
    bool InvioCartella(clsPaziente &paziente);
    // Marks the patient's chart as sent; the tables in `senzaRighe` hold none of his rows.
    bool ResetToSend(qint32 id, const QStringList &senzaRighe = {});
    bool DaInviare(qint32 id);
    // 0 not in the archive; 1 there as an own patient, 2 downloaded from a colleague, 3 private.
    int VerificaAnagraficaLocale(const clsPaziente &paziente);

    const ListaPazienti &PazientiServer() const { return m_pazientiServer; }
    const ListaPazienti &PazientiLocali() const { return m_pazientiLocali; }
    QString MessaggioErrore() const { return m_stato.messaggioErrore; }
    // The reason of the latest failure that the archive log does not hold; empty otherwise.
    QString ErroreNonGestito() const { return m_erroreNonGestito; }
    QString CFMedico() const { return m_cfMedico; }
    qint32 IDGruppo() const { return m_idGruppo; }
    qint32 Progressivo() const { return m_progressivo; }
    qint32 IDMedico() const { return m_idMedico; }
    bool Annullato() const { return m_stato.annullato; }

    // The network key of an archive's patient: fiscal code, surname and name, trimmed, joined
    // by ";" and lower-cased.
    static QString ChiavePaziente(const QString &cf, const QString &cognome, const QString &nome);
    // The archive's patients that take part in the network, as the local list holds them: the
    // filters, the revocation as of `oggi`, a network key taken once. `continua` runs before each
    // row (it lets events run) and stops the reading when it answers false.
    static bool LeggiPazientiArchivio(lanvera::dao::Database &archivio, const QString &cfMedico, const QDate &oggi,
                                      ListaPazienti &lista, const std::function<bool()> &continua,
                                      lanvera::dao::Errore *errore);
    // This doctor's patients on the server (the open database must be the network's), in the order
    // of their names; `continua` runs before each row and stops the reading when it answers false.
    static bool LeggiPazientiServerDa(const QSqlDatabase &server, const QString &cfMedico, ListaPazienti &lista,
                                      const std::function<bool()> &continua, lanvera::dao::Errore *errore);
    // The archive-log line of a run that recorded conflicts.
    static QString RigaConflitti(int conflitti);
    // "Avvio Sincronizzazione V.<major>.<minor>.<revision>".
    static QString RigaAvvio();
    // The network's server organisation, as the identity warnings name it.
    static QString OrganizzazioneServer() { return QStringLiteral("LANVERA"); }

Q_SIGNALS:
    // One line as written to the archive log (an empty text for an empty line).
    void Log(const QString &msg);

private:
    void ScriviLogArchivio(const QString &messaggio, bool errore = false);
    bool ImportaModificheServer();
    // Reads the server's clock after the login: the offset for the merge, a warning line when
    // this engine's clock is too far from it.
    void VerificaOrologio();
    // One patient of the server list; false only for a failure that ends the whole step.
    bool SincronizzaPaziente(clsPaziente &p);
    // The package text of a patient's chart on the server; false with the reason when it cannot be
    // read, true with an empty text when there is none.
    bool LeggiCartellaServer(const clsPaziente &p, QString &cartella, bool &trovata);
    void CalcolaTabelleToSend();
    // Remembers a failed server call; true when it lost the connection, which ends the walk.
    bool erroreServer(const lanvera::dao::Errore &errore);
    bool connessionePersa() const;
    // A failure that no step reports in the archive log (the archive cannot be opened or read):
    // the archive ends as failed, the reason goes to the run log.
    bool nonGestito(const QString &operazione, const lanvera::dao::Errore &errore);

    StatoMotore m_stato;
    lanvera::ConnessioneServer *m_server = nullptr;
    lanvera::dao::Database m_archivio;
    QString m_cartellaArchivio;
    bool m_haSole = false;
    qint32 m_errori = 0;
    qint32 m_inviate = 0;
    qint32 m_scaricate = 0;
    qint32 m_unite = 0;
    QString m_esito;
    QString m_erroreNonGestito;

    QString m_cfMedico;
    QString m_passwordSync;
    qint32 m_idGruppo = 0;
    qint32 m_progressivo = 0;
    qint32 m_idMedico = 0;

    ListaPazienti m_pazientiServer;
    ListaPazienti m_pazientiLocali;
    // The chart tables of this archive that keep ToSend per patient, worked out once per archive.
    QStringList m_tabelleToSend;
    lanvera::dao::Errore m_erroreServer; // the last failed server call of the walk

    std::unique_ptr<PacchettoCartella> m_pacchetto;
    std::unique_ptr<UnioneCartella> m_unione;

    std::function<QDateTime()> m_adesso = [] { return QDateTime::currentDateTime(); };
};
