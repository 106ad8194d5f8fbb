#include "core/PhoneNumbers.h"

#include <phonenumbers/phonemetadata.pb.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <memory>
#include <unordered_map>

// libphonenumber's compiled-in metadata, which its parse reads: the library exports it, but installs no
// header for it.
namespace i18n::phonenumbers {
int metadata_size();
const void* metadata_get();
} // namespace i18n::phonenumbers

// Why there are two ways: a typed cell number is digits alone (the form's field takes nothing else), and
// for such a number most of libphonenumber's parse goes on regular expressions that only matter for
// other text (a plus sign, letters, an extension, punctuation), each run through a matcher made anew.
// e164OfDigits takes the parse's steps that digits alone can meet, with the region's own expressions
// from the library's metadata, compiled once and matched by a matcher kept per thread: a number that
// begins with the international prefix or the country calling code goes to the parse, and the national
// prefix is stripped where the parse strips it. The tests hold the two to the same results.
namespace phones {
namespace {

using i18n::phonenumbers::PhoneMetadata;
using i18n::phonenumbers::PhoneMetadataCollection;
using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

// As the parse has them (PhoneNumberUtil::kMinLengthForNsn, kMaxLengthForNsn).
constexpr size_t kMinLength = 2;
constexpr size_t kMaxLength = 17;

std::unique_ptr<icu::RegexPattern> compiled(const std::string& pattern)
{
    UParseError where;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> regex(
        icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, where, status));
    return U_SUCCESS(status) ? std::move(regex) : nullptr;
}

struct Region
{
    const PhoneMetadata* metadata = nullptr;
    std::string callingCode; // "44"
    std::unique_ptr<icu::RegexPattern> internationalPrefix;
    std::unique_ptr<icu::RegexPattern> nationalPrefix; // none: nothing to strip
    bool transformed = false;                          // a national prefix the parse may rewrite
    std::unique_ptr<icu::RegexPattern> numbers;        // what the region's numbers look like; may be none
};

class Regions
{
public:
    static const Regions& instance()
    {
        static const Regions regions;
        return regions;
    }

    // Null where the region's numbers are left to the parse.
    const Region* find(std::string_view code) const
    {
        const auto found = m_regions.find(code);
        return found == m_regions.end() ? nullptr : &found->second;
    }

private:
    Regions()
    {
        if (!m_collection.ParseFromArray(i18n::phonenumbers::metadata_get(), i18n::phonenumbers::metadata_size()))
            return;
        for (const PhoneMetadata& metadata : m_collection.metadata()) {
            if (metadata.id().size() != 2 || metadata.international_prefix().empty()
                || metadata.general_desc().possible_length().empty())
                continue;
            Region region;
            region.metadata = &metadata;
            region.callingCode = std::to_string(metadata.country_code());
            region.internationalPrefix = compiled(metadata.international_prefix());
            if (!metadata.national_prefix_for_parsing().empty())
                region.nationalPrefix = compiled(metadata.national_prefix_for_parsing());
            region.transformed = !metadata.national_prefix_transform_rule().empty();
            if (!metadata.general_desc().national_number_pattern().empty())
                region.numbers = compiled(metadata.general_desc().national_number_pattern());
            const bool whole = region.internationalPrefix
                && (metadata.national_prefix_for_parsing().empty() || region.nationalPrefix)
                && (metadata.general_desc().national_number_pattern().empty() || region.numbers);
            if (whole)
                m_regions.emplace(metadata.id(), std::move(region));
        }
    }

    PhoneMetadataCollection m_collection;
    std::map<std::string, Region, std::less<>> m_regions;
};

// Matchers of this thread, one per expression, all reading one number.
class Matching
{
public:
    enum Result { Error = -2, None = -1 }; // or where the match ends

    // The parse's Consume, a match at the start: where it ends. Its FullMatch, a match of all of it: 1 or 0.
    int atStart(const icu::RegexPattern& pattern, std::string_view digits) { return match(pattern, digits, false); }
    int whole(const icu::RegexPattern& pattern, std::string_view digits) { return match(pattern, digits, true); }

private:
    int match(const icu::RegexPattern& pattern, std::string_view digits, bool all)
    {
        icu::RegexMatcher* matcher = on(pattern, digits);
        if (matcher == nullptr)
            return Error;
        UErrorCode status = U_ZERO_ERROR;
        const bool found = all ? matcher->matches(status) : matcher->lookingAt(status);
        const int result = !found ? (all ? 0 : None) : all ? 1 : matcher->end(status);
        return U_SUCCESS(status) ? result : Error;
    }

