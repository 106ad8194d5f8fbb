#include "core/Export.h"

#include "core/CountryCodes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <phonenumbers/phonenumberutil.h>

namespace exporting {

namespace {

// The data file's columns (see record::line).
enum Column {
    FirstName,
    LastName,
    Email,
    PostCode,
    City,
    Unused,
    Country,
    Cell,
    Carrier,
    AolScreenName,
    MySpaceUserName,
    YearBorn,
    Gender,
    Html,
    ColumnCount
};

constexpr qint64 kProgressEvery = 100000;
constexpr qint64 kBlock = 4 * 1024 * 1024;

QByteArray countryCodeOf(const QByteArray& country)
{
    // Looked up once per country name rather than once per line.
    static QHash<QByteArray, QByteArray> codes;
    auto it = codes.constFind(country);
    if (it == codes.cend())
        it = codes.insert(country, lists::countryCode(QString::fromUtf8(country)).toLatin1());
    return *it;
}

bool mustQuote(const QByteArray& value)
{
    if (value.isEmpty())
        return false;
    if (value.front() == ' ' || value.back() == ' ')
        return true;
    for (const char c : value) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            return true;
    }
    return false;
}

void appendRow(QByteArray* out, const QList<QByteArray>& values, bool forSpreadsheet)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            *out += ',';
        *out += cell(values[i], forSpreadsheet);
    }
    *out += "\r\n";
}

void say(std::FILE* messages, const QString& text)
{
    std::fputs(qUtf8Printable(QStringLiteral("quillmore: ") + text + u'\n'), messages);
    std::fflush(messages);
}

} // namespace

const QList<QByteArray>& columnNames()
{
    static const QList<QByteArray> names = {
        "Email Address",    "First Name", "Last Name",    "City",   "Postal Code", "Country",
        "Country Code",     "Phone",      "Carrier",      "Gender", "Birth Year",  "AOL Screen Name",
        "MySpace Username", "Signed Up",  "Consent Text",
    };
    return names;
}

std::optional<QList<QByteArray>> recordValues(QByteArrayView line)
{
    QList<QByteArray> values;
    values.reserve(ColumnCount);
    qsizetype i = 0;
    while (i < line.size()) {
        if (line[i] != '"')
            return std::nullopt;
        QByteArray value;
        for (++i;; ++i) {
            if (i >= line.size())
                return std::nullopt; // a quoted value left open
            if (line[i] != '"') {
                value += line[i];
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                value += '"';
                ++i;
            } else {
                break;
            }
        }
        ++i; // the closing quote
        if (i < line.size() && line[i] != ',')
            return std::nullopt;
        ++i; // the comma; a line cut short and mended may lack the last one
        values << value;
    }
    return values;
}

