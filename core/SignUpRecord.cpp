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

} // namespace record
