#include "core/Export.h"

#include "core/CountryCodes.h"
#include "core/PhoneNumbers.h"
#include "core/SignUpRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

// cell() on a value's UTF-8 bytes as the data file holds them, a quote inside doubled: what the CSV
// quotes is then the column as it stands.
void appendCell(QByteArray* out, QByteArrayView column, bool forSpreadsheet)
{
    const bool neutralised = forSpreadsheet && !column.isEmpty() && QByteArrayView("=+-@\t\r").contains(column.front());
    bool quoted = !column.isEmpty() && ((!neutralised && column.front() == ' ') || column.back() == ' ');
    for (qsizetype i = 0; i < column.size() && !quoted; ++i)
        quoted = column[i] == ',' || column[i] == '"' || column[i] == '\n' || column[i] == '\r';
    if (quoted)
        *out += '"';
    if (neutralised)
        *out += '\'';
    *out += column;
    if (quoted)
        *out += '"';
}

// The export's row of a data line that is valid UTF-8, appended as the file holds it; row() and cell()
// give the same bytes for the line, by way of its strings. False for a line that is no sign-up.
bool appendRowOfLine(QByteArray* out, QByteArrayView line, const consent::EvidenceByOffset& evidence,
                     const consent::EvidenceLine* found, bool forSpreadsheet)
{
    const std::optional<record::RawColumns> columns = record::rawColumns(line);
    if (!columns)
        return false;
    const record::RawColumns& c = *columns;
    const CodeAndPhone codeAndPhone = codeAndPhoneOfUtf8(record::valueOf(c[Country]), record::valueOf(c[Cell]));
    const QByteArrayView code = codeAndPhone.code;
    const QByteArrayView noticeSha256 =
        found != nullptr ? QByteArrayView(evidence.notices[found->notice]) : QByteArrayView();
    const QByteArrayView cells[] = {
        c[Email],
        c[FirstName],
        c[LastName],
        c[City],
        c[PostCode],
        c[Country],
        code,
        codeAndPhone.e164.isEmpty() ? c[Cell] : QByteArrayView(codeAndPhone.e164),
        c[Carrier],
        c[Gender],
        c[YearBorn],
        c[AolScreenName],
        c[MySpaceUserName],
        found != nullptr ? QByteArrayView(found->signedUp.data(), qsizetype(found->signedUp.size())) : QByteArrayView(),
        noticeSha256,
    };
    for (const QByteArrayView& column : cells) {
        if (&column != cells)
            *out += ',';
        appendCell(out, column, forSpreadsheet);
    }
    *out += "\r\n";
    return true;
}

// One share of a block's lines, exported on a thread of its own.
struct Part
{
    qsizetype from = 0; // in the block: the first line's start
    qsizetype to = 0;   // after the last line's break
    qint64 end = 0;     // that, in the data file
    QByteArray text;
    qint64 lines = 0;
    qint64 withEvidence = 0;
    qint64 unreadable = 0;
};

