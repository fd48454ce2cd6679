#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

class QDate;

// Italian fiscal codes: 3 letters of the surname, 3 of the name, year, month letter, day
// (plus 40 for women), the municipality's cadastral code and a check character.
namespace lanvera::host {

// The three letters that stand for a surname (nome = false) or a first name (nome = true):
// consonants then vowels, padded with "X"; a first name with four or more consonants takes
// the first, third and fourth. Accents are dropped, blanks and apostrophes ignored.
QString CodiceNominativo(const QString &testo, bool nome);

// The check character of the first 15 characters, or a null QChar when they are not valid.
QChar CarattereControllo(QStringView primi15);

// The whole 16-character code; sesso is "M" or "F", comune a code like "H501".
QString CalcolaCodiceFiscale(const QString &cognome, const QString &nome, const QDate &nascita, QChar sesso,
                             const QString &comune);

// True for a 16-character code in the regular layout whose check character is right.
bool CodiceFiscaleValido(QStringView codice);

} // namespace lanvera::host
