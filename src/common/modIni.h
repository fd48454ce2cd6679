#pragma once

#include <QString>

namespace lanvera {

// Settings files in the private-profile form: "[Section]" headers, "key=value" lines, ";" comments.
// Section and key names match without regard to letter case; a value is trimmed and loses one pair
// of surrounding quotes; a value is at most 254 characters long; a missing file, section or key
// reads as empty text.

inline constexpr qsizetype LunghezzaMassimaValoreIni = 254;

QString LeggiIniFile(const QString &file, const QString &sezione, const QString &chiave);

// Replaces the key's value in place, or adds the key at the end of its section, or adds the
// section at the end of the file; creates the file when missing. The file is replaced atomically.
bool ScriviIniFile(const QString &file, const QString &sezione, const QString &chiave, const QString &valore);

// The file that LeggiIni reads is fixed per program: "plgLanvera.ini" beside Sync and the
// plug-in, "Quor.ini" in the data folder for the administration program.
void ImpostaFileIni(const QString &file);
QString FileIni();

QString LeggiIni(const QString &sezione, const QString &chiave);

// An empty file writes to "Quor.ini" in the data folder.
bool ScriviIni(const QString &sezione, const QString &chiave, const QString &valore, const QString &file = {});

} // namespace lanvera