QByteArray phoneE164(const QByteArray& typed, const QString& countryCode)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    if (typed.isEmpty() || countryCode.isEmpty())
        return typed;
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    if (util.Parse(typed.toStdString(), countryCode.toStdString(), &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return typed;
    // A length the country's numbers have; a number that needs an area code it lacks does not fit.
    if (util.IsPossibleNumberWithReason(number) != PhoneNumberUtil::IS_POSSIBLE)
        return typed;
    std::string formatted;
    util.Format(number, PhoneNumberUtil::E164, &formatted);
    return QByteArray::fromStdString(formatted);
}

QList<QByteArray> row(const QList<QByteArray>& record, const std::optional<consent::Evidence>& evidence)
{
    // A line cut short and mended holds fewer values; the missing ones are empty.
    const auto value = [&](Column column) { return column < record.size() ? record[column] : QByteArray(); };
    const QByteArray code = countryCodeOf(value(Country));
    return {
        value(Email),
        value(FirstName),
        value(LastName),
        value(City),
        value(PostCode),
        value(Country),
        code,
        phoneE164(value(Cell), QString::fromLatin1(code)),
        value(Carrier),
        value(Gender),
        value(YearBorn),
        value(AolScreenName),
        value(MySpaceUserName),
        evidence ? evidence->signedUp.toUTC().toString(Qt::ISODate).toLatin1() : QByteArray(),
        evidence ? evidence->noticeSha256 : QByteArray(),
    };
}

QByteArray cell(const QByteArray& value, bool forSpreadsheet)
{
    QByteArray text = value;
    // As OWASP advises against CSV injection: such a value starts a formula in a spreadsheet.
    if (forSpreadsheet && !text.isEmpty() && QByteArrayView("=+-@\t\r").contains(text.front()))
        text.prepend('\'');
    if (!mustQuote(text))
        return text;
    return '"' + text.replace('"', "\"\"") + '"';
}

int exportSignUps(const Options& options, std::FILE* messages)
{
    QFile data(options.dataFile);
    if (!data.exists()) {
        say(messages, QStringLiteral("There are no sign-ups to export: %1 does not exist.").arg(options.dataFile));
        return 1;
    }
    if (!data.open(QIODevice::ReadOnly)) {
        say(messages, QStringLiteral("Could not read %1: %2").arg(options.dataFile, data.errorString()));
        return 1;
    }
    // Sign-ups made meanwhile are left for the next export. The evidence of every line up to here is
    // on disk before the line, so it is read after this look at the size.
    const qint64 size = data.size();
    QString error;
    const std::optional<consent::EvidenceByOffset> evidence = consent::readEvidence(options.dataFile, &error);
    if (!evidence) {
        say(messages, error);
        return 1;
    }

    QSaveFile out(options.output);
    if (!out.open(QIODevice::WriteOnly)) {
        say(messages, QStringLiteral("Could not write %1: %2").arg(options.output, out.errorString()));
        return 1;
    }
    // The sign-ups are personal data: a new export is its owner's only, as the data file is.
    if (!QFileInfo::exists(options.output))
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QByteArray text;
    if (options.forSpreadsheet)
        text += "\xEF\xBB\xBF";
    appendRow(&text, columnNames(), false);
    bool failed = out.write(text) != text.size();
    text.clear();

    qint64 lines = 0;
    qint64 withEvidence = 0;
    qint64 unreadable = 0;
    qint64 offset = 0; // of the first byte of `pending` in the data file
    QByteArray pending;
    while (offset + pending.size() < size && !failed) {
        const QByteArray block = data.read(std::min(kBlock, size - offset - pending.size()));
        if (block.isEmpty()) {
            say(messages, QStringLiteral("Could not read %1: %2").arg(options.dataFile, data.errorString()));
            return 1;
        }
        pending += block;
        qsizetype start = 0;
        for (qsizetype end; (end = pending.indexOf('\n', start)) >= 0; start = end + 1) {
            const QByteArrayView line(pending.constData() + start, end - start);
            const std::optional<QList<QByteArray>> values = recordValues(line);
            if (!values) {
                ++unreadable;
            } else {
                const std::optional<consent::Evidence> found = consent::evidenceFor(*evidence, offset + start, line);
                withEvidence += found.has_value();
                appendRow(&text, row(*values, found), options.forSpreadsheet);
            }
            if (++lines % kProgressEvery == 0)
                say(messages, QStringLiteral("%1 lines exported, %2 %").arg(lines).arg((offset + end) * 100 / size));
        }
        offset += start;
        pending.remove(0, start);
        if (out.write(text) != text.size())
            failed = true;
        text.clear();
    }
    if (failed || !out.commit()) {
        say(messages, QStringLiteral("Could not write %1: %2").arg(options.output, out.errorString()));
        return 1;
    }

    if (!pending.isEmpty())
        say(messages,
            QStringLiteral("1 torn last line left out: a sign-up still being written, or cut short "
                           "(%1 bytes at the end of %2)")
                .arg(pending.size())
                .arg(options.dataFile));
    if (unreadable > 0)
        say(messages, QStringLiteral("%1 lines left out that do not read as a sign-up").arg(unreadable));
    say(messages,
        QStringLiteral("%1 sign-ups exported to %2, %3 of them with evidence of consent")
            .arg(lines - unreadable)
            .arg(options.output)
            .arg(withEvidence));
    return 0;
}

} // namespace exporting
