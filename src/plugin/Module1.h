#pragma once

#include <QString>

// The plug-in's general routines.
namespace Module1 {

// The stored form of a doctor's password: clsAES::EncryptStr of it, or the empty text for an
// empty password (no password set).
QString CifraPassword(const QString &testo);

} // namespace Module1
