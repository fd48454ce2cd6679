#pragma once

#include <QString>

namespace lanvera {

// Shell special-folder numbers the programs ask for.
inline constexpr int CartellaDatiComuni = 35; // common application data
inline constexpr int CartellaDatiUtente = 26; // the user's application data

// The folder the running program (or, for the plug-in, its library) lives in.
QString CartellaProgramma();
void ImpostaCartellaProgramma(const QString &cartella);

// Writable folder of a special-folder number, empty when there is none.
QString CartellaSpeciale(int numero);

// The program's data folders, set by PreparaCartelle.
QString DataFolder();
QString UserFolder();

// Makes "<common data>/Dorvane/<chiave>" and "<user data>/Dorvane/<chiave>" and sets DataFolder and
// UserFolder to them; an empty key becomes the program's product name (and the key is set to it).
// A special folder that cannot be found falls back to the program folder.
void PreparaCartelle(QString &chiave);

// The temporary folder without a trailing separator.
QString CartellaTemp();

// True when the path names an existing regular file.
bool EsisteFile(const QString &percorso);

// Makes (when missing) a folder that only this user may enter, for files that hold patient data.
// Refuses a path that is a link or a folder owned by someone else, so that nothing planted there
// by another user is ever followed.
bool PreparaCartellaPrivata(const QString &cartella, QString *errore = nullptr);

// Deletes a file when the name is not empty; failures are ignored.
void CancellaFile(const QString &percorso);

} // namespace lanvera
