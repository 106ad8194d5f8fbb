#pragma once

#include <QString>

namespace platform {

// The number at the start of a text: optional blanks, an optional sign, digits, an optional fraction.
// No number at the start gives 0; a number after other text is not found.
double Val(const QString& text);

// Texts count characters as a person types them: a character outside the Basic Multilingual Plane is
// one character, although it takes two UTF-16 units (a surrogate pair). A lone surrogate counts as one.
qsizetype Len(const QString& text);
// The text of `length` characters from character `start` (counted from 1); empty beyond the end.
QString Mid(const QString& text, qsizetype start, qsizetype length);
// The UTF-16 index after the first `characters` characters: what a line edit's cursor position counts.
qsizetype unitIndex(const QString& text, qsizetype characters);

// Compares two texts. Mode 0 is exact: same characters in the same order, letter case included.
// Returns 0 when equal, -1 or 1 otherwise.
int StrComp(const QString& a, const QString& b, int mode);

// Conversion of a double to a 32-bit integer: drops the fraction toward zero and saturates at the ends.
qint32 toInt32(double value);

} // namespace platform
