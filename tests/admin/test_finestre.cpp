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
using Risposta = Prompt::Risposta;

namespace {

const QString Sincronizza = modOrdano::DomandaSincronizza();

TEST_F(OrdanoTest, EmptyListLeavesOnlyNewLogAndServer)
{
    auto f = form(m_lista);
    const struct
    {
        int id;
        const char *testo;
        const char *suggerimento;
        bool abilitato;
    } voci[] = {
        {1, "Nuovo", "Nuovo file", true},
        {2, "Modifica", "Modifica dati file", false},
        {3, "Elimina", "Rimuovi file dall lista", false},
        {4, "Sincronizza", "Avvia manualmente la sincronizzazione", false},
        {6, "Log", "Mostra il log", true},
        {5, "Server", "Imposta l'indirizzo del server", true},
    };
    EXPECT_EQ(f->Barra()->objectName(), QStringLiteral("Principale"));
    for (const auto &v : voci) {
        SCOPED_TRACE(v.id);
        QAction *a = f->Azione(v.id);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(), QString::fromUtf8(v.testo));
        EXPECT_EQ(a->toolTip(), QString::fromUtf8(v.suggerimento));
        EXPECT_EQ(a->isEnabled(), v.abilitato);
    }
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Ordano Clinora"));
    EXPECT_EQ(f->TestoPannello(0), QStringLiteral("Nessun archivio da sincronizzare"));
    EXPECT_FALSE(f->findChild<QLabel *>(QStringLiteral("TestoVuota"))->isHidden());
    // Disabled commands do nothing even when called.
    f->EseguiComando(frmGestioneUtenti::Sincronizza);
    EXPECT_TRUE(m_prompt.domande.isEmpty());
}

TEST_F(OrdanoTest, EditFormBrowsesSelectsAndSavesAsTyped)
{
    const QString esiste = archivio(QStringLiteral("Rossi.mdb"));
    qint32 id = 0;
    {
        frmEditUtente e(m_lista, m_prompt, 0);
        EXPECT_EQ(e.windowTitle(), QStringLiteral("Archivio da sincronizzare"));
        // Sfoglia: a cancelled dialog keeps the field, a chosen file fills it.
        e.Campo(1)->setText(QStringLiteral("prima"));
        e.Sfoglia();
        EXPECT_EQ(e.Campo(1)->text(), QStringLiteral("prima"));
        m_prompt.file = esiste;
        e.Sfoglia();
        EXPECT_EQ(e.Campo(1)->text(), esiste);
        EXPECT_TRUE(m_prompt.dialoghi.first().startsWith(
            QStringLiteral("Percorso|Archivio Clinora (clinora.mdb)|Clinora.mdb;Pazienti.xml")));
        // Entering a field selects its whole text.
        e.show();
        e.Campo(1)->setFocus();
        QFocusEvent entrata(QEvent::FocusIn);
        QApplication::sendEvent(e.Campo(1), &entrata);
        QApplication::processEvents();
        EXPECT_EQ(e.Campo(1)->selectedText(), esiste);

        e.Campo(0)->setText(QStringLiteral(" Rossi Mario "));
        e.Salva();
        ASSERT_FALSE(e.DialogoAnnullato());
        EXPECT_GT(e.IDArchivio(), 0);
        EXPECT_EQ(e.TestoDialogo(), QStringLiteral(" Rossi Mario ")); // as typed
        EXPECT_EQ(e.FileDialogo(), esiste);
        id = e.IDArchivio();
    }
    frmEditUtente riaperto(m_lista, m_prompt, id);
    EXPECT_EQ(riaperto.Campo(0)->text(), QStringLiteral(" Rossi Mario "));
    EXPECT_EQ(riaperto.Campo(1)->text(), esiste);
}

TEST_F(OrdanoTest, DeleteAsksAndRemoves)
{
    auto f = form(m_lista);
    compila(QStringLiteral("Rossi Mario"), archivio(QStringLiteral("Rossi.mdb")));
    f->EseguiComando(frmGestioneUtenti::Nuovo);
    const qint32 id = frmGestioneUtenti::IDRiga(f->Griglia()->topLevelItem(0));
    EXPECT_EQ(f->TestoPannello(0), QStringLiteral("1 archivio da sincronizzare"));
    for (const int comando : {2, 3, 4}) {
        EXPECT_TRUE(f->Azione(comando)->isEnabled()) << comando;
    }
    EXPECT_TRUE(f->findChild<QLabel *>(QStringLiteral("TestoVuota"))->isHidden());

    f->Griglia()->clearSelection();
    f->EseguiComando(frmGestioneUtenti::Elimina); // no row selected: nothing
    EXPECT_TRUE(m_prompt.domande.isEmpty());

    seleziona(*f, id);
    m_prompt.risposte = {Risposta::No};
    f->EseguiComando(frmGestioneUtenti::Elimina);
    EXPECT_EQ(m_prompt.domande,
              QStringList{QStringLiteral("Ordano ? Attenzione: Eliminare 'Rossi Mario' dalla lista? [Si/No*]")});
    EXPECT_EQ(f->Griglia()->topLevelItemCount(), 1);

    m_prompt.risposte = {Risposta::Si};
    f->EseguiComando(frmGestioneUtenti::Elimina);
    EXPECT_EQ(f->Griglia()->topLevelItemCount(), 0);
    EXPECT_EQ(f->TestoPannello(0), QStringLiteral("Nessun archivio da sincronizzare"));
    QList<modOrdano::Archivio> restano;
    ASSERT_TRUE(modOrdano::LeggiArchivi(m_lista, restano));
    EXPECT_TRUE(restano.isEmpty());
}

