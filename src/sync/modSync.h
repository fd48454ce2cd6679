#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The steps of Sync's entry routine that need no window.
namespace modSync {

// "Quor.mdb", the list of archives, in the data folder.
QString FileListaArchivi();

// Makes the data folders ("Dorvane/Quor" below the common application data folder).
void PreparaCartelleSync();

// Copies the workgroup file, creates the list of archives when missing or completes one without
// its table, binds the settings file beside the program and writes the run's first lines to the
// run log. Nothing here stops the run: what fails shows when the list is opened.
void PreparaAvvio();

// The whole command line after the program's name, as one text: the arguments joined by single
// blanks, so that a path with blanks arrives whole.
QString RigaComandoDa(const QStringList &argomenti);

// Connects to the server, lets `sincronizzaTray` run the archives, closes the connection and ends
// the run log's block. A connection failure is logged and no archive is touched. The result is
// `sincronizzaTray`'s, false when the server could not be reached.
bool AvviaSincronizzazione(const std::function<bool()> &sincronizzaTray);

} // namespace modSync
