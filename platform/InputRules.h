#pragma once

#include <QString>

#include <optional>

namespace platform {

// The input rules of an edit field, apart from any widget, so that every route of input (typing,
// paste, drop, input methods) and a test can put an edit through the same function.
//
// Characters are counted as a person types them: a character outside the Basic Multilingual Plane
// (an emoji, a CJK Extension B ideograph) is one character and one mask place, and is never split.
//
// Mask: "#" takes one digit 0-9; "&" takes one printable character other than a blank; any other mask
// character takes anything. A mask of N places takes at most N characters; an empty mask takes anything.
// A limit N > 0 caps the length. Line breaks and lone surrogates never enter a field, and a character
// beyond the length allowed is refused silently. A character the mask refuses ends the edit there.

// A character the mask refused, and what the edit still held after it.
struct InputRefusal
{
    QString textWithCharacter; // the accepted text with the refused character inserted at its place
    int position = 0;          // that character's place in textWithCharacter, in characters from 1
    QString rest;              // the inserted characters after the refused one, not yet judged

    friend bool operator==(const InputRefusal&, const InputRefusal&) = default;
};

struct InputOutcome
{
    QString text;
    int cursor = 0; // in UTF-16 units, as a line edit counts its cursor
    std::optional<InputRefusal> refusal;

    friend bool operator==(const InputOutcome&, const InputOutcome&) = default;
};

// Whether a character may stand at a mask place ("#" a digit, "&" any printable character but a
// blank; any other place anything).
bool maskPlaceAccepts(QChar place, char32_t character);

// Applies the rules to one edit: `before` is the text as last accepted, `after` the text the edit would
// leave, with the cursor (in UTF-16 units) behind the inserted text. The inserted characters are judged
// one after the other at the places they would take; the accepted ones are kept up to the first refusal.
// Text that the edit did not touch is kept as it is, and removing text is always accepted (half of a
// surrogate pair is removed with its other half).
InputOutcome applyInputRules(const QString& before, const QString& after, int cursor, const QString& mask, int limit);

} // namespace platform
