#pragma once

#include <optional>
#include <string>
#include <string_view>

// Cell numbers in E.164, through libphonenumber.
namespace phones {

// The E.164 form (+ country calling code + number) of a number typed in the region (ISO 3166-1
// alpha-2), or empty where the region has no calling code, the number does not parse, or it has no
// length the region's numbers have: exactly what libphonenumber's parse gives. From any thread.
std::string e164(std::string_view typed, std::string_view region);

// The same by libphonenumber's parse alone, which e164 is held to.
std::string e164ByParse(std::string_view typed, std::string_view region);

// e164's way for a number of digits alone (what the form's cell field takes), in the common case;
// nullopt where it leaves the number to the parse.
std::optional<std::string> e164OfDigits(std::string_view typed, std::string_view region);

} // namespace phones
