#include "core/EmailRule.h"

namespace email {

// Coarse on purpose: an at sign, and a dot somewhere after the first one.
QString verdict(const QString& address)
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

} // namespace email
