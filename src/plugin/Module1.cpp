#include "Module1.h"

#include "clsAES.h"

namespace Module1 {

QString CifraPassword(const QString &testo)
{
    if (testo.isEmpty()) {
        return {};
    }
    return clsAES().EncryptStr(testo);
}

} // namespace Module1
