#pragma once

#include <QString>

#include <optional>

namespace lanvera {

// True when standard input is an interactive terminal.
bool standardInputIsTerminal();

// Writes `prompt` to standard error and reads one line from the terminal without echoing it.
// Empty when standard input is no terminal or the input ended.
std::optional<QString> readPasswordFromTerminal(const QString &prompt);

} // namespace lanvera
