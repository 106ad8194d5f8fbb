#pragma once

#include <QString>

namespace platform {

// The number at the start of a text: optional blanks, an optional sign, digits, an optional fraction.
// No number at the start gives 0; a number after other text is not found.
double Val(const QString& text);

// Compares two texts. Mode 0 is exact: same characters in the same order, letter case included.
// Returns 0 when equal, -1 or 1 otherwise.
int StrComp(const QString& a, const QString& b, int mode);

// Conversion of a double to a 32-bit integer: drops the fraction toward zero and saturates at the ends.
qint32 toInt32(double value);

} // namespace platform
