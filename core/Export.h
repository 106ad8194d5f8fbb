#pragma once

#include "core/Consent.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

// The export (quillmore --export OUT.csv): the data file as a CSV that mail and CRM tools import as it
// is. A header row, UTF-8, CRLF line ends (RFC 4180), a value quoted only where it must be; one row per
// line of the data file, in order.
namespace exporting {

struct Options
{
    QString dataFile; // the sign-ups
    QString output;   // OUT.csv, replaced whole once the export is complete
    // Values a spreadsheet would take as a formula get an apostrophe before them, and the file a byte
    // order mark, by which spreadsheets know it is UTF-8.
    bool forSpreadsheet = false;
};

// The header row.
const QStringList& columnNames();

// The export's row for a sign-up's 14 values (record::parse) and its evidence, if any; in the order of
// columnNames().
QStringList row(const QStringList& values, const std::optional<consent::Evidence>& evidence);

// The cell number in E.164 (+ country calling code + number) where the country's code is known and the
// number has a length numbers of that country have; otherwise as typed.
QString phoneE164(const QString& typed, const QString& countryCode);

// row()'s "Country Code", and its "Phone" where that is not the number as typed, for a sign-up's
// country and cell number as the data file holds them (UTF-8, quotes undoubled), without strings.
struct CodeAndPhone
{
    QByteArrayView code; // of a literal
    QByteArray e164;     // empty: the number as typed
};
CodeAndPhone codeAndPhoneOfUtf8(QByteArrayView country, QByteArrayView cell);

// One cell of the CSV: quoted where it holds a comma, a quote, a line break or a blank at either end;
// for a spreadsheet, an apostrophe before a leading = + - @ TAB or CR.
QString cell(const QString& value, bool forSpreadsheet);

// Exports, telling on `messages` what it did, its progress on a file of more than 100,000 lines, a torn
// last line it left out, and any failure. Returns the program's exit status: 0 done, 1 failed.
int exportSignUps(const Options& options, std::FILE* messages);

} // namespace exporting
