#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

class Host;

// The host's script mode, for tests and the demo: one line after another, each when the work the
// one before started has finished. Messages and results are written to `uscita`.
class Script
{
public:
    Script(Host &host, QTextStream &uscita) : m_host(host), m_uscita(uscita) {}

    // Runs the lines; 0 when every line ran, 1 otherwise (the reason is written).
    int esegui(const QStringList &righe);

    // A line's words; words with blanks stand in double quotes.
    static QStringList Parole(const QString &riga);

private:
    bool riga(const QStringList &parole);
    void attendi();
    void scrivi(const QString &testo);
    class QTableView *griglia() const;
    class FinestraFigliaHost *pannello() const;
    // How many runs of Sync began and ended, as its run log counts them.
    int righeSync(const char *riga) const;

    Host &m_host;
    QTextStream &m_uscita;
    int m_avviatePrima = 0;
    bool m_cronometra = false; // the next line's own time is printed
    int m_conclusePrima = 0;
};
