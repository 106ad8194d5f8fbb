#pragma once

#include <QStringList>

// The lists the form and the Preferences window offer. Row 0 of the carrier, gender and year lists is a
// prompt that counts as nothing chosen.
namespace lists {

inline constexpr int kNewestBirthYear = 1994;
inline constexpr int kOldestBirthYear = 1920;
// The one country the form singles out.
inline const QString kUnitedStates = QStringLiteral("UNITED STATES");

const QStringList& countries(); // 224 rows, "UNITED STATES" first
const QStringList& carriers();  // 32 rows, "Select" first, "Other" last
const QStringList& genders();   // "M/F", "Male", "Female"
const QStringList& years();     // "Select", then 1994 down to 1920

} // namespace lists
