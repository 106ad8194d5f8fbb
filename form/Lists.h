#pragma once

#include <QStringList>

// The lists the form offers. Row 0 of the carrier, gender and year lists is a prompt that counts as
// nothing chosen.
inline constexpr int kNewestBirthYear = 1994;
inline constexpr int kOldestBirthYear = 1920;
inline const QString kUnitedStates = QStringLiteral("UNITED STATES");

const QStringList& countryList(); // 224 rows, "UNITED STATES" first
const QStringList& carrierList(); // 32 rows, "Select" first, "Other" last
const QStringList& genderList();  // "M/F", "Male", "Female"
const QStringList& yearList();    // "Select", then 1994 down to 1920
