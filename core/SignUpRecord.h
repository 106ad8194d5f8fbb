#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The sign-up record: one line of the data file, built from the form's values alone, and read back.
namespace record {

// The columns of a line.
inline constexpr int kColumns = 14;

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

// The 14 values of a line, read back exactly as the columns were written: each between double quotes
// with its quotes doubled, each followed by its comma, nothing after the last. The line is given
// without its line break. nullopt for a line this writer cannot have made: another number of columns,
// a value without its quotes or comma, a lone quote inside one, text after the last comma, or a
// character the writer turns into a blank. The values are not checked further: a line edited by hand
// that keeps the format reads as what it holds.
std::optional<QStringList> parse(QStringView line);

// The same reading on a line's UTF-8 bytes, without building a string: each column as it stands between
// its quotes (a quote inside still doubled), pointing into the line. For a line that is valid UTF-8 it
// refuses exactly the lines parse() refuses; what another line holds is not defined here.
using RawColumns = std::array<QByteArrayView, kColumns>;
std::optional<RawColumns> rawColumns(QByteArrayView utf8Line);
// A raw column's value: the quotes inside it undoubled.
QByteArray valueOf(QByteArrayView rawColumn);

} // namespace record
