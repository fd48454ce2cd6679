#include "Script.h"

#include "Finestre.h"
#include "Host.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

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
    scrivi(QStringLiteral("ERRORE riga non valida: ") + parole.join(QLatin1Char(' ')));
    return false;
}

int Script::esegui(const QStringList &righe)
{
    m_host.risposte().impostaScript([this](const QString &t) { scrivi(t); });
    for (const QString &testo : righe) {
        const QStringList parole = Parole(testo);
        if (parole.isEmpty() || parole.first().startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (!riga(parole)) {
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
