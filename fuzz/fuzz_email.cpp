// The e-mail check on any text: always one of its four answers, "1" exactly for a text with an at
// sign and a dot somewhere after the first one, and still "1" with more text after a valid address.
// "Did you mean ...?" on any text: only the domain changes, and into another one.
#include "FuzzCheck.h"

#include "core/EmailRule.h"
#include "core/EmailSuggestion.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString address = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString verdict = email::verdict(address);

    const qsizetype at = address.indexOf(u'@');
    const bool dotAfterAt = at >= 0 && address.indexOf(u'.', at + 1) >= 0;
    if (address.isEmpty())
        FUZZ_CHECK(verdict == QStringLiteral("no value supplied"));
    else if (at < 0)
        FUZZ_CHECK(verdict == QStringLiteral("invalid address"));
    else if (!dotAfterAt)
        FUZZ_CHECK(verdict == QStringLiteral("invalid formatting"));
    else
        FUZZ_CHECK(verdict == QStringLiteral("1"));
    // What follows a valid address keeps it valid: the check looks at the first at sign and what comes
    // after it, never at where the text ends.
    if (email::verdict(address.left(address.size() / 2)) == QStringLiteral("1"))
        FUZZ_CHECK(verdict == QStringLiteral("1"));

    if (const std::optional<QString> suggested = email::suggestion(address)) {
        const QString local = address.left(address.lastIndexOf(u'@') + 1);
        FUZZ_CHECK(!local.isEmpty() && suggested->startsWith(local));
        FUZZ_CHECK(suggested->mid(local.size()) != address.mid(local.size()).toLower());
    }
    return 0;
}
