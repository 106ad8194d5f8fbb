// The record reader on any bytes, and the record builder on any values: the line, as the data file holds it, reads back
// with a strict RFC 4180 reader as exactly one record of the 14 values (with the blanks that stand for control
// characters, line breaks and the line and paragraph separators) and the empty field after the last
// comma, and it ends with a comma and a line break.
#include "FuzzCheck.h"

#include "TestFiles.h"

#include "core/Lists.h"
#include "core/SignUpRecord.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

// What a value reads back as.
QString blanked(QString value)
{
    for (QChar& c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            c = u' ';
    }
    return value;
}

QString text(FuzzedDataProvider& input)
{
    return QString::fromStdString(input.ConsumeRandomLengthString(300));
}

// The line as appendLineDurably writes it, read back as one stream.
void checkReadsBack(const QString& line, const QStringList& values)
{
    FUZZ_CHECK(!line.contains(u'\n') && !line.contains(u'\r')); // else the append refuses it
    const QByteArray bytes = line.toUtf8() + '\n';
    FUZZ_CHECK(bytes.endsWith(",\n"));
    const std::optional<QList<QStringList>> records = parseCsv(QString::fromUtf8(bytes));
    FUZZ_CHECK(records && records->size() == 1);
    const QStringList& record = records->first();
    FUZZ_CHECK(record.size() == 15 && record.last().isEmpty());
    FUZZ_CHECK(record.first(14) == values);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Any bytes as a line: the reader of bytes takes exactly the lines of UTF-8 the reader of strings
    // takes, with the same values.
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.isValidUtf8()) {
        const std::optional<QStringList> values = record::parse(QString::fromUtf8(bytes));
        const std::optional<record::RawColumns> raw = record::rawColumns(bytes);
        FUZZ_CHECK(values.has_value() == raw.has_value());
        for (int i = 0; values && i < record::kColumns; ++i)
            FUZZ_CHECK(QString::fromUtf8(raw->at(size_t(i))).replace(QStringLiteral("\"\""), QStringLiteral("\""))
                       == values->at(i));
    }

    FuzzedDataProvider input(data, size);

    // Any 14 values, column by column.
    QStringList values;
    QString line;
    for (int i = 0; i < 14; ++i) {
        const QString value = text(input);
        line += record::quotedColumn(value);
        values << blanked(value);
    }
    checkReadsBack(line, values);

    // A whole entry, with the rules that blank a column: the city in the United States, the carrier
    // without a cell number, the prompt rows of the year and gender menus.
    record::Entry e;
    e.firstName = text(input);
    e.lastName = text(input);
    e.email = text(input);
    e.postCode = text(input);
    e.city = text(input);
    e.country = input.ConsumeBool() ? lists::kUnitedStates : text(input);
    e.cell = text(input);
    e.carrier = text(input);
    e.aolScreenName = text(input);
    e.mySpaceUserName = text(input);
    e.yearBornRow = input.ConsumeIntegralInRange(0, 2);
    e.yearBorn = text(input);
    e.genderRow = input.ConsumeIntegralInRange(0, 2);
    e.gender = text(input);
    const QStringList columns = {
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
    QStringList expected;
    for (const QString& column : columns)
        expected << blanked(column);
    checkReadsBack(record::line(e), expected);
    return 0;
}
