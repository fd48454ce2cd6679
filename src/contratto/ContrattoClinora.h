#pragma once

// The contract between Clinora (the host) and its plug-ins: the host's objects as the plug-in sees
// them and the plug-in object as the host sees it. Host and plug-in share this header and nothing
// else; a host loads only a plug-in built against the same contract version.

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantHash>
#include <QVariantList>
#include <QtPlugin>

#include <memory>

class QIcon;
class QWidget;

// The version is part of the interface id: a plug-in of another version is refused by name.
#define CLINORA_PLUGIN_IID "it.dorvane.Clinora.PlugIn/1.0"

namespace clinora {

// A record set of the host's archive (OpenRecordset) or one record to write (OpenRecord).
class Record
{
public:
    virtual ~Record() = default;
    virtual bool Eof() const = 0;
    virtual void MoveNext() = 0;
    virtual void MoveLast() = 0;
    virtual int RecordCount() const = 0;
    // A field of the current record by name; an invalid QVariant for a field that is not there.
    virtual QVariant Campo(const QString &nome) const = 0;
    // Sets a field of a record opened with OpenRecord; written by ClsDB::Update.
    virtual void ImpostaCampo(const QString &nome, const QVariant &valore) = 0;
    virtual void CloseRecordset() = 0;
};

// The host's open archive.
class ClsDB
{
public:
    enum TipoRecordset
    {
        Dynaset = 2,
        SoloAvanti = 8
    };

    virtual ~ClsDB() = default;
    // Full path of the archive file.
    virtual QString Name() const = 0;
    // The database connection of the archive, for work the other members do not cover.
    virtual QSqlDatabase DB() const = 0;
    // Null when the statement fails (UltimoErrore says why).
    virtual std::unique_ptr<Record> OpenRecordset(const QString &sql, int tipo = Dynaset) = 0;
    // One statement; the host's Jet make-table form "SELECT [t].* INTO [t] IN "file" FROM [t] ..."
    // is understood.
    virtual bool Execute(const QString &sql) = 0;
    // The same inside a transaction of its own.
    virtual bool ExecuteTrans(const QString &sql) = 0;
    // The first record of `tabella` that meets `criterio`, or a new one when none does; written
    // back by Update. Null when the table cannot be read.
    virtual std::unique_ptr<Record> OpenRecord(const QString &tabella, const QString &criterio) = 0;
    virtual bool Update(Record &record) = 0;
    virtual QString UltimoErrore() const = 0;
};

// The answers the host gives for the plug-in: its message boxes and dialogs. The host shows them,
// or, in its script mode, answers them from the script.
class Risposte
{
public:
    enum class Icona
    {
        Informazione,
        Domanda,
        Esclamazione,
        Critico
    };
    enum class Pulsanti
    {
        Ok,
        SiNo,
        RiprovaAnnulla
    };
    enum class Risposta
    {
        Ok,
        Si,
        No,
        Riprova,
        Annulla
    };

    virtual ~Risposte() = default;
    virtual Risposta Messaggio(const QString &titolo, const QString &testo, Icona icona, Pulsanti pulsanti,
                               Risposta predefinita) = 0;
    // A dialog of the plug-in (its name, e.g. "password"): true with the values when the host
    // answers it itself; false when the plug-in is to show it to the user.
    virtual bool Dialogo(const QString &nome, QVariantHash &valori) = 0;
};

// A window of the host, known to the plug-in by its lower-case name.
class Finestra : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual QString Name() const = 0;
};

// What the plug-in puts inside a child window: the host forwards its toolbar buttons here.
class Pannello
{
public:
    virtual ~Pannello() = default;
    virtual void Execute(int id) = 0;
    virtual void TabChanged() = 0;
    virtual void Reload() = 0;
};

