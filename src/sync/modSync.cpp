#include "modSync.h"

#include "ConnessioneServer.h"
#include "modArchivio.h"
#include "modCartelle.h"
#include "modIni.h"
#include "modLog.h"

using namespace lanvera;

namespace modSync {

QString FileListaArchivi()
{
    return DataFolder() + QStringLiteral("/Quor.mdb");
}

void PreparaCartelleSync()
{
    QString chiave = QStringLiteral("Quor");
    PreparaCartelle(chiave);
}

void PreparaAvvio()
{
    ImpostaFileIni(CartellaProgramma() + QStringLiteral("/plgLanvera.ini"));
    PreparaMotore(DataFolder(), CartellaProgramma());
    PreparaDatabaseSync(FileListaArchivi());
    ScriviLog(QStringLiteral("Avvio sincronizzazione"));
    ScriviLog(QString(22, QLatin1Char('-')));
}

QString RigaComandoDa(const QStringList &argomenti)
{
    return argomenti.mid(1).join(QLatin1Char(' '));
}

bool AvviaSincronizzazione(const std::function<bool()> &sincronizzaTray)
{
    bool esito = false;
    if (!ConnettiServer()) {
        ScriviLog(UltimoErrore(), true);
    } else {
        esito = sincronizzaTray();
    }
    ChiudiServer();
    ScriviLog(QStringLiteral("Operazione terminata"));
    ScriviLog(QString());
    return esito;
}

} // namespace modSync
