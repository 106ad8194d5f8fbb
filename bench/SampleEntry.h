#pragma once

#include "core/SignUpRecord.h"

// A sign-up as long as a real one, every column filled: the line the benchmarks write and send.
inline record::Entry representativeEntry()
{
    record::Entry e;
    e.firstName = QStringLiteral("Alexandra");
    e.lastName = QStringLiteral("Montgomery-Whitfield");
    e.email = QStringLiteral("alexandra.montgomery@example.org");
    e.postCode = QStringLiteral("M5V 2T6");
    e.city = QStringLiteral("Toronto");
    e.country = QStringLiteral("CANADA");
    e.cell = QStringLiteral("4165550199");
    e.carrier = QStringLiteral("Rogers AT&T (Canada)");
    e.aolScreenName = QStringLiteral("alexm");
    e.mySpaceUserName = QStringLiteral("alexandram");
    e.yearBornRow = 10, e.yearBorn = QStringLiteral("1985");
    e.genderRow = 2, e.gender = QStringLiteral("Female");
    return e;
}
