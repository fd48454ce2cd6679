#pragma once

#include <QString>

namespace clinora {
class ClsDB;
}

// The archive tables and indexes this system adds to the host's archive, written as one-line
// descriptors ("T|table|field|type|..." and "I|table|index|P|U|R|field|..."), and the structure
// check that applies them.
namespace modStruttura {

// Creates the table of a descriptor. Types: "M" memo, "C" counter, "L" long, "D" date, "V"
// currency, "S" single, "O" binary, "N" numeric, "I" integer, "B" Boolean, a number n text of n
// characters; a pair of another letter is skipped. False with the reason in `errore`.
bool CreaTabella(clinora::ClsDB &db, const QString &descrittore, QString *errore = nullptr);
// Creates the index of a descriptor; flags "1" true: P primary, U unique, R required.
bool CreaIndice(clinora::ClsDB &db, const QString &descrittore, QString *errore = nullptr);

// The structure check of an archive the host opens: brings this system's tables to version 1.
// Every step runs even when the one before failed; nothing is reported.
void VerificaStruttura(clinora::ClsDB &db, const QString &versione);

// The host version from which the plug-in works: a version text must compare above it.
bool VersioneValida(const QString &versione);

} // namespace modStruttura
