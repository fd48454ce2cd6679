#pragma once

#include "Database.h"

#include <QSqlError>

namespace lanvera::dao {

// SQLite's primary result code and message of a failed Qt SQL call.
Errore ErroreDa(const QSqlError &errore);

} // namespace lanvera::dao
