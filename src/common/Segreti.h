#pragma once

#include <QString>

namespace lanvera {

// The account that every installation uses on the group's server. The password is put together
// at run time here and nowhere else; the operator's tool creates the account with the same call.
QString UtenteServer();
QString PasswordServer();

// The pass text of the plug-in's cipher (clsAES): ten printable ASCII characters, put together
// here and nowhere else.
QString PassAES();

// Accounts of the workgroup file "System.mdw".
QString UtenteJet();
QString PasswordJet();
QString UtenteJetEsclusivo();
QString PasswordJetEsclusivo();

} // namespace lanvera
