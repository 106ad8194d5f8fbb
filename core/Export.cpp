#include "core/Export.h"

#include "core/CountryCodes.h"
#include "core/SignUpRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <thread>
#include <vector>

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
};

constexpr qint64 kProgressEvery = 100000;
constexpr qint64 kBlock = 4 * 1024 * 1024;

bool mustQuote(const QString& value)
{
    if (value.isEmpty())
        return false;
    if (value.front() == u' ' || value.back() == u' ')
        return true;
    for (const QChar c : value) {
        if (c == u',' || c == u'"' || c == u'\n' || c == u'\r')
            return true;
    }
    return false;
}

void appendRow(QString* out, const QStringList& values, bool forSpreadsheet)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            *out += u',';
        *out += cell(values[i], forSpreadsheet);
    }
    *out += QStringLiteral("\r\n");
}

void say(std::FILE* messages, const QString& text)
{
    std::fputs(qUtf8Printable(QStringLiteral("quillmore: ") + text + u'\n'), messages);
    std::fflush(messages);
}

// One share of a block's lines, exported on a thread of its own.
struct Part
{
    qsizetype from = 0; // in the block: the first line's start
    qsizetype to = 0;   // after the last line's break
    QString text;
    qint64 lines = 0;
    qint64 withEvidence = 0;
    qint64 unreadable = 0;
};

void exportPart(const QByteArray& block, qint64 blockOffset, const consent::EvidenceByOffset& evidence,
                bool forSpreadsheet, Part* part)
{
    for (qsizetype start = part->from, end; start < part->to; start = end + 1) {
        end = block.indexOf('\n', start);
        const QByteArrayView line(block.constData() + start, end - start);
        ++part->lines;
        // A line cut short by a power cut and ended by the next sign-up is no sign-up.
        const std::optional<QStringList> values = record::parse(QString::fromUtf8(line));
        if (!values) {
            ++part->unreadable;
            continue;
        }
        const std::optional<consent::Evidence> found = consent::evidenceFor(evidence, blockOffset + start, line);
        part->withEvidence += found.has_value();
        appendRow(&part->text, row(*values, found), forSpreadsheet);
    }
}

} // namespace

const QStringList& columnNames()
{
    static const QStringList names = {
        QStringLiteral("Email Address"),    QStringLiteral("First Name"),
        QStringLiteral("Last Name"),        QStringLiteral("City"),
        QStringLiteral("Postal Code"),      QStringLiteral("Country"),
        QStringLiteral("Country Code"),     QStringLiteral("Phone"),
        QStringLiteral("Carrier"),          QStringLiteral("Gender"),
        QStringLiteral("Birth Year"),       QStringLiteral("AOL Screen Name"),
        QStringLiteral("MySpace Username"), QStringLiteral("Signed Up"),
        QStringLiteral("Consent Text"),
    };
    return names;
}

QString phoneE164(const QString& typed, const QString& countryCode)
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
    return QString::fromStdString(formatted);
}

QStringList row(const QStringList& values, const std::optional<consent::Evidence>& evidence)
{
    const QString code = lists::countryCode(values[Country]);
    return {
        values[Email],
        values[FirstName],
        values[LastName],
        values[City],
        values[PostCode],
        values[Country],
        code,
        phoneE164(values[Cell], code),
        values[Carrier],
        values[Gender],
        values[YearBorn],
        values[AolScreenName],
        values[MySpaceUserName],
        evidence ? QString::fromLatin1(evidence->signedUp) : QString(),
        evidence ? QString::fromLatin1(evidence->noticeSha256) : QString(),
    };
}

QString cell(const QString& value, bool forSpreadsheet)
{
    QString text = value;
    // As OWASP advises against CSV injection: such a value starts a formula in a spreadsheet.
    if (forSpreadsheet && !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front()))
        text.prepend(u'\'');
    if (!mustQuote(text))
        return text;
    return u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
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

    QString text;
    if (options.forSpreadsheet)
        text += QChar(0xFEFF);
    appendRow(&text, columnNames(), false);
    bool failed = false;
    const auto flush = [&] {
        const QByteArray bytes = text.toUtf8();
        failed = failed || out.write(bytes) != bytes.size();
        text.clear();
    };
    flush();

    qint64 lines = 0;
    qint64 withEvidence = 0;
    qint64 unreadable = 0;
    qint64 offset = 0; // of the first byte of `pending` in the data file
    QByteArray pending;
    // libphonenumber takes most of the time: the lines of a block are shared out between the cores.
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    while (offset + pending.size() < size && !failed) {
        const QByteArray block = data.read(std::min(kBlock, size - offset - pending.size()));
        if (block.isEmpty()) {
            say(messages, QStringLiteral("Could not read %1: %2").arg(options.dataFile, data.errorString()));
            return 1;
        }
        pending += block;
        const qsizetype complete = pending.lastIndexOf('\n') + 1;
        std::vector<Part> parts(static_cast<size_t>(workers));
        std::vector<std::thread> threads;
        for (int w = 0; w < workers; ++w) {
            // Each part ends at a line break, so every line is in exactly one.
            const auto boundary = [&](int n) {
                if (n == workers)
                    return complete;
                const qsizetype at = pending.indexOf('\n', complete * n / workers);
                return at < 0 || at >= complete ? complete : at + 1;
            };
            parts[size_t(w)].from = w == 0 ? 0 : boundary(w);
            parts[size_t(w)].to = boundary(w + 1);
        }
        for (Part& part : parts)
            threads.emplace_back([&, p = &part] { exportPart(pending, offset, *evidence, options.forSpreadsheet, p); });
        for (std::thread& thread : threads)
            thread.join();
        for (const Part& part : parts) {
            text += part.text;
            withEvidence += part.withEvidence;
            unreadable += part.unreadable;
            const qint64 before = lines;
            lines += part.lines;
            if (lines / kProgressEvery > before / kProgressEvery)
                say(messages,
                    QStringLiteral("%1 lines exported, %2 %").arg(lines).arg((offset + part.to) * 100 / size));
        }
        offset += complete;
        pending.remove(0, complete);
        flush();
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
