#include "Script.h"

#include "Finestre.h"
#include "Host.h"
#include "PannelloConflitti.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <QToolBar>

#include <utility>

using clinora::Risposte;

QStringList Script::Parole(const QString &riga)
{
    QStringList parole;
    QString parola;
    bool virgolette = false;
    bool iniziata = false;
    for (const QChar c : riga) {
        if (c == QLatin1Char('"')) {
            virgolette = !virgolette;
            iniziata = true;
        } else if (c.isSpace() && !virgolette) {
            if (iniziata) {
                parole << parola;
                parola.clear();
                iniziata = false;
            }
        } else {
            parola += c;
            iniziata = true;
        }
    }
    if (iniziata) {
        parole << parola;
    }
    return parole;
}

void Script::scrivi(const QString &testo)
{
    m_uscita << testo << '\n';
    m_uscita.flush();
}

void Script::attendi()
{
    // What a line started (timers, windows) runs until the host is idle for a moment.
    QElapsedTimer quieto;
    quieto.start();
    while (quieto.elapsed() < 50) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(2);
    }
}

bool Script::riga(const QStringList &parole)
{
    const QString comando = parole.value(0).toLower();
    if (comando == QLatin1String("apri") && parole.size() == 2) {
        if (!m_host.apri(parole.at(1))) {
            scrivi(QStringLiteral("ERRORE ") + m_host.errore());
            return false;
        }
        return true;
    }
    if (comando == QLatin1String("comando") && parole.size() >= 2) {
        QVariantList param;
        for (qsizetype i = 1; i < parole.size(); ++i) {
            param << parole.at(i);
        }
        const bool esito = m_host.comando(param);
        QStringList elementi;
        for (const QVariant &v : std::as_const(param)) {
            elementi << (v.typeId() == QMetaType::Bool ? (v.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                                       : v.toString());
        }
        scrivi(QStringLiteral("RISULTATO ") + (esito ? QStringLiteral("true") : QStringLiteral("false")) +
               QLatin1Char('\t') + elementi.join(QLatin1Char('\t')));
        return true;
    }
    if (comando == QLatin1String("rispondi") && parole.size() == 2) {
        const QString r = parole.at(1).toLower();
        if (r == QLatin1String("si") || r == QLatin1String("no")) {
            m_host.risposte().accodaRisposta(r == QLatin1String("si") ? Risposte::Risposta::Si
                                                                      : Risposte::Risposta::No);
            return true;
        }
    }
    if (comando == QLatin1String("password") && parole.size() >= 2) {
        QVariantHash v;
        if (parole.at(1) == QLatin1String("annulla")) {
            v.insert(QStringLiteral("annulla"), true);
        } else {
            v.insert(QStringLiteral("testo"), parole.at(1));
            v.insert(QStringLiteral("ricorda"), parole.value(2) == QLatin1String("ricorda"));
        }
        m_host.risposte().accodaDialogo(QStringLiteral("password"), v);
        return true;
    }
    if (comando == QLatin1String("nuova-password") && parole.size() >= 2) {
        QVariantHash v;
        if (parole.at(1) == QLatin1String("annulla")) {
            v.insert(QStringLiteral("annulla"), true);
        } else if (parole.size() >= 3) {
            v.insert(QStringLiteral("testo"), parole.at(1));
            v.insert(QStringLiteral("ripetuto"), parole.at(2));
            v.insert(QStringLiteral("ricorda"), parole.value(3) == QLatin1String("ricorda"));
        } else {
            scrivi(QStringLiteral("ERRORE riga non valida: ") + parole.join(QLatin1Char(' ')));
            return false;
        }
        m_host.risposte().accodaDialogo(QStringLiteral("nuova-password"), v);
        return true;
    }
    if (comando == QLatin1String("rimuovi") && parole.size() >= 2) {
        m_host.risposte().accodaDialogo(QStringLiteral("rimuovi"),
                                        {{QStringLiteral("cf"), QStringList(parole.mid(1))}});
        return true;
    }
    if (comando == QLatin1String("cerca") && parole.size() >= 2) {
        m_host.finestra().ricerca()->txtCerca()->setText(parole.mid(1).join(QLatin1Char(' ')));
        m_host.finestra().ricerca()->cmdCercaSuServer()->click();
        return true;
    }
    if (comando == QLatin1String("medico") && parole.size() == 2) {
        QVariantHash v;
        if (parole.at(1) == QLatin1String("annulla")) {
            v.insert(QStringLiteral("annulla"), true);
        } else {
            v.insert(QStringLiteral("cf"), parole.at(1));
        }
        m_host.risposte().accodaDialogo(QStringLiteral("medico"), v);
        return true;
    }
    if (comando == QLatin1String("elenco")) {
        const QTableWidget *lista = m_host.finestra().ricerca()->TList1();
        for (int r = 0; r < lista->rowCount(); ++r) {
            QStringList riga{QString::number(r + 1)};
            for (int c = 2; c <= frmRicercaPaziente::Colonne; ++c) {
                riga << (lista->item(r, c) ? lista->item(r, c)->text() : QString());
            }
            scrivi(riga.join(QLatin1Char('\t')));
        }
        return true;
    }
    if (comando == QLatin1String("avanti") && parole.size() == 2) {
        QTableWidget *lista = m_host.finestra().ricerca()->TList1();
        const int riga = parole.at(1).toInt();
        if (riga < 1 || riga > lista->rowCount()) {
            scrivi(QStringLiteral("ERRORE riga non presente: ") + parole.at(1));
            return false;
        }
        lista->setCurrentCell(riga - 1, 2);
        m_host.finestra().ricerca()->cmdAvanti()->click();
        return true;
    }
    if (comando == QLatin1String("diario") && parole.size() >= 2) {
        frmAmbulatorio *cartella = m_host.finestra().cartella();
        QString errore;
        if (!cartella) {
            scrivi(QStringLiteral("ERRORE nessuna cartella aperta"));
            return false;
        }
        if (!cartella->AggiungiDiario(parole.mid(1).join(QLatin1Char(' ')), &errore)) {
            scrivi(QStringLiteral("ERRORE ") + errore);
            return false;
        }
        return true;
    }
    if (comando == QLatin1String("apri-cartella") && parole.size() == 2) {
        m_host.finestra().ApriCartella(parole.at(1).toInt());
        return true;
    }
    if (comando == QLatin1String("conflitti")) {
        // What the open chart window shows of each conflict: the list's cells, then the fields
        // it marks as differing.
        frmAmbulatorio *cartella = m_host.finestra().cartella();
        if (!cartella) {
            scrivi(QStringLiteral("ERRORE nessuna cartella aperta"));
            return false;
        }
        PannelloConflitti *pannello = cartella->conflitti();
        QTableWidget *elenco = pannello->Elenco();
        scrivi(QStringLiteral("CONFLITTI %1%2")
                   .arg(elenco->rowCount())
                   .arg(pannello->isVisibleTo(cartella) ? QString() : QStringLiteral(" nascosti")));
        for (int r = 0; r < elenco->rowCount(); ++r) {
            elenco->setCurrentCell(r, 0);
            QStringList celle;
            for (int c = 0; c < PannelloConflitti::Colonne; ++c) {
                celle << (elenco->item(r, c) ? elenco->item(r, c)->text() : QString());
            }
            celle << pannello->CampiDiversi().join(QLatin1Char(','))
                  << pannello->TestoScartato()->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\\n"));
            scrivi(QStringLiteral("CONFLITTO ") + celle.join(QLatin1Char('\t')));
        }
        return true;
    }
    if (comando == QLatin1String("rifiuta-cambio")) {
        m_host.rifiutaCambio();
        return true;
    }
    if (comando == QLatin1String("chiudi-cartella")) {
        m_host.finestra().ChiudiCartella();
        return true;
    }
    if (comando == QLatin1String("gestione")) {
        m_host.finestra().ricerca()->cmdGestione()->click();
        return true;
    }
    if (comando == QLatin1String("chiudi-pannello")) {
        if (FinestraFigliaHost *f = pannello()) {
            f->Unload();
        }
        return true;
    }
    if (comando == QLatin1String("pulsante") && parole.size() == 2) {
        FinestraFigliaHost *f = pannello();
        if (!f) {
            scrivi(QStringLiteral("ERRORE il pannello non è aperto"));
            return false;
        }
        m_avviatePrima = righeSync("Avvio sincronizzazione");
        m_conclusePrima = righeSync("Operazione terminata");
        for (QAction *a : f->barra()->actions()) {
            if (a->data().isValid() && a->data().toString() == parole.at(1)) {
                a->trigger();
                return true;
            }
        }
        scrivi(QStringLiteral("ERRORE pulsante sconosciuto: ") + parole.at(1));
        return false;
    }
    if (comando == QLatin1String("attendi-sync")) {
        // A Sync that the panel started shows in its run log within seconds, and ends in minutes.
        QElapsedTimer tempo;
        tempo.start();
        while (righeSync("Avvio sincronizzazione") <= m_avviatePrima) {
            if (tempo.elapsed() > 20 * 1000) {
                scrivi(QStringLiteral("ERRORE nessun Sync avviato"));
                return false;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(50);
        }
        while (righeSync("Operazione terminata") <= m_conclusePrima) {
            if (tempo.elapsed() > 10 * 60 * 1000) {
                scrivi(QStringLiteral("ERRORE Sync non si è concluso in 10 minuti"));
                return false;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(50);
        }
        return true;
    }
    QTableView *tabella = griglia();
    if ((comando == QLatin1String("tabella") || comando == QLatin1String("cella") ||
         comando == QLatin1String("blocco")) &&
        (!tabella || tabella->isHidden())) {
        scrivi(QStringLiteral("ERRORE le autorizzazioni non sono caricate"));
        return false;
    }
    if (comando == QLatin1String("tabella")) {
        const QAbstractItemModel *m = tabella->model();
        QStringList medici;
        for (int c = 1; c < m->columnCount(); ++c) {
            medici << m->index(0, c).data().toString().replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        scrivi(medici.join(QLatin1Char('\t')));
        for (int r = 1; r < m->rowCount(); ++r) {
            QStringList riga;
            for (int c = 0; c < m->columnCount(); ++c) {
                riga << m->index(r, c).data().toString();
            }
            scrivi(riga.join(QLatin1Char('\t')));
        }
        return true;
    }
    if (comando == QLatin1String("cella") && parole.size() == 3) {
        const QAbstractItemModel *m = tabella->model();
        int riga = -1;
        int colonna = -1;
        for (int r = 1; r < m->rowCount(); ++r) {
            if (m->index(r, 0).data().toString().compare(parole.at(1), Qt::CaseInsensitive) == 0) {
                riga = r;
            }
        }
        for (int c = 1; c < m->columnCount(); ++c) {
            if (m->index(0, c)
                    .data()
                    .toString()
                    .section(QLatin1Char('\n'), 0, 0)
                    .compare(parole.at(2), Qt::CaseInsensitive) == 0) {
                colonna = c;
            }
        }
        if (riga < 0 || colonna < 0) {
            scrivi(QStringLiteral("ERRORE cella non trovata: ") + parole.mid(1).join(QLatin1Char(' ')));
            return false;
        }
        tabella->selectionModel()->select(m->index(riga, colonna), QItemSelectionModel::ClearAndSelect);
        return true;
    }
    if (comando == QLatin1String("blocco") && parole.size() == 5) {
        const QAbstractItemModel *m = tabella->model();
        const QItemSelection scelta(m->index(parole.at(1).toInt(), parole.at(2).toInt()),
                                    m->index(parole.at(3).toInt(), parole.at(4).toInt()));
        tabella->selectionModel()->select(scelta, QItemSelectionModel::ClearAndSelect);
        return true;
    }
    scrivi(QStringLiteral("ERRORE riga non valida: ") + parole.join(QLatin1Char(' ')));
    return false;
}

FinestraFigliaHost *Script::pannello() const
{
    const QList<FinestraFigliaHost *> figlie = m_host.finestra().figlie();
    for (auto it = figlie.crbegin(); it != figlie.crend(); ++it) {
        if (!(*it)->scaricata()) {
            return *it;
        }
    }
    return nullptr;
}

QTableView *Script::griglia() const
{
    FinestraFigliaHost *f = pannello();
    return f && f->widget() ? f->widget()->findChild<QTableView *>(QStringLiteral("Grid1")) : nullptr;
}

int Script::righeSync(const char *riga) const
{
    QFile log(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
              QStringLiteral("/Dorvane/Quor/Quor.log"));
    if (!log.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return int(log.readAll().count(riga));
}

int Script::esegui(const QStringList &righe)
{
    m_host.risposte().impostaScript([this](const QString &t) { scrivi(t); });
    for (const QString &testo : righe) {
        const QStringList parole = Parole(testo);
        if (parole.isEmpty() || parole.first().startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (parole.first().toLower() == QLatin1String("cronometra") && parole.size() == 1) {
            m_cronometra = true;
            continue;
        }
        QElapsedTimer tempo;
        tempo.start();
        const bool ok = riga(parole);
        if (std::exchange(m_cronometra, false)) {
            scrivi(QStringLiteral("TEMPO %1").arg(double(tempo.nsecsElapsed()) / 1e6, 0, 'f', 2));
        }
        if (!ok) {
            return 1;
        }
        attendi();
        if (!m_host.risposte().senzaRisposta().isEmpty()) {
            scrivi(QStringLiteral("ERRORE ") + m_host.risposte().senzaRisposta());
            return 1;
        }
    }
    return 0;
}
