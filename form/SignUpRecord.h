#pragma once

#include <QString>

// The sign-up record: one line of the data file, built from the form's values alone.
namespace record {

// What the form holds at the moment of a sign-up, as plain values.
struct Entry
{
    QString firstName;
    QString lastName;
    QString email;
    QString postCode;
    QString city;
    QString country;
    QString cell;
    QString carrier;
    QString aolScreenName;
    QString mySpaceUserName;
    int yearBornRow = 0; // row 0 is the prompt "Select"
    QString yearBorn;
    int genderRow = 0; // row 0 is the prompt "M/F"
    QString gender;
};

// One line of the data file, without its line break: 14 columns, each quoted and followed by a comma.
// A double quote inside a value is doubled, so any CSV reader gets the value back; CR, LF, every other
// control character and U+2028/U+2029 become blanks, so a value can never split the record, whichever
// reader takes the file line by line.
QString line(const Entry& entry);

// One column of that line: the value between double quotes, then a comma, blanked and doubled as above.
QString quotedColumn(const QString& value);

} // namespace record