void exportPart(const QByteArray& block, qint64 blockOffset, const consent::EvidenceByOffset& evidence,
                bool forSpreadsheet, Part* part)
{
    part->text.reserve((part->to - part->from) * 11 / 10 + 1024);
    for (qsizetype start = part->from, end; start < part->to; start = end + 1) {
        end = block.indexOf('\n', start);
        const QByteArrayView line(block.constData() + start, end - start);
        ++part->lines;
        const consent::EvidenceLine* found = consent::findEvidence(evidence, blockOffset + start, line);
        bool read = false;
        if (line.isValidUtf8()) {
            read = appendRowOfLine(&part->text, line, evidence, found, forSpreadsheet);
        } else if (const std::optional<QStringList> values = record::parse(QString::fromUtf8(line))) {
            // Bytes no kiosk wrote (a file edited by hand): read as Qt reads them, each bad one as U+FFFD.
            QString text;
            appendRow(&text, row(*values, found ? std::optional(consent::evidenceOf(evidence, *found)) : std::nullopt),
                      forSpreadsheet);
            part->text += text.toUtf8();
            read = true;
        }
        // A line cut short by a power cut and ended by the next sign-up is no sign-up.
        part->unreadable += !read;
        part->withEvidence += read && found != nullptr;
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
    const QByteArray digits = typed.toUtf8();
    const QByteArray region = countryCode.toLatin1();
    const std::string formatted = phones::e164(std::string_view(digits.constData(), size_t(digits.size())),
                                               std::string_view(region.constData(), size_t(region.size())));
    return formatted.empty() ? typed : QString::fromStdString(formatted);
}

CodeAndPhone codeAndPhoneOfUtf8(QByteArrayView country, QByteArrayView cell)
{
    CodeAndPhone result{lists::countryCodeOfUtf8(country), {}};
    if (!cell.isEmpty() && !result.code.isEmpty()) {
        const std::string formatted = phones::e164(std::string_view(cell.data(), size_t(cell.size())),
                                                   std::string_view(result.code.data(), size_t(result.code.size())));
        result.e164 = QByteArray(formatted.data(), qsizetype(formatted.size()));
    }
    return result;
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

    QString header;
    if (options.forSpreadsheet)
        header += QChar(0xFEFF);
    appendRow(&header, columnNames(), false);
    bool failed = false;
    const auto write = [&](const QByteArray& bytes) { failed = failed || out.write(bytes) != bytes.size(); };
    write(header.toUtf8());

    qint64 lines = 0;
    qint64 withEvidence = 0;
    qint64 unreadable = 0;
    qint64 offset = 0; // of the first byte of `block` in the data file
    qint64 read = 0;   // of the data file, up to its size at the start
    bool unread = false;
    const auto readMore = [&](QByteArray* into) {
        const QByteArray more = data.read(std::min(kBlock, size - read));
        unread = unread || more.isEmpty();
        read += more.size();
        *into += more;
    };
    // The cores share out each block's lines (libphonenumber takes most of the time), while this thread
    // writes the block before and reads the one after.
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::vector<Part> written; // the block before, to write
    const auto writeParts = [&] {
        for (const Part& part : written) {
            write(part.text);
            withEvidence += part.withEvidence;
            unreadable += part.unreadable;
            const qint64 before = lines;
            lines += part.lines;
            if (lines / kProgressEvery > before / kProgressEvery)
                say(messages, QStringLiteral("%1 lines exported, %2 %").arg(lines).arg(part.end * 100 / size));
        }
        written.clear();
    };
    QByteArray block;
    if (size > 0)
        readMore(&block);
    while (!unread && !failed) {
        const qsizetype complete = block.lastIndexOf('\n') + 1;
        std::vector<Part> parts(static_cast<size_t>(workers));
        // Each part ends at a line break, so every line is in exactly one.
        const auto boundary = [&](int n) {
            if (n == workers)
                return complete;
            const qsizetype at = block.indexOf('\n', complete * n / workers);
            return at < 0 || at >= complete ? complete : at + 1;
        };
        for (int w = 0; w < workers; ++w) {
            parts[size_t(w)].from = w == 0 ? 0 : boundary(w);
            parts[size_t(w)].to = boundary(w + 1);
            parts[size_t(w)].end = offset + parts[size_t(w)].to;
        }
        std::vector<std::thread> threads;
        for (Part& part : parts)
            threads.emplace_back([&, p = &part] { exportPart(block, offset, *evidence, options.forSpreadsheet, p); });
        writeParts();
        QByteArray next = block.sliced(complete);
        const bool more = read < size;
        if (more)
            readMore(&next);
        for (std::thread& thread : threads)
            thread.join();
        written = std::move(parts);
        offset += complete;
        block = std::move(next);
        if (!more)
            break;
    }
    writeParts();
    if (unread) {
        say(messages, QStringLiteral("Could not read %1: %2").arg(options.dataFile, data.errorString()));
        return 1;
    }
    if (failed || !out.commit()) {
        say(messages, QStringLiteral("Could not write %1: %2").arg(options.output, out.errorString()));
        return 1;
    }

    if (!block.isEmpty())
        say(messages,
            QStringLiteral("1 torn last line left out: a sign-up still being written, or cut short "
                           "(%1 bytes at the end of %2)")
                .arg(block.size())
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
