#pragma once

#include <QByteArrayView>
#include <QString>

#include <span>

namespace lists {

// The ISO 3166-1 alpha-2 code of a name of the country list ("GB" for "UNITED KINGDOM"); empty for a
// country that no longer exists ("NETHERLANDS ANTILLES", "YUGOSLAVIA") and for a name not in the list.
QString countryCode(QStringView country);
// The same for the name's UTF-8 bytes, without building a string; the view is of a literal.
QByteArrayView countryCodeOfUtf8(QByteArrayView country);

// Every row of the country list's table of codes, in the list's order: what the codes are checked by.
struct CountryCode
{
    const char* country;
    const char* code;
};
std::span<const CountryCode> countryCodes();

} // namespace lists
