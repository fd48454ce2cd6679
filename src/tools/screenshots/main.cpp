// lanvera-screenshots: renders the windows of the plug-in and the log viewer, each with a little
// made-up data, and saves them as PNG pictures into the folder given as argument (docs/images);
// lanvera-screenshots-sync does Sync's window. Meant for QT_QPA_PLATFORM=offscreen: nothing talks
// to a server and no window waits for the user.

#include "Prompt.h"
#include "Scatto.h"
#include "StatoPlugin.h"
#include "frmCreaPassword.h"
#include "frmLog.h"
#include "frmMDI.h"
#include "frmPassword.h"
#include "frmRimuovi.h"
#include "modLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

namespace {

struct Medico
{
    const char *cognome;
    const char *nome;
};
const Medico Medici[] = {{"Rossi", "Mario"}, {"Bianchi", "Lucia"}, {"Verdi", "Giuseppe"}, {"Neri", "Anna"}};

struct Paziente
{
    const char *cf;
    const char *cognome;
    const char *nome;
    const char *autorizzazioni; // one character a doctor, in the order of Medici
};
const Paziente Pazienti[] = {
    {"CSTGNN52M10H501K", "Costa", "Giovanni", "1110"}, {"FRRLRA61D45F205W", "Ferrari", "Laura", "1001"},
    {"GLLPLA48S12L219Q", "Galli", "Paolo", "1111"},    {"MRNSRA75A63H501P", "Marino", "Sara", "1000"},
    {"RCCFNC39H22F839D", "Ricci", "Franco", "1100"},   {"RMNTRS66E50A944N", "Romano", "Teresa", "1010"},
    {"BRNLCA83T04H501C", "Bruno", "Luca", "1000"},     {"SNTMRA57C41L736R", "Santoro", "Maria", "1101"},
};

QString Testo(const char *latino)
{
    return QString::fromUtf8(latino);
}

// The authorisation table as the plug-in builds it after reading the server: row 0 the doctors,
// column 0 the patients, the last column their positions in the local list.
void RiempiTabella(StatoPlugin &stato)
{
    const int medici = int(std::size(Medici));
    stato.tabella = QList<QStringList>(medici + 2, QStringList(1));
    for (int j = 1; j <= medici; ++j) {
        stato.tabella[j][0] = Testo(Medici[j - 1].cognome) + QLatin1Char('\n') + Testo(Medici[j - 1].nome);
    }
    int i = 0;
    for (const Paziente &p : Pazienti) {
        stato.tabella[0] << Testo(p.cognome) + QLatin1Char(' ') + Testo(p.nome);
        stato.tabella[medici + 1] << QString::number(i++);
        for (int j = 1; j <= medici; ++j) {
            stato.tabella[j] << (p.autorizzazioni[j - 1] == '1' ? QStringLiteral("1") : QString());
        }
    }
}

bool Pannello(const QString &cartella)
{
    StatoPlugin stato;
    RiempiTabella(stato);
    // The panel reads the table from the server once the event loop runs: the picture is taken, and
    // the panel gone, before it ever does. The grid shows what the table holds, as after a reading.
    auto pannello = std::make_unique<frmMDI>(stato);
    pannello->resize(640, 300);
    pannello->Grid1()->show();
    pannello->Grid1()->resizeColumnsToContents();
    pannello->Grid1()->resizeRowsToContents();
    return scatti::Salva(*pannello, cartella, QStringLiteral("pannello.png"));
}

bool Password(const QString &cartella)
{
    frmPassword form(nullptr);
    form.Text1(0)->setText(QStringLiteral("RSSMRA70A01H501U"));
    form.Text1(1)->setText(QStringLiteral("segreto"));
    form.Text1(2)->setText(QStringLiteral("Rossi Mario"));
    form.Check1()->setChecked(true);
    return scatti::Salva(form, cartella, QStringLiteral("password.png"));
}

bool NuovaPassword(const QString &cartella)
{
    frmCreaPassword form(nullptr);
    form.Text1(0)->setText(QStringLiteral("nuovasegreta"));
    form.Text1(1)->setText(QStringLiteral("nuovasegreta"));
    form.Text1(2)->setText(QStringLiteral("RSSMRA70A01H501U"));
    form.Text1(3)->setText(QStringLiteral("Rossi Mario"));
    return scatti::Salva(form, cartella, QStringLiteral("nuova-password.png"));
}

bool Rimozione(const QString &cartella)
{
    QList<clsPaziente> lista;
    for (const Paziente &p : {Pazienti[0], Pazienti[1], Pazienti[2]}) {
        clsPaziente paziente;
        paziente.KeyPaziente = Testo(p.cf).toLower();
        paziente.CF = Testo(p.cf);
        paziente.Cognome = Testo(p.cognome);
        paziente.Nome = Testo(p.nome);
        lista << paziente;
    }
    frmRimuovi form(nullptr, lista);
    form.SpuntaCodici({Testo(Pazienti[1].cf)});
    return scatti::Salva(form, cartella, QStringLiteral("rimozione.png"));
}

bool Log(const QString &cartella)
{
    QTemporaryDir temporanea;
    const QString file = temporanea.filePath(QStringLiteral("Lanvera.log"));
    const struct
    {
        int secondi;
        QLatin1StringView tag;
        const char *testo;
        bool errore;
    } voci[] = {
        {0, lanvera::TagUser, "Accesso al server remoto", false},
        {2, lanvera::TagUser, "Organizzo la tabella", false},
        {95, lanvera::TagUser, "Invio autorizzazioni", false},
        {3600, lanvera::TagSync, "Avvio Sincronizzazione V.1.0.0", false},
        {3601, lanvera::TagSync, "Identificazione", false},
        {3602, lanvera::TagSync, "Analisi pazienti su server", false},
        {3603, lanvera::TagSync, "Analisi pazienti in locale", false},
        {3605, lanvera::TagSync, "Invio di Ferrari Laura", false},
        {3609, lanvera::TagSync, "Scarico cartella di Galli Paolo", false},
        {3612, lanvera::TagSync, "Connessione al server: Errore 2013 Lost connection", true},
        {3613, lanvera::TagSync, "Operazione conclusa", false},
    };
    for (const auto &v : voci) {
        lanvera::AccodaVoceLog(
            file, lanvera::FormattaVoceLog(Testo(v.testo), v.errore, v.tag, scatti::Adesso().addSecs(v.secondi)));
    }
    lanvera::PromptNonPresidiato prompt;
    frmLog form(file, QStringLiteral("Lanvera"), prompt);
    return scatti::Salva(form, cartella, QStringLiteral("log.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString cartella = scatti::Cartella("lanvera-screenshots");
    if (cartella.isEmpty()) {
        return 2;
    }
    // The panel first: nothing before it may run the event loop (see Pannello).
    bool ok = Pannello(cartella);
    ok = Password(cartella) && ok;
    ok = NuovaPassword(cartella) && ok;
    ok = Rimozione(cartella) && ok;
    ok = Log(cartella) && ok;
    return ok ? 0 : 1;
}
