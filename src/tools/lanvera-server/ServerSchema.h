#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The server side of the network as the operator sets it up: the shared database `quor` with its
// three tables, and the rights of the programs' account on it and on the chart databases
// `quor_` + number, which the programs create themselves on first use.
namespace lanvera::serverschema {

struct TableDefinition
{
    QString name;
    QString createStatement; // CREATE TABLE IF NOT EXISTS, qualified with the database name
    QStringList columns;     // every column the programs use
};

QString networkDatabase();

// Creates `quor` when missing, with the character set of every table in it.
QString createNetworkDatabaseStatement();

QList<TableDefinition> networkTables();

// GRANT pattern of the chart databases: `quor\_%` (the underscore escaped, so that it is not a
// wildcard).
QString chartDatabaseGrantPattern();

QStringList networkDatabaseRights();
QStringList chartDatabaseRights();

// The account's hosts: '%' for the doctors' computers and 'localhost', which MariaDB matches
// before '%' for local connections (also over TCP from 127.0.0.1).
QStringList accountHosts();

// The stored form of a password for mysql_native_password: '*' and the upper-case hexadecimal
// SHA-1 of the SHA-1 of the password. Lets the account be created without the password itself
// travelling in the statement.
QString nativePasswordHash(const QString &password);

// 'text' with apostrophes and backslashes escaped, for the few statements (CREATE USER, GRANT)
// that take no bound values.
QString quoteText(const QString &text);

} // namespace lanvera::serverschema
