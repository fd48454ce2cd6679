#include "ServerSchema.h"

#include <QCryptographicHash>

namespace lanvera::serverschema {

namespace {

const QString tableOptions = QStringLiteral(" ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci");

// Key columns are NOT NULL; the other text columns accept NULL and default to '', so that a
// program binding a null text does not fail on a strict server.
TableDefinition medici()
{
    return {QStringLiteral("tblmedici"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS `quor`.`tblmedici` ("
                           "`ID` int(11) NOT NULL AUTO_INCREMENT, "
                           "`CF` varchar(16) NOT NULL, "
                           "`Cognome` varchar(100) NOT NULL DEFAULT '', "
                           "`Nome` varchar(100) NOT NULL DEFAULT '', "
                           "`Sospeso` int(11) NOT NULL DEFAULT 0, "
                           "`Password` varchar(255) DEFAULT '', "
                           "`IDGruppo` int(11) NOT NULL DEFAULT 0, "
                           "`Progressivo` int(11) NOT NULL DEFAULT 0, "
                           "`Ulmet` varchar(255) DEFAULT '', "
                           "`CodiceRegionale` varchar(32) DEFAULT '', "
                           "`ASLCompleto` varchar(32) DEFAULT '', "
                           "PRIMARY KEY (`ID`), "
                           "UNIQUE KEY `CF` (`CF`), "
                           "KEY `IDGruppo` (`IDGruppo`, `Progressivo`))") +
                tableOptions,
            {QStringLiteral("ID"), QStringLiteral("CF"), QStringLiteral("Cognome"), QStringLiteral("Nome"),
             QStringLiteral("Sospeso"), QStringLiteral("Password"), QStringLiteral("IDGruppo"),
             QStringLiteral("Progressivo"), QStringLiteral("Ulmet"), QStringLiteral("CodiceRegionale"),
             QStringLiteral("ASLCompleto")}};
}

TableDefinition anagrafica()
{
    return {QStringLiteral("tblanagrafica"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS `quor`.`tblanagrafica` ("
                           "`ID` int(11) NOT NULL AUTO_INCREMENT, "
                           "`IDPaziente` varchar(116) NOT NULL DEFAULT '', "
                           "`CF` varchar(32) DEFAULT '', "
                           "`Tessera` varchar(32) DEFAULT '', "
                           "`Cognome` varchar(100) DEFAULT '', "
                           "`Nome` varchar(100) DEFAULT '', "
                           "`Sesso` varchar(10) DEFAULT '', "
                           "`Indirizzo` varchar(255) DEFAULT '', "
                           "`Citta` varchar(100) DEFAULT '', "
                           "`CAP` varchar(10) DEFAULT '', "
                           "`Provincia` varchar(10) DEFAULT '', "
                           "`LuogoNascita` varchar(100) DEFAULT '', "
                           "`DataNascita` varchar(10) DEFAULT '', "
                           "`CFMedico` varchar(16) NOT NULL DEFAULT '', "
                           "`CFMedicoPrecedente` varchar(16) DEFAULT '', "
                           "`IDUpdate` varchar(38) DEFAULT '', "
                           "`IDDatabase` int(11) DEFAULT 0, "
                           "`Autorizzazioni` varchar(255) DEFAULT '', "
                           "PRIMARY KEY (`ID`), "
                           "UNIQUE KEY `IDPaziente` (`IDPaziente`, `CFMedico`), "
                           "KEY `CFMedico` (`CFMedico`))") +
                tableOptions,
            {QStringLiteral("ID"), QStringLiteral("IDPaziente"), QStringLiteral("CF"), QStringLiteral("Tessera"),
             QStringLiteral("Cognome"), QStringLiteral("Nome"), QStringLiteral("Sesso"), QStringLiteral("Indirizzo"),
             QStringLiteral("Citta"), QStringLiteral("CAP"), QStringLiteral("Provincia"),
             QStringLiteral("LuogoNascita"), QStringLiteral("DataNascita"), QStringLiteral("CFMedico"),
             QStringLiteral("CFMedicoPrecedente"), QStringLiteral("IDUpdate"), QStringLiteral("IDDatabase"),
             QStringLiteral("Autorizzazioni")}};
}

TableDefinition modifiche()
{
    return {QStringLiteral("tblmodifiche"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS `quor`.`tblmodifiche` ("
                           "`ID` int(11) NOT NULL AUTO_INCREMENT, "
                           "`IDPaziente` varchar(116) NOT NULL DEFAULT '', "
                           "`CFMedico` varchar(16) DEFAULT '', "
                           "`CFMedicoTitolare` varchar(16) DEFAULT '', "
                           "`Modifiche` longtext NOT NULL, "
                           "PRIMARY KEY (`ID`), "
                           "KEY `IDPaziente` (`IDPaziente`))") +
                tableOptions,
            {QStringLiteral("ID"), QStringLiteral("IDPaziente"), QStringLiteral("CFMedico"),
             QStringLiteral("CFMedicoTitolare"), QStringLiteral("Modifiche")}};
}

} // namespace

QString networkDatabase()
{
    return QStringLiteral("quor");
}

QString createNetworkDatabaseStatement()
{
    return QStringLiteral("CREATE DATABASE IF NOT EXISTS `quor` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci");
}

QList<TableDefinition> networkTables()
{
    return {medici(), anagrafica(), modifiche()};
}

QString chartDatabaseGrantPattern()
{
    return QStringLiteral("quor\\_%");
}

QStringList networkDatabaseRights()
{
    return {QStringLiteral("SELECT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"), QStringLiteral("DELETE")};
}

QStringList chartDatabaseRights()
{
    return {QStringLiteral("CREATE"), QStringLiteral("SELECT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
            QStringLiteral("DELETE"), QStringLiteral("INDEX"),  QStringLiteral("ALTER")};
}

QStringList accountHosts()
{
    return {QStringLiteral("%"), QStringLiteral("localhost")};
}

QString nativePasswordHash(const QString &password)
{
    const QByteArray once = QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1);
    const QByteArray twice = QCryptographicHash::hash(once, QCryptographicHash::Sha1);
    return QLatin1Char('*') + QString::fromLatin1(twice.toHex().toUpper());
}

QString quoteText(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace lanvera::serverschema
