#pragma once

#include <QSqlError>
#include <QString>
#include <QVariant>

// How the operator's tools read the server's errors and bind optional texts.
namespace lanvera::erroriserver {

// Client library errors (CR_*) that mean nobody answers, or the connection went away.
inline bool isUnreachable(int code)
{
    return code == 2002 || code == 2003 || code == 2005 || code == 2006 || code == 2013 || code == 2055;
}

// Server errors at login: bad user or password, host not allowed or blocked.
inline bool isLoginRefused(int code)
{
    return code == 1045 || code == 1698 || code == 1130 || code == 1129;
}

inline int nativeCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code : 0;
}

inline QString describe(const QSqlError &error)
{
    const int code = nativeCode(error);
    if (code != 0 && !error.databaseText().isEmpty()) {
        return QStringLiteral("error %1: %2").arg(code).arg(error.databaseText());
    }
    return error.text();
}

// A null QString would be bound as NULL; the optional texts are stored as ''.
inline QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

} // namespace lanvera::erroriserver
