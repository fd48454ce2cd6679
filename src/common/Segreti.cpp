#include "Segreti.h"

namespace lanvera {

namespace {

QString unisci(std::initializer_list<const char *> pezzi)
{
    QString testo;
    for (const char *pezzo : pezzi) {
        testo += QLatin1StringView(pezzo);
    }
    return testo;
}

} // namespace

QString UtenteServer()
{
    return QStringLiteral("utenteclinora");
}

QString PasswordServer()
{
    return unisci({"Qv7", "-lan", "Ve", "ra", "!26"});
}

QString PassAES()
{
    return unisci({"Qr7", "#p", "L2", "!vZ"});
}

QString UtenteJet()
{
    return QStringLiteral("tecnic");
}

QString PasswordJet()
{
    return unisci({"tc", "N4", "k"});
}

QString UtenteJetEsclusivo()
{
    return QStringLiteral("tecnicescl");
}

QString PasswordJetEsclusivo()
{
    return unisci({"tx", "E9", "q"});
}

} // namespace lanvera
