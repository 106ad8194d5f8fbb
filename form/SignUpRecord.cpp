#include "form/SignUpRecord.h"

#include "form/Lists.h"

QString quotedColumn(const QString& value)
{
    QString column;
    column.reserve(value.size() + 3);
    column += u'"';
    for (const QChar c : value) {
        if (c == u'"')
            column += QStringLiteral("\"\"");
        else if (c == u'\r' || c == u'\n')
            column += u' ';
        else
            column += c;
    }
    column += QStringLiteral("\",");
    return column;
}

QString signUpRecord(const SignUpEntry& e)
{
    // The United States' city comes from the zip code; the carrier means nothing without a number.
    const QString columns[14] = {
        e.firstName,
        e.lastName,
        e.email,
        e.postCode,
        e.country == kUnitedStates ? QString() : e.city,
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
    QString line;
    for (const QString& value : columns)
        line += quotedColumn(value);
    return line;
}