// A child window of the host's main window ("OpenChildForm").
class FinestraFiglia : public Finestra
{
    Q_OBJECT

public:
    using Finestra::Finestra;
    virtual void HandleForm(Pannello *pannello) = 0;
    virtual void ImpostaIcona(const QIcon &icona) = 0;
    virtual void ImpostaCaption(const QString &caption) = 0;
    // Embeds `area` as the window's content, under a tool bar with that identifier and title.
    virtual void InitGui(const QString &identificatore, const QString &titolo, QWidget *area) = 0;
    virtual void AddToolbarButton(int id, const QString &caption, const QString &tooltip, bool gruppo,
                                  const QIcon &immagine) = 0;
    virtual void Show() = 0;
    virtual void SetFocus() = 0;
    virtual void Unload() = 0;

Q_SIGNALS:
    // The window is being closed.
    void Scaricata();
};

// The host's main window ("frmmain").
class FinestraPrincipale : public Finestra
{
    Q_OBJECT

public:
    using Finestra::Finestra;
    virtual void DisabilitaWAN(bool disabilita) = 0;
    // Closes every child window of the host.
    virtual void ChiudiTutto() = 0;
    virtual FinestraFiglia *OpenChildForm() = 0;
    // Switches the host to the archive at that path.
    virtual bool DBSwitchON(QString &percorso) = 0;
    // Brings the archive at that path to the host's structure and fills the listed tables.
    virtual bool AggiornaDatabase(QString &percorso, QString &tabelle) = 0;

Q_SIGNALS:
    void Scaricata();
};

// The list of the patient search window ("TList1(0)"); rows and columns count from 0, row 0 is the
// header.
class ListaPazienti
{
public:
    virtual ~ListaPazienti() = default;
    virtual int Width() const = 0;
    virtual void Redraw(bool ridisegna) = 0;
    virtual int Row() const = 0;
    virtual void SetRow(int riga) = 0;
    virtual int Rows() const = 0;
    virtual void SetRows(int righe) = 0;
    // A row of tab-separated cell texts.
    virtual void AddItem(const QString &testo) = 0;
    virtual bool ColonnaVisibile(int colonna) const = 0;
    virtual void ImpostaColonnaVisibile(int colonna, bool visibile) = 0;
    virtual int LarghezzaColonna(int colonna) const = 0;
    virtual void ImpostaLarghezzaColonna(int colonna, int larghezza) = 0;
    virtual QVariant TagRiga(int riga) const = 0;
    virtual void ImpostaTagRiga(int riga, const QVariant &tag) = 0;
    virtual QString Cella(int riga, int colonna) const = 0;
};

// The host's patient search window ("frmricercapaziente").
class FinestraRicerca : public Finestra
{
    Q_OBJECT

public:
    using Finestra::Finestra;
    virtual QString TestoCerca() const = 0;
    virtual bool CercaVisibile() const = 0;
    virtual bool CercaAbilitato() const = 0;
    virtual void FocusCerca() = 0;
    virtual ListaPazienti &Lista() = 0;
    virtual void AbilitaAvanti(bool abilita) = 0;

Q_SIGNALS:
    void CercaSuServerClick();
    void GestioneClick();
};

// The host's chart window ("frmambulatorio").
class FinestraCartella : public Finestra
{
    Q_OBJECT

public:
    using Finestra::Finestra;

Q_SIGNALS:
    // The window is about to close.
    void QueryUnload();
};

// The plug-in object the host creates.
class PlugIn
{
public:
    virtual ~PlugIn() = default;
    // "clsDB" (a ClsDB *), "Disk", "UserDisk", "CommonDisk", "Versione", "Risposte" (a Risposte *).
    virtual void InitVariables(QVariantHash &variables) = 0;
    virtual void VerificaStruttura(ClsDB &db, const QString &versione, const QString &disk, const QString &userDisk,
                                   const QString &commonDisk) = 0;
    // False: the host is not to use the plug-in.
    virtual bool AutoDiagnosi() = 0;
    // Every window the host loads; "IDPaziente", "clsDB", "Firma" and the colours in `variables`.
    virtual void SetForm(Finestra &frm, QVariantHash &variables) = 0;
    virtual void Execute(const QString &param) = 0;
    // The host's commands; elements after the first are arguments, some written back.
    virtual bool PluginFunction(QVariantList &param) = 0;
};

} // namespace clinora

Q_DECLARE_METATYPE(clinora::ClsDB *)
Q_DECLARE_METATYPE(clinora::Risposte *)
Q_DECLARE_INTERFACE(clinora::PlugIn, CLINORA_PLUGIN_IID)
