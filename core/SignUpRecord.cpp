#include "core/SignUpRecord.h"

#include "core/Lists.h"

namespace record {

namespace {

// Characters that some reader takes as the end of a line or a field: CR and LF for every reader,
// the other control characters (C0, DEL, C1: TAB, VT, FF, NEL...) and the line and paragraph
// separators for readers such as Python's str.splitlines.
bool breaksRecord(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
}

// The same characters in UTF-8, at the start of a character: C0 and DEL are single bytes, C1 is C2 80-9F,
// U+2028 and U+2029 are E2 80 A8 and E2 80 A9.
bool breaksRecordAt(QByteArrayView s, qsizetype i)
{
    const auto at = [&](qsizetype k) { return k < s.size() ? uchar(s[k]) : 0; };
    const uchar b = at(i);
    return b < 0x20 || b == 0x7F || (b == 0xC2 && at(i + 1) >= 0x80 && at(i + 1) <= 0x9F)
        || (b == 0xE2 && at(i + 1) == 0x80 && (at(i + 2) == 0xA8 || at(i + 2) == 0xA9));
}

} // namespace

QString quotedColumn(const QString& value)
{
    QString column;
    column.reserve(value.size() + 3);
    column += u'"';
    for (const QChar c : value) {
        if (c == u'"')
            column += QStringLiteral("\"\"");
        else if (breaksRecord(c))
            column += u' ';
        else
            column += c;
    }
    column += QStringLiteral("\",");
    return column;
}

QString line(const Entry& e)
{
    // The United States' city comes from the zip code; the carrier means nothing without a number.
    const QString columns[14] = {
        e.firstName,
        e.lastName,
        e.email,
        e.postCode,
        e.country == lists::kUnitedStates ? QString() : e.city,
        QString(),
        e.country,
        e.cell,
        e.cell.isEmpty() ? QString() : e.carrier,
        e.aolScreenName,
        e.mySpaceUserName,
        e.yearBornRow == 0 ? QString() : e.yearBorn,
        e.genderRow == 0 ? QString() : e.gender,
        QStringLiteral("html"),
    };
    QString text;
    for (const QString& value : columns)
        text += quotedColumn(value);
    return text;
}

std::optional<QStringList> parse(QStringView line)
{
    QStringList values;
    qsizetype i = 0;
    while (i < line.size() && values.size() < kColumns) {
        if (line[i++] != u'"')
            return std::nullopt;
        QString value;
        for (;;) {
            if (i == line.size())
                return std::nullopt; // the quote is never closed
            const QChar c = line[i++];
            if (c == u'"') {
                if (i == line.size() || line[i] != u'"')
                    break;
                ++i; // a doubled quote is one quote of the value
            } else if (breaksRecord(c)) {
                return std::nullopt;
            }
            value += c;
        }
        if (i == line.size() || line[i++] != u',')
            return std::nullopt;
        values.append(value);
    }
    if (values.size() != kColumns || i != line.size())
        return std::nullopt;
    return values;
}

std::optional<RawColumns> rawColumns(QByteArrayView line)
{
    RawColumns columns;
    qsizetype i = 0;
    for (QByteArrayView& column : columns) {
        if (i == line.size() || line[i++] != '"')
            return std::nullopt;
        const qsizetype start = i;
        for (;;) {
            if (i == line.size())
                return std::nullopt; // the quote is never closed
            if (line[i] == '"') {
                if (i + 1 == line.size() || line[i + 1] != '"')
                    break;
                i += 2; // a doubled quote is one quote of the value
            } else if (breaksRecordAt(line, i)) {
                return std::nullopt;
            } else {
                ++i;
            }
        }
        column = line.sliced(start, i - start);
        ++i; // the closing quote
        if (i == line.size() || line[i++] != ',')
            return std::nullopt;
    }
    if (i != line.size())
        return std::nullopt;
    return columns;
}

QByteArray valueOf(QByteArrayView rawColumn)
{
    QByteArray value = rawColumn.toByteArray();
    return rawColumn.contains('"') ? value.replace("\"\"", "\"") : value;
}

} // namespace record