TEST_F(OrdanoTest, ServerAddressInTheSecondPane)
{
    ASSERT_TRUE(ScriviIniFile(modOrdano::FileIniOrdano(), QStringLiteral("Setup"), QStringLiteral("Host"),
                              QStringLiteral("db.studio")));
    auto f = form(m_lista);
    EXPECT_EQ(f->TestoPannello(1), QStringLiteral("Server: db.studio"));

    rispondi(QStringLiteral("10.0.0.7"), false); // Annulla
    rispondi(QString());                         // an empty address is written too
    rispondi(QStringLiteral("10.0.0.7"));
    f->EseguiComando(frmGestioneUtenti::Server);
    EXPECT_EQ(f->TestoPannello(1), QStringLiteral("Server: db.studio"));
    f->EseguiComando(frmGestioneUtenti::Server);
    EXPECT_EQ(f->TestoPannello(1), QStringLiteral("Server: Non specificato"));
    EXPECT_TRUE(LeggiIniFile(modOrdano::FileIniOrdano(), QStringLiteral("Setup"), QStringLiteral("Host")).isEmpty());
    f->EseguiComando(frmGestioneUtenti::Server);
    EXPECT_EQ(f->TestoPannello(1), QStringLiteral("Server: 10.0.0.7"));
    const QString domanda = QStringLiteral("Impostazione Server|Specificare l'indirizzo IP del Server|");
    EXPECT_EQ(m_visti,
              (QStringList{domanda + QStringLiteral("db.studio"), domanda + QStringLiteral("db.studio"), domanda}));
    // Sync's own settings are not touched.
    EXPECT_NE(
        LeggiIniFile(m_programmi + QStringLiteral("/plgLanvera.ini"), QStringLiteral("Setup"), QStringLiteral("Host")),
        QStringLiteral("10.0.0.7"));
}

