#include "form/Window1.h"

// Coarse on purpose: an at sign, and a dot somewhere after the first one.
QString Window1::ValidateEmail(const QString& address)
{
    const qsizetype at = address.indexOf(u'@');
    if (address.isEmpty())
        return QStringLiteral("no value supplied");
    if (at < 0)
        return QStringLiteral("invalid address");
    if (!address.mid(at + 1).contains(u'.'))
        return QStringLiteral("invalid formatting");
    return QStringLiteral("1");
}
