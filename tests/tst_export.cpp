// The plain-data side of consent and export: the notice file's rules, the evidence beside the data file,
// the export's mapping, and the country codes against the country list.
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "core/Consent.h"
#include "core/CountryCodes.h"
#include "core/Export.h"
#include "core/Files.h"
#include "core/Lists.h"
#include "core/PhoneNumbers.h"
#include "core/SignUpRecord.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <phonenumbers/phonenumberutil.h>

#include <cstdio>

namespace {

// An entry that names only what a row changes; the rest is a plain Canadian sign-up.
record::Entry entry(const QString& country, const QString& cell, const QString& firstName)
{
    record::Entry e;
    e.firstName = firstName;
    e.lastName = QStringLiteral("Lee");
    e.email = QStringLiteral("ann@example.org");
    e.city = QStringLiteral("Toronto");
    e.country = country;
    e.cell = cell;
    e.carrier = QStringLiteral("Other");
    return e;
}

// What the export wrote to its messages.
QString messagesOf(std::FILE* file)
{
    std::rewind(file);
    QByteArray text(4096, '\0');
    text.resize(qsizetype(std::fread(text.data(), 1, size_t(text.size()), file)));
    return QString::fromUtf8(text);
}

} // namespace

class TestExport final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

private Q_SLOTS:
    // A file that gives no notice stops the start; the first paragraph is the short notice.
    void noticeRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shortNotice"); // empty: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << QByteArray() << QString() << "it holds no text";
        QTest::newRow("blanks and line breaks only") << QByteArray(" \n\t\r\n  \n") << QString() << "it holds no text";
        QTest::newRow("not UTF-8") << QByteArray("Caf\xe9 privacy") << QString() << "it is not UTF-8 text";
        QTest::newRow("too large") << QByteArray(1024 * 1024 + 1, 'a') << QString()
                                   << "it is larger than 1024 KiB, too long for a notice";
        QTest::newRow("one line") << QByteArray("We keep it.") << "We keep it." << QString();
        QTest::newRow("first paragraph, its lines joined")
            << QByteArray("\xEF\xBB\xBF\r\n\r\nWe keep\r\n  your details.\r\n \r\nThe rest.") << "We keep your details."
            << QString();
    }
    void noticeRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shortNotice);
        QFETCH(QString, error);
        const QString path = m_env.home() + QStringLiteral("/notice.txt");
        QVERIFY(writeBytes(path, bytes));
        const consent::NoticeFile read = consent::readNotice(path);
        QCOMPARE(read.error, error);
        QCOMPARE(read.notice.has_value(), !shortNotice.isEmpty());
        if (read.notice) {
            QCOMPARE(read.notice->shortNotice, shortNotice);
            QCOMPARE(read.notice->bytes, bytes);
        }
    }
    void noticeMissingOrAFolder()
    {
        QCOMPARE(consent::readNotice(m_env.home() + QStringLiteral("/none.txt")).error,
                 QStringLiteral("there is no such file"));
        QVERIFY(!consent::readNotice(m_env.home()).notice);
    }

    // One mapping row per country of the list, in its order; every code one Qt knows, but for the two
    // countries that no longer exist.
    void codesCoverTheList()
    {
        const QStringList& countries = lists::countries();
        const std::span<const lists::CountryCode> codes = lists::countryCodes();
        QCOMPARE(qsizetype(codes.size()), countries.size());
        QSet<QString> seen;
        for (qsizetype i = 0; i < countries.size(); ++i) {
            const QString code = QString::fromLatin1(codes[i].code);
            QCOMPARE(QString::fromLatin1(codes[i].country), countries[i]);
            QCOMPARE(lists::countryCode(countries[i]), code);
            if (code.isEmpty()) {
                QVERIFY2(QStringList({"NETHERLANDS ANTILLES", "YUGOSLAVIA"}).contains(countries[i]),
                         qPrintable(countries[i]));
                continue;
            }
            QVERIFY2(QLocale::codeToTerritory(code) != QLocale::AnyTerritory, qPrintable(countries[i]));
            QVERIFY2(!seen.contains(code), qPrintable(code));
            seen.insert(code);
        }
    }

    // The way for digits alone gives what libphonenumber's parse gives, for every country of the list:
    // numbers of every length that begin with what the parse treats apart (a national prefix, an
    // international one, the calling code) or with anything else, and each region's own example numbers
    // as they are dialled at home. It must take most of them itself, or it makes nothing faster.
    void digitsAsTheParseHasThem()
    {
        using i18n::phonenumbers::PhoneNumber;
        using i18n::phonenumbers::PhoneNumberUtil;
        const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
        QRandomGenerator random(20261209);
        int cases = 0;
        int taken = 0;
        const auto check = [&](const std::string& digits, const std::string& region) {
            const std::optional<std::string> shortcut = phones::e164OfDigits(digits, region);
            ++cases;
            if (!shortcut)
                return true;
            ++taken;
            const std::string parsed = phones::e164ByParse(digits, region);
            if (*shortcut == parsed)
                return true;
            qWarning("%s in %s: %s, the parse %s", digits.c_str(), region.c_str(), shortcut->c_str(), parsed.c_str());
            return false;
        };
        for (const lists::CountryCode& row : lists::countryCodes()) {
            const std::string region = row.code;
            if (region.empty())
                continue;
            const std::string callingCode = std::to_string(util.GetCountryCodeForRegion(region));
            const std::string starts[] = {"", "0", "00", "01", "1", "8", "9", callingCode, "0" + callingCode};
            for (int i = 0; i < 160; ++i) {
                std::string digits = starts[random.bounded(int(std::size(starts)))];
                const size_t length = size_t(random.bounded(2, 18));
                while (digits.size() < length)
                    digits += char('0' + random.bounded(10));
                QVERIFY(check(digits.substr(0, length), region));
            }
            for (const auto type : {PhoneNumberUtil::FIXED_LINE, PhoneNumberUtil::MOBILE}) {
                PhoneNumber example;
                if (!util.GetExampleNumberForType(region, type, &example))
                    continue;
                std::string national;
                util.Format(example, PhoneNumberUtil::NATIONAL, &national);
                std::erase_if(national, [](char c) { return c < '0' || c > '9'; });
                std::string significant;
                util.GetNationalSignificantNumber(example, &significant);
                QVERIFY(check(national, region));
                QVERIFY(check(significant, region));
            }
        }
        QVERIFY2(taken * 2 > cases, qPrintable(QStringLiteral("%1 of %2").arg(taken).arg(cases)));
        // Not digits alone, or not a region's: the parse's.
        QCOMPARE(phones::e164OfDigits("020 7946 0958", "GB"), std::nullopt);
        QCOMPARE(phones::e164OfDigits("+442079460958", "GB"), std::nullopt);
        QCOMPARE(phones::e164OfDigits("2079460958", "ZZ"), std::nullopt);
        QCOMPARE(phones::e164("020 7946 0958", "GB"), std::string("+442079460958"));
    }

    // A sign-up's line through the export: the column it changes, as the export's file holds it.
    void mapping_data()
    {
        QTest::addColumn<QString>("country");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<bool>("forSpreadsheet");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected");
        const QString uk = QStringLiteral("UNITED KINGDOM");
        const QString ann = QStringLiteral("Ann");
        // clang-format off
        QTest::newRow("UK code") << uk << "" << ann << false << "Country Code" << "GB";
        QTest::newRow("the name as chosen") << uk << "" << ann << false << "Country" << "UNITED KINGDOM";
        QTest::newRow("UK mobile in E.164") << uk << "07700900123" << ann << false << "Phone" << "+447700900123";
        QTest::newRow("Canadian number in E.164") << "CANADA" << "4165550199" << ann << false << "Phone" << "+14165550199";
        QTest::newRow("typed with a plus and blanks") << uk << "+44 7700 900123" << ann << false << "Phone" << "+447700900123";
        QTest::newRow("typed with punctuation") << "CANADA" << "(416) 555-0199" << ann << false << "Phone" << "+14165550199";
        QTest::newRow("with the national prefix") << "GERMANY" << "015123456789" << ann << false << "Phone" << "+4915123456789";
        QTest::newRow("too short: as typed") << uk << "123" << ann << false << "Phone" << "123";
        QTest::newRow("no area code: as typed") << "UNITED STATES" << "5551234" << ann << false << "Phone" << "5551234";
        QTest::newRow("no country code: as typed") << "YUGOSLAVIA" << "0112345678" << ann << false << "Phone" << "0112345678";
        QTest::newRow("no country code: empty") << "YUGOSLAVIA" << "" << ann << false << "Country Code" << "";
        QTest::newRow("comma in a name: quoted") << uk << "" << "Ann, Jr" << false << "First Name" << "\"Ann, Jr\"";
        QTest::newRow("formula as typed") << uk << "" << "=HYPERLINK(\"x\")" << false << "First Name" << "\"=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("formula for a spreadsheet") << uk << "" << "=HYPERLINK(\"x\")" << true << "First Name" << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("@ for a spreadsheet") << uk << "" << "@SUM(A1)" << true << "First Name" << "'@SUM(A1)";
        QTest::newRow("- for a spreadsheet") << uk << "" << "-2+3" << true << "First Name" << "'-2+3";
        QTest::newRow("E.164 for a spreadsheet") << uk << "07700900123" << ann << true << "Phone" << "'+447700900123";
        QTest::newRow("nothing to neutralise") << uk << "" << ann << true << "First Name" << "Ann";
        QTest::newRow("blank before: quoted") << uk << "" << " Ann" << false << "First Name" << "\" Ann\"";
        QTest::newRow("neutralised, blank after") << uk << "" << "=A1 " << true << "First Name" << "\"'=A1 \"";
        QTest::newRow("+ as typed") << uk << "" << "+1" << false << "First Name" << "+1";
        QTest::newRow("UTF-8 name") << uk << "" << "Zoë, Ýr" << false << "First Name" << "\"Zoë, Ýr\"";
        // clang-format on
    }
    void mapping()
    {
        QFETCH(QString, country);
        QFETCH(QString, cell);
        QFETCH(QString, firstName);
        QFETCH(bool, forSpreadsheet);
        QFETCH(QString, column);
        QFETCH(QString, expected);
        const std::optional<QStringList> values = record::parse(record::line(entry(country, cell, firstName)));
        QVERIFY(values);
        const QStringList row = exporting::row(*values, std::nullopt);
        const qsizetype at = exporting::columnNames().indexOf(column);
        QVERIFY(at >= 0);
        QCOMPARE(exporting::cell(row[at], forSpreadsheet), expected);

        // The export reads the file's bytes without building these strings: its row is theirs.
        QStringList cells;
        for (const QString& value : row)
            cells << exporting::cell(value, forSpreadsheet);
        const QString data = m_env.home() + QStringLiteral("/mapping.csv");
        const QString out = m_env.home() + QStringLiteral("/mapping-export.csv");
        QVERIFY(writeBytes(data, record::line(entry(country, cell, firstName)).toUtf8() + '\n'));
        std::FILE* messages = std::tmpfile();
        QCOMPARE(exporting::exportSignUps({data, out, forSpreadsheet}, messages), 0);
        std::fclose(messages);
        const QByteArray exported = readBytes(out);
        QCOMPARE(exported.mid(exported.indexOf("\r\n") + 2), (cells.join(u',') + QStringLiteral("\r\n")).toUtf8());
    }

    // Sign-ups with and without a notice, a kill between an evidence line and its data line, and a torn
    // last line: each line gets the evidence that is its own, and the export reads as a strict CSV.
    void evidenceAndExport()
    {
        const QString data = m_env.home() + QStringLiteral("/quillmore.csv");
        const consent::NoticeFile read = consent::noticeFromBytes("We keep your details.\n\nThe rest.\n");
        QVERIFY(read.notice);
        const consent::Notice& notice = *read.notice;
        const QDateTime first = QDateTime::fromString(QStringLiteral("2026-12-09T03:19:07Z"), Qt::ISODate);
        const QDateTime second = first.addSecs(60);
        const QString ann = record::line(entry(QStringLiteral("CANADA"), QString(), QStringLiteral("Ann")));
        const QString bob = record::line(entry(QStringLiteral("CANADA"), QString(), QStringLiteral("Bob")));

        QCOMPARE(consent::appendSignUp(data, ann, &notice, first), QString());
        // Killed after its evidence was on disk, before its line: the evidence names a line that is not.
        const qint64 offset = readBytes(data).size();
        QCOMPARE(platform::appendLineDurably(consent::evidenceFilePath(data),
                                             QString::fromLatin1(consent::evidenceLine(
                                                 offset, second, notice.sha256, consent::lineDigest(ann.toUtf8())))),
                 QString());
        // A kiosk without a notice puts its line at that offset: the stale evidence is not its.
        QCOMPARE(consent::appendSignUp(data, bob, nullptr, second), QString());
        QCOMPARE(consent::appendSignUp(data, ann, &notice, second), QString());
        QVERIFY(writeBytes(data, readBytes(data) + "\"Torn\",\"Li"));
        QCOMPARE(readBytes(consent::noticeFilePath(data, notice.sha256)), notice.bytes);

        const QString out = m_env.home() + QStringLiteral("/export.csv");
        std::FILE* messages = std::tmpfile();
        QCOMPARE(exporting::exportSignUps({data, out, false}, messages), 0);
        const QString said = messagesOf(messages);
        std::fclose(messages);
        QVERIFY2(said.contains(QStringLiteral("1 torn last line left out")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("3 sign-ups exported")), qPrintable(said));

        const QByteArray bytes = readBytes(out);
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        const std::optional<QList<QStringList>> rows = parseCsv(QString::fromUtf8(bytes));
        QVERIFY(rows);
        QCOMPARE(rows->size(), 4);
        QCOMPARE(rows->at(0), exporting::columnNames());
        const QString hash = QString::fromLatin1(notice.sha256);
        const auto evidenceOf = [&](int i) { return rows->at(i).mid(13); };
        QCOMPARE(rows->at(1).at(1), QStringLiteral("Ann"));
        QCOMPARE(evidenceOf(1), QStringList({QStringLiteral("2026-12-09T03:19:07Z"), hash}));
        QCOMPARE(rows->at(2).at(1), QStringLiteral("Bob"));
        QCOMPARE(evidenceOf(2), QStringList({QString(), QString()}));
        QCOMPARE(evidenceOf(3), QStringList({QStringLiteral("2026-12-09T03:20:07Z"), hash}));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
