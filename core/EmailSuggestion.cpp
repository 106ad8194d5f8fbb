#include "core/EmailSuggestion.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace email {

namespace {

// The mail domains most visitors have, the most common first: a near miss goes to the first of equal
// distance. Real domains one letter from another (mail.com and gmail.com, live.com and live.co.uk) are
// here so that they are never "corrected".
const QStringList kWellKnown = {
    QStringLiteral("gmail.com"),      QStringLiteral("yahoo.com"),      QStringLiteral("hotmail.com"),
    QStringLiteral("outlook.com"),    QStringLiteral("icloud.com"),     QStringLiteral("aol.com"),
    QStringLiteral("live.com"),       QStringLiteral("msn.com"),        QStringLiteral("me.com"),
    QStringLiteral("mac.com"),        QStringLiteral("ymail.com"),      QStringLiteral("googlemail.com"),
    QStringLiteral("comcast.net"),    QStringLiteral("verizon.net"),    QStringLiteral("att.net"),
    QStringLiteral("sbcglobal.net"),  QStringLiteral("yahoo.ca"),       QStringLiteral("hotmail.ca"),
    QStringLiteral("yahoo.co.uk"),    QStringLiteral("hotmail.co.uk"),  QStringLiteral("live.co.uk"),
    QStringLiteral("btinternet.com"), QStringLiteral("yahoo.fr"),       QStringLiteral("hotmail.fr"),
    QStringLiteral("orange.fr"),      QStringLiteral("wanadoo.fr"),     QStringLiteral("free.fr"),
    QStringLiteral("laposte.net"),    QStringLiteral("gmx.de"),         QStringLiteral("web.de"),
    QStringLiteral("t-online.de"),    QStringLiteral("yahoo.de"),       QStringLiteral("hotmail.de"),
    QStringLiteral("gmx.net"),        QStringLiteral("gmx.com"),        QStringLiteral("mail.com"),
    QStringLiteral("aim.com"),        QStringLiteral("protonmail.com"), QStringLiteral("proton.me"),
};

// Endings typed for .com, .net and .org by a finger that slipped; Cameroon's .cm is far more often a
// missed "o" than a Cameroonian address.
struct Slip
{
    const char* typed;
    const char* meant;
};
// clang-format off
constexpr Slip kSlips[] = {
    {".con", ".com"}, {".cmo", ".com"}, {".comm", ".com"}, {".cm", ".com"}, {".ocm", ".com"},
    {".vom", ".com"}, {".xom", ".com"}, {".cpm", ".com"}, {".coom", ".com"},
    {".nte", ".net"}, {".ner", ".net"}, {".ogr", ".org"}, {".orgg", ".org"},
};
// clang-format on

// Letters added, dropped, changed or swapped with a neighbour, one each (optimal string alignment).
// Gives up, with more than `limit`, as soon as the lengths tell.
int distance(const QString& a, const QString& b, int limit)
{
    if (std::abs(a.size() - b.size()) > limit)
        return limit + 1;
    const qsizetype n = b.size();
    std::vector<int> before(n + 1), previous(n + 1), current(n + 1);
    for (qsizetype j = 0; j <= n; ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= n; ++j) {
            const int change = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[n];
}

// Two letters away only for the longer domains: for a short one that is another real domain
// (ibm.com is two from aim.com).
int allowedDistance(const QString& known)
{
    return known.size() >= 9 ? 2 : 1;
}

std::optional<QString> nearWellKnown(const QString& domain)
{
    std::optional<QString> best;
    int bestDistance = 3;
    for (const QString& known : kWellKnown) {
        const int d = distance(domain, known, allowedDistance(known));
        if (d <= allowedDistance(known) && d < bestDistance) {
            best = known;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace

std::optional<QString> suggestion(const QString& address)
{
    const qsizetype at = address.lastIndexOf(u'@');
    if (at < 0)
        return std::nullopt;
    const QString local = address.left(at + 1);
    const QString domain = address.mid(at + 1).toLower();
    if (domain.isEmpty() || kWellKnown.contains(domain))
        return std::nullopt;
    if (const std::optional<QString> known = nearWellKnown(domain))
        return local + *known;
    for (const Slip& slip : kSlips) {
        const QLatin1StringView typed(slip.typed);
        if (domain.endsWith(typed) && domain.size() > typed.size())
            return local + domain.chopped(typed.size()) + QLatin1StringView(slip.meant);
    }
    return std::nullopt;
}

} // namespace email
