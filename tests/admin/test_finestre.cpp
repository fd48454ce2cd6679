#include "OrdanoTest.h"
#include "frmLog.h"
#include "modEsitiSync.h"
#include "modIni.h"
#include "modLog.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QThread>
#include <QToolBar>
#include <QTreeWidget>

using namespace lanvera;
using namespace lanvera::test;
using namespace Qt::StringLiterals;
using Risposta = Prompt::Risposta;

namespace {

// The commands, then what the window shows for its rows: the first pane, which commands are
// enabled (ids 1 to 6) and whether the empty-list notice is up.
TEST_F(OrdanoTest, CommandsFollowTheRowsAndDeleteAsks)
{
    auto f = form(m_lista);
    EXPECT_EQ(f->windowTitle(), u"Ordano Clinora"_s);
    EXPECT_EQ(f->Barra()->objectName(), u"Principale"_s);
    const struct
    {
        int id;
        QString voce; // text|tool tip
    } voci[] = {
        {1, u"Nuovo|Nuovo file"_s},
        {2, u"Modifica|Modifica dati file"_s},
        {3, u"Elimina|Rimuovi file dall lista"_s},
        {4, u"Sincronizza|Avvia manualmente la sincronizzazione"_s},
        {6, u"Log|Mostra il log"_s},
        {5, u"Server|Imposta l'indirizzo del server"_s},
    };
    for (const auto &v : voci) {
        QAction *a = f->Azione(v.id);
        ASSERT_NE(a, nullptr) << v.id;
        EXPECT_EQ(a->text() + u'|' + a->toolTip(), v.voce);
    }
    const auto stato = [&f]() -> QString {
        QString s = f->TestoPannello(0) + u'|';
        for (int id = 1; id <= 6; ++id) {
            s += f->Azione(id)->isEnabled() ? u'1' : u'0';
        }
        return s + (f->findChild<QLabel *>(u"TestoVuota"_s)->isHidden() ? u"" : u"|vuota");
    };
    const QString vuota = u"Nessun archivio da sincronizzare|100011|vuota"_s;
    EXPECT_EQ(stato(), vuota);
    // Disabled commands do nothing even when called.
    f->EseguiComando(frmGestioneUtenti::Sincronizza);
    EXPECT_TRUE(m_prompt.domande.isEmpty());

    compila(u"Rossi Mario"_s, archivio(u"Rossi.mdb"_s));
    f->EseguiComando(frmGestioneUtenti::Nuovo);
    const qint32 id = frmGestioneUtenti::IDRiga(f->Griglia()->topLevelItem(0));
    EXPECT_EQ(stato(), u"1 archivio da sincronizzare|111111"_s);

    f->Griglia()->clearSelection();
    f->EseguiComando(frmGestioneUtenti::Elimina); // no row selected: nothing
    EXPECT_TRUE(m_prompt.domande.isEmpty());
    seleziona(*f, id);
    m_prompt.risposte = {Risposta::No, Risposta::Si};
    f->EseguiComando(frmGestioneUtenti::Elimina);
    EXPECT_EQ(m_prompt.domande, QStringList{u"Ordano ? Attenzione: Eliminare 'Rossi Mario' dalla lista? [Si/No*]"_s});
    EXPECT_EQ(f->Griglia()->topLevelItemCount(), 1);
    f->EseguiComando(frmGestioneUtenti::Elimina);
    EXPECT_EQ(f->Griglia()->topLevelItemCount(), 0);
    EXPECT_EQ(stato(), vuota);
    QList<modOrdano::Archivio> restano;
    ASSERT_TRUE(modOrdano::LeggiArchivi(m_lista, restano));
    EXPECT_TRUE(restano.isEmpty());
}

TEST_F(OrdanoTest, EditFormBrowsesSelectsAndSavesAsTyped)
{
    const QString esiste = archivio(u"Rossi.mdb"_s);
    qint32 id = 0;
    {
        frmEditUtente e(m_lista, m_prompt, 0);
        EXPECT_EQ(e.windowTitle(), u"Archivio da sincronizzare"_s);
        // Sfoglia: a cancelled dialog keeps the field, a chosen file fills it.
        e.Campo(1)->setText(u"prima"_s);
        e.Sfoglia();
        EXPECT_EQ(e.Campo(1)->text(), u"prima"_s);
        m_prompt.file = esiste;
        e.Sfoglia();
        EXPECT_EQ(e.Campo(1)->text(), esiste);
        EXPECT_TRUE(m_prompt.dialoghi.first().startsWith(
            u"Percorso|Archivio Clinora (clinora.mdb)|Clinora.mdb;Pazienti.xml"_s));
        // Entering a field selects its whole text.
        e.show();
        e.Campo(1)->setFocus();
        QFocusEvent entrata(QEvent::FocusIn);
        QApplication::sendEvent(e.Campo(1), &entrata);
        QApplication::processEvents();
        EXPECT_EQ(e.Campo(1)->selectedText(), esiste);

        e.Campo(0)->setText(u" Rossi Mario "_s);
        e.Salva();
        ASSERT_FALSE(e.DialogoAnnullato());
        id = e.IDArchivio();
        EXPECT_GT(id, 0);
        EXPECT_EQ(e.TestoDialogo(), u" Rossi Mario "_s); // as typed
        EXPECT_EQ(e.FileDialogo(), esiste);
    }
    frmEditUtente riaperto(m_lista, m_prompt, id);
    EXPECT_EQ(riaperto.Campo(0)->text(), u" Rossi Mario "_s);
    EXPECT_EQ(riaperto.Campo(1)->text(), esiste);
}

TEST_F(OrdanoTest, ServerAddressInTheSecondPane)
{
    const QString ini = modOrdano::FileIniOrdano();
    QString host = u"db.studio"_s;
    ASSERT_TRUE(ScriviIniFile(ini, u"Setup"_s, u"Host"_s, host));
    auto f = form(m_lista);
    EXPECT_EQ(f->TestoPannello(1), u"Server: db.studio"_s);
    const struct
    {
        QString testo;
        bool ok;                                                                    // false: Annulla
    } passi[] = {{u"10.0.0.7"_s, false}, {QString(), true}, {u"10.0.0.7"_s, true}}; // an empty address is written too
    for (const auto &p : passi) {
        SCOPED_TRACE(p.testo.toStdString() + (p.ok ? " ok" : " annulla"));
        // The box asks with the address in use.
        m_visti.clear();
        rispondi(p.testo, p.ok);
        f->EseguiComando(frmGestioneUtenti::Server);
        EXPECT_EQ(m_visti, QStringList{u"Impostazione Server|Specificare l'indirizzo IP del Server|"_s + host});
        host = p.ok ? p.testo : host;
        EXPECT_EQ(LeggiIniFile(ini, u"Setup"_s, u"Host"_s), host);
        EXPECT_EQ(f->TestoPannello(1), u"Server: "_s + (host.isEmpty() ? u"Non specificato"_s : host));
    }
    // Sync's own settings are not touched.
    EXPECT_NE(LeggiIniFile(m_programmi + u"/plgLanvera.ini"_s, u"Setup"_s, u"Host"_s), u"10.0.0.7"_s);
}

TEST_F(OrdanoTest, ManualStartNeedsSyncBesideTheProgram)
{
    auto f = form(m_lista);
    compila(u"Rossi Mario"_s, archivio(u"Rossi.mdb"_s));
    f->EseguiComando(frmGestioneUtenti::Nuovo);

    const QString sincronizza = modOrdano::DomandaSincronizza();
    EXPECT_TRUE(sincronizza.contains(u"\r\n\r\nAvviare la sincronizzazione ora?"_s));
    const QString domanda = u"Ordano ? "_s + sincronizza + u" [Si/No*]"_s;
    m_prompt.risposte = {Risposta::No, Risposta::Si};
    f->EseguiComando(frmGestioneUtenti::Sincronizza);
    f->EseguiComando(frmGestioneUtenti::Sincronizza);
    EXPECT_EQ(m_prompt.domande, (QStringList{domanda, domanda,
                                             u"Ordano ! Il file Sync.exe non è stato trovato, pertanto la "
                                             u"sincronizzazione non può essere avviata."_s}));

    // A stand-in Sync that notes its arguments: started, without arguments, no message.
    const QString segno = m_dir.filePath(u"avviato"_s);
    {
        QFile s(m_programmi + u"/Sync"_s);
        ASSERT_TRUE(s.open(QIODevice::WriteOnly));
        s.write(u"#!/bin/sh\necho \"[$#]\" > '%1'\n"_s.arg(segno).toUtf8());
        s.setPermissions(s.permissions() | QFile::ExeOwner);
    }
    m_prompt.domande.clear();
    m_prompt.risposte = {Risposta::Si};
    f->EseguiComando(frmGestioneUtenti::Sincronizza);
    EXPECT_EQ(m_prompt.domande, QStringList{domanda});
    for (int i = 0; i < 200 && !QFile::exists(segno); ++i) {
        QThread::msleep(20);
    }
    QFile esito(segno);
    ASSERT_TRUE(esito.open(QIODevice::ReadOnly));
    EXPECT_EQ(esito.readAll().trimmed(), QByteArray("[0]"));
}

TEST_F(OrdanoTest, LogCommandShowsTheRunLogOrANotice)
{
    auto f = form(m_lista);
    f->EseguiComando(frmGestioneUtenti::Log);
    EXPECT_EQ(m_prompt.domande, QStringList{u"Ordano i Nessun log da visualizzare"_s});

    ScriviLog(u"Avvio sincronizzazione"_s);
    QString mostrato;
    m_copione.push_back([&mostrato](QDialog &d) { mostrato = dynamic_cast<frmLog &>(d).windowTitle(); });
    f->EseguiComando(frmGestioneUtenti::Log);
    EXPECT_EQ(mostrato, u"Log Lanvera"_s);
    EXPECT_EQ(m_prompt.domande.size(), 1);
}

TEST_F(OrdanoTest, TwoWindowsOnOneListLoseNoRow)
{
    dao::Database altra;
    ASSERT_TRUE(altra.apri(modOrdano::FileListaArchivi()));
    auto a = form(m_lista);
    auto b = form(altra);
    const QString rossi = archivio(u"Rossi.mdb"_s);
    const QString bianchi = archivio(u"Bianchi.mdb"_s);
    // Each window adds a row while the other shows the list as it was.
    compila(u"Rossi"_s, rossi);
    a->EseguiComando(frmGestioneUtenti::Nuovo);
    compila(u"Bianchi"_s, bianchi);
    b->EseguiComando(frmGestioneUtenti::Nuovo);
    EXPECT_EQ(b->TestoPannello(0), u"2 archivi da sincronizzare"_s);
    a->RefreshLista();
    ASSERT_EQ(a->Griglia()->topLevelItemCount(), 2);
    const qint32 idRossi = frmGestioneUtenti::IDRiga(a->Griglia()->topLevelItem(1));
    const qint32 idBianchi = frmGestioneUtenti::IDRiga(a->Griglia()->topLevelItem(0));

    // A edits Rossi's row, B edits Bianchi's from its stale grid: each row keeps its own change.
    seleziona(*a, idRossi);
    compila(u"Rossi Mario"_s, rossi);
    a->EseguiComando(frmGestioneUtenti::Modifica);
    seleziona(*b, idBianchi);
    compila(u"Bianchi Lucia"_s, bianchi);
    b->EseguiComando(frmGestioneUtenti::Modifica);

    // A removes Bianchi; B, not knowing, saves Bianchi again: the row comes back, nothing else moves.
    seleziona(*a, idBianchi);
    m_prompt.risposte = {Risposta::Si};
    a->EseguiComando(frmGestioneUtenti::Elimina);
    compila(u"Bianchi L."_s, bianchi);
    b->EseguiComando(frmGestioneUtenti::Modifica);

    QList<modOrdano::Archivio> righe;
    ASSERT_TRUE(modOrdano::LeggiArchivi(m_lista, righe));
    ASSERT_EQ(righe.size(), 2);
    EXPECT_EQ(righe.at(0).descrizione, u"Bianchi L."_s);
    EXPECT_GT(righe.at(0).id, idRossi);
    EXPECT_EQ(righe.at(1).id, idRossi);
    EXPECT_EQ(righe.at(1).descrizione, u"Rossi Mario"_s);
    EXPECT_EQ(b->TestoPannello(0), u"2 archivi da sincronizzare"_s);
    EXPECT_NE(b->Riga(righe.at(0).id), nullptr);
}

TEST_F(OrdanoTest, GridShowsTheLastRunAndMarksArchivesToLookAt)
{
    const QDateTime adesso(QDate(2026, 12, 5), QTime(18, 0));
    const struct
    {
        QString descrizione;
        int giorniFa; // -1: never synchronised
        bool riuscito;
        QString fine;
        QString esito;
        bool segnalata;
    } casi[] = {
        {u"A recente"_s, 0, true, u"05/12/2026 17.00.00"_s, u"Operazione conclusa"_s, false},
        {u"B fallito"_s, 0, false, u"05/12/2026 17.00.00"_s, u"Accesso negato"_s, true},
        {u"C mai"_s, -1, false, u"mai sincronizzato"_s, QString(), true},
        {u"D vecchio"_s, 3, true, u"02/12/2026 17.00.00"_s, u"Operazione conclusa"_s, true},
    };
    for (const auto &c : casi) {
        qint32 id = 0;
        ASSERT_TRUE(modOrdano::SalvaArchivio(m_lista, 0, c.descrizione, archivio(c.descrizione), id));
        if (c.giorniFa >= 0) {
            EsitoSync e;
            e.idFile = id;
            e.fine = adesso.addDays(-c.giorniFa).addSecs(-3600);
            e.inizio = e.fine.addSecs(-60);
            e.riuscito = c.riuscito;
            e.esito = c.esito;
            ASSERT_TRUE(RegistraEsito(m_lista, e));
        }
    }
    auto f = form(m_lista);
    f->ImpostaOrologio([adesso] { return adesso; });
    f->RefreshLista();
    QTreeWidget *g = f->Griglia();
    EXPECT_EQ(g->headerItem()->text(2) + u'|' + g->headerItem()->text(3), u"Ultima sincronizzazione|Esito"_s);
    ASSERT_EQ(g->topLevelItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const auto &c = casi[i];
        SCOPED_TRACE(c.descrizione.toStdString());
        QTreeWidgetItem *r = g->topLevelItem(i);
        EXPECT_EQ((QStringList{r->text(0), r->text(2), r->text(3)}), (QStringList{c.descrizione, c.fine, c.esito}));
        EXPECT_EQ(frmGestioneUtenti::RigaSegnalata(r), c.segnalata);
        EXPECT_EQ(r->font(0).bold(), c.segnalata);
    }
    // Sorting by the end time goes by the moment: never, three days ago, today.
    g->sortByColumn(2, Qt::AscendingOrder);
    EXPECT_EQ(g->topLevelItem(0)->text(0), u"C mai"_s);
    EXPECT_EQ(g->topLevelItem(1)->text(0), u"D vecchio"_s);
}

} // namespace