    icu::RegexMatcher* on(const icu::RegexPattern& pattern, std::string_view digits)
    {
        std::unique_ptr<icu::RegexMatcher>& matcher = m_matchers[&pattern];
        if (!matcher) {
            UErrorCode status = U_ZERO_ERROR;
            matcher.reset(pattern.matcher(status));
            if (U_FAILURE(status))
                matcher.reset();
            if (!matcher)
                return nullptr;
        }
        // Digits are the same in UTF-16, one unit each: where a match ends is where it ends in `digits`.
        m_input.truncate(0);
        for (const char digit : digits)
            m_input.append(char16_t(digit));
        matcher->reset(m_input);
        return matcher.get();
    }

    icu::UnicodeString m_input; // read by the matchers: declared first, so it outlives them
    std::unordered_map<const icu::RegexPattern*, std::unique_ptr<icu::RegexMatcher>> m_matchers;
};

// The parse's test of a national number's length against the region's numbers (TestNumberLength).
enum class Length { Possible, LocalOnly, TooShort, TooLong, Invalid };
Length lengthFor(size_t length, const PhoneMetadata& metadata)
{
    const auto& possible = metadata.general_desc().possible_length();
    const auto& localOnly = metadata.general_desc().possible_length_local_only();
    const int actual = int(length);
    if (possible.Get(0) == -1)
        return Length::Invalid;
    if (std::find(localOnly.begin(), localOnly.end(), actual) != localOnly.end())
        return Length::LocalOnly;
    if (possible.Get(0) == actual)
        return Length::Possible;
    if (possible.Get(0) > actual)
        return Length::TooShort;
    if (possible.Get(possible.size() - 1) < actual)
        return Length::TooLong;
    return std::find(possible.begin() + 1, possible.end(), actual) != possible.end() ? Length::Possible
                                                                                     : Length::Invalid;
}

thread_local Matching t_matching;

} // namespace

std::optional<std::string> e164OfDigits(std::string_view typed, std::string_view regionCode)
{
    if (typed.size() < kMinLength || typed.size() > kMaxLength
        || !std::all_of(typed.begin(), typed.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const Region* region = Regions::instance().find(regionCode);
    if (region == nullptr)
        return std::nullopt;
    Matching& matching = t_matching;

    // In international form, or perhaps: the parse tells.
    if (matching.atStart(*region->internationalPrefix, typed) != Matching::None
        || typed.starts_with(region->callingCode))
        return std::nullopt;

    std::string_view national = typed;
    if (region->nationalPrefix) {
        const int prefix = matching.atStart(*region->nationalPrefix, typed);
        if (prefix == Matching::Error || (prefix != Matching::None && region->transformed))
            return std::nullopt;
        if (prefix != Matching::None) {
            const std::string_view stripped = typed.substr(size_t(prefix));
            // Not where it would take a number that looks like the region's numbers to one that does not.
            bool strip = true;
            if (region->numbers) {
                const int before = matching.whole(*region->numbers, typed);
                const int after = matching.whole(*region->numbers, stripped);
                if (before == Matching::Error || after == Matching::Error)
                    return std::nullopt;
                strip = before == 0 || after == 1;
            }
            // Nor where what is left is shorter than the region's numbers, or of a length none has.
            const Length left = lengthFor(stripped.size(), *region->metadata);
            if (strip && left != Length::TooShort && left != Length::LocalOnly && left != Length::Invalid)
                national = stripped;
        }
    }
    if (national.size() < kMinLength)
        return std::string();

    PhoneNumber number;
    number.set_country_code(region->metadata->country_code());
    if (national.size() > 1 && national.front() == '0') {
        number.set_italian_leading_zero(true);
        size_t zeros = 1;
        while (zeros < national.size() - 1 && national[zeros] == '0')
            ++zeros;
        if (zeros != 1)
            number.set_number_of_leading_zeros(int(zeros));
    }
    uint64_t value = 0;
    std::from_chars(national.data(), national.data() + national.size(), value);
    number.set_national_number(value);

    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    if (util.IsPossibleNumberWithReason(number) != PhoneNumberUtil::IS_POSSIBLE)
        return std::string();
    std::string formatted;
    util.Format(number, PhoneNumberUtil::E164, &formatted);
    return formatted;
}

std::string e164ByParse(std::string_view typed, std::string_view region)
{
    if (typed.empty() || region.empty())
        return {};
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    if (util.Parse(std::string(typed), std::string(region), &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return {};
    // A length the country's numbers have; a number that needs an area code it lacks does not fit.
    if (util.IsPossibleNumberWithReason(number) != PhoneNumberUtil::IS_POSSIBLE)
        return {};
    std::string formatted;
    util.Format(number, PhoneNumberUtil::E164, &formatted);
    return formatted;
}

std::string e164(std::string_view typed, std::string_view region)
{
    if (std::optional<std::string> formatted = e164OfDigits(typed, region))
        return *std::move(formatted);
    return e164ByParse(typed, region);
}

} // namespace phones