TEST_F(OrdanoTest, ManualStartNeedsSyncBesideTheProgram)
{
    auto f = form(m_lista);
    compila(QStringLiteral("Rossi Mario"), archivio(QStringLiteral("Rossi.mdb")));
    f->EseguiComando(frmGestioneUtenti::Nuovo);

    m_prompt.risposte = {Risposta::No, Risposta::Si};
    f->EseguiComando(frmGestioneUtenti::Sincronizza);
    f->EseguiComando(frmGestioneUtenti::Sincronizza);
    const QString domanda = QStringLiteral("Ordano ? ") + Sincronizza + QStringLiteral(" [Si/No*]");
    EXPECT_EQ(m_prompt.domande,
              (QStringList{domanda, domanda,
                           QStringLiteral("Ordano ! Il file Sync.exe non è stato trovato, pertanto la "
                                          "sincronizzazione non può essere avviata.")}));
    EXPECT_TRUE(Sincronizza.contains(QStringLiteral("\r\n\r\nAvviare la sincronizzazione ora?")));

    // A stand-in Sync that notes its arguments: started, without arguments, no message.
    const QString segno = m_dir.filePath(QStringLiteral("avviato"));
    {
        QFile s(m_programmi + QStringLiteral("/Sync"));
        ASSERT_TRUE(s.open(QIODevice::WriteOnly));
        s.write(QStringLiteral("#!/bin/sh\necho \"[$#]\" > '%1'\n").arg(segno).toUtf8());
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
    EXPECT_EQ(m_prompt.domande, QStringList{QStringLiteral("Ordano i Nessun log da visualizzare")});

    ScriviLog(QStringLiteral("Avvio sincronizzazione"));
    QString mostrato;
    m_copione.push_back([&mostrato](QDialog &d) { mostrato = dynamic_cast<frmLog &>(d).windowTitle(); });
    f->EseguiComando(frmGestioneUtenti::Log);
    EXPECT_EQ(mostrato, QStringLiteral("Log Lanvera"));
    EXPECT_EQ(m_prompt.domande.size(), 1);
}

TEST_F(OrdanoTest, TwoWindowsOnOneListLoseNoRow)
{
    dao::Database altra;
    ASSERT_TRUE(altra.apri(modOrdano::FileListaArchivi()));
    auto a = form(m_lista);
    auto b = form(altra);
    const QString rossi = archivio(QStringLiteral("Rossi.mdb"));
    const QString bianchi = archivio(QStringLiteral("Bianchi.mdb"));

    // Each window adds a row while the other shows the list as it was.
    compila(QStringLiteral("Rossi"), rossi);
    a->EseguiComando(frmGestioneUtenti::Nuovo);
    compila(QStringLiteral("Bianchi"), bianchi);
    b->EseguiComando(frmGestioneUtenti::Nuovo);
    EXPECT_EQ(b->TestoPannello(0), QStringLiteral("2 archivi da sincronizzare"));
    a->RefreshLista();
    ASSERT_EQ(a->Griglia()->topLevelItemCount(), 2);
    const qint32 idRossi = frmGestioneUtenti::IDRiga(a->Griglia()->topLevelItem(1));
    const qint32 idBianchi = frmGestioneUtenti::IDRiga(a->Griglia()->topLevelItem(0));

    // A edits Rossi's row, B edits Bianchi's from its stale grid: each row keeps its own change.
    seleziona(*a, idRossi);
    compila(QStringLiteral("Rossi Mario"), rossi);
    a->EseguiComando(frmGestioneUtenti::Modifica);
    seleziona(*b, idBianchi);
    compila(QStringLiteral("Bianchi Lucia"), bianchi);
    b->EseguiComando(frmGestioneUtenti::Modifica);

    // A removes Bianchi; B, not knowing, saves Bianchi again: the row comes back, nothing else moves.
    seleziona(*a, idBianchi);
    m_prompt.risposte = {Risposta::Si};
    a->EseguiComando(frmGestioneUtenti::Elimina);
    compila(QStringLiteral("Bianchi L."), bianchi);
    b->EseguiComando(frmGestioneUtenti::Modifica);

    QList<modOrdano::Archivio> righe;
    ASSERT_TRUE(modOrdano::LeggiArchivi(m_lista, righe));
    ASSERT_EQ(righe.size(), 2);
    EXPECT_EQ(righe.at(0).descrizione, QStringLiteral("Bianchi L."));
    EXPECT_GT(righe.at(0).id, idRossi);
    EXPECT_EQ(righe.at(1).id, idRossi);
    EXPECT_EQ(righe.at(1).descrizione, QStringLiteral("Rossi Mario"));
    EXPECT_EQ(b->TestoPannello(0), QStringLiteral("2 archivi da sincronizzare"));
    EXPECT_NE(b->Riga(righe.at(0).id), nullptr);
}

TEST_F(OrdanoTest, GridShowsTheLastRunAndMarksArchivesToLookAt)
{
    const QDateTime adesso(QDate(2026, 12, 5), QTime(18, 0));
    const struct
    {
        const char *descrizione;
        int giorniFa; // -1: never synchronised
        bool riuscito;
        const char *fine;
        const char *esito;
        bool segnalata;
    } casi[] = {
        {"A recente", 0, true, "05/12/2026 17.00.00", "Operazione conclusa", false},
        {"B fallito", 0, false, "05/12/2026 17.00.00", "Accesso negato", true},
        {"C mai", -1, false, "mai sincronizzato", "", true},
        {"D vecchio", 3, true, "02/12/2026 17.00.00", "Operazione conclusa", true},
    };
    for (const auto &c : casi) {
        qint32 id = 0;
        ASSERT_TRUE(modOrdano::SalvaArchivio(m_lista, 0, QString::fromUtf8(c.descrizione),
                                             archivio(QString::fromUtf8(c.descrizione)), id));
        if (c.giorniFa >= 0) {
            EsitoSync e;
            e.idFile = id;
            e.fine = adesso.addDays(-c.giorniFa).addSecs(-3600);
            e.inizio = e.fine.addSecs(-60);
            e.riuscito = c.riuscito;
            e.esito = QString::fromUtf8(c.esito);
            ASSERT_TRUE(RegistraEsito(m_lista, e));
        }
    }
    auto f = form(m_lista);
    f->ImpostaOrologio([adesso] { return adesso; });
    f->RefreshLista();
    QTreeWidget *g = f->Griglia();
    EXPECT_EQ(g->headerItem()->text(2), QStringLiteral("Ultima sincronizzazione"));
    EXPECT_EQ(g->headerItem()->text(3), QStringLiteral("Esito"));
    ASSERT_EQ(g->topLevelItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const auto &c = casi[i];
        SCOPED_TRACE(c.descrizione);
        QTreeWidgetItem *r = g->topLevelItem(i);
        EXPECT_EQ(r->text(0), QString::fromUtf8(c.descrizione));
        EXPECT_EQ(r->text(2), QString::fromUtf8(c.fine));
        EXPECT_EQ(r->text(3), QString::fromUtf8(c.esito));
        EXPECT_EQ(frmGestioneUtenti::RigaSegnalata(r), c.segnalata);
        EXPECT_EQ(r->font(0).bold(), c.segnalata);
    }
    // Sorting by the end time goes by the moment: never, three days ago, today.
    g->sortByColumn(2, Qt::AscendingOrder);
    EXPECT_EQ(g->topLevelItem(0)->text(0), QStringLiteral("C mai"));
    EXPECT_EQ(g->topLevelItem(1)->text(0), QStringLiteral("D vecchio"));
}

} // namespace
