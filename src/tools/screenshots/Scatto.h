#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QTextStream>
#include <QWidget>

// What the two picture programs share: the folder of their argument, a fixed moment for the
// made-up log lines and the picture of one window.
namespace scatti {

// The moment of the made-up log lines.
inline QDateTime Adesso()
{
    return {QDate(2024, 3, 12), QTime(9, 41, 7)};
}

// The folder given as the only argument, created when missing; empty (and a message) otherwise.
inline QString Cartella(const char *programma)
{
    const QStringList argomenti = QCoreApplication::arguments();
    if (argomenti.size() != 2) {
        QTextStream(stderr) << "usage: " << programma << " FOLDER\n";
        return {};
    }
    if (!QDir().mkpath(argomenti.at(1))) {
        QTextStream(stderr) << "cannot create " << argomenti.at(1) << '\n';
        return {};
    }
    return argomenti.at(1);
}

// The picture of `finestra`, shown and laid out, saved as `nome` in `cartella`; then it closes.
inline bool Salva(QWidget &finestra, const QString &cartella, const QString &nome)
{
    finestra.show();
    const QString file = QDir(cartella).filePath(nome);
    const bool ok = finestra.grab().save(file, "PNG");
    QTextStream(stderr) << (ok ? "written " : "cannot write ") << file << '\n';
    finestra.close();
    return ok;
}

} // namespace scatti
