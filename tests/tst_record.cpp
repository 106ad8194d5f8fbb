// The e-mail verdict and the sign-up line, without a window.
#include "core/EmailRule.h"
#include "core/EmailSuggestion.h"
#include "core/SignUpRecord.h"

#include "TestFiles.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(record::Entry)

// Column number (from 1) to the value expected there.
using Columns = QMap<int, QString>;

namespace {

// The line as the strict reader takes a whole file: exactly one record, or nothing.
std::optional<QStringList> parseCsvLine(const QString& line)
{
    const std::optional<QList<QStringList>> records = parseCsv(line);
    if (!records || records->size() != 1)
        return std::nullopt;
    return records->first();
}

record::Entry canadian()
{
    record::Entry e;
    e.firstName = QStringLiteral("Ann");
    e.lastName = QStringLiteral("Lee");
    e.email = QStringLiteral("ann@example.org");
    e.postCode = QStringLiteral("M5V 2T6");
    e.city = QStringLiteral("Toronto");
    e.country = QStringLiteral("CANADA");
    e.carrier = QStringLiteral("Select");
    e.aolScreenName = QStringLiteral("annlee");
    e.mySpaceUserName = QStringLiteral("annl");
    e.yearBorn = QStringLiteral("Select");
    e.gender = QStringLiteral("M/F");
    return e;
}

} // namespace

class TestRecord final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void validateEmail_data()
    {
        // clang-format off
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("empty") << "" << "no value supplied";
        QTest::newRow("one blank") << " " << "invalid address";
        QTest::newRow("dots, no at") << "ann.example.org" << "invalid address";
        QTest::newRow("no dot after at") << "ann@example" << "invalid formatting";
        QTest::newRow("dot only before at") << "ann.lee@example" << "invalid formatting";
        QTest::newRow("second at, no dot") << "ann@b@c" << "invalid formatting";
        QTest::newRow("plain") << "ann@example.org" << "1";
        QTest::newRow("nothing before at") << "@example.org" << "1";
        QTest::newRow("dot last") << "ann@example." << "1";
        QTest::newRow("dot after second at") << "ann@b@c.d" << "1";
        QTest::newRow("blanks and punctuation") << " a n!@# .$ " << "1";
        // clang-format on
    }
    void validateEmail()
    {
        QFETCH(QString, address);
        QFETCH(QString, verdict);
        QCOMPARE(email::verdict(address), verdict);
    }

    // "Did you mean ...?": a near miss of a well-known domain or a slipped ending; "" is no question.
    void suggestion_data()
    {
        // clang-format off
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("suggested");
        QTest::newRow("well-known") << "ann@gmail.com" << "";
        QTest::newRow("well-known, capitals") << "Ann@GMail.COM" << "";
        QTest::newRow("a country's own") << "ann@web.de" << "";
        QTest::newRow("real, one from another") << "ann@mail.com" << "";
        QTest::newRow("near none") << "ann@example.org" << "";
        QTest::newRow("no at") << "ann.gmial.com" << "";
        QTest::newRow("letters swapped") << "ann@gmial.com" << "ann@gmail.com";
        QTest::newRow("letter dropped, capitals") << "Ann@Hotmal.com" << "Ann@hotmail.com";
        QTest::newRow("two away") << "ann@yaho.co.ul" << "ann@yahoo.co.uk";
        QTest::newRow("short: one away") << "ann@aol.co" << "ann@aol.com";
        QTest::newRow("short: two away is another") << "ann@ibm.com" << "";
        QTest::newRow("three away") << "ann@gmxxx.dee" << "";
        QTest::newRow("slipped ending") << "ann@example.con" << "ann@example.com";
        QTest::newRow("slipped ending .cm") << "ann@shop.cm" << "ann@shop.com";
        QTest::newRow("ending alone") << "ann@.con" << "";
        QTest::newRow("last at decides") << "a@b@gmial.com" << "a@b@gmail.com";
        // clang-format on
    }
    void suggestion()
    {
        QFETCH(QString, address);
        QFETCH(QString, suggested);
        QCOMPARE(email::suggestion(address).value_or(QString()), suggested);
    }

    // The exact bytes of an ordinary line: every column quoted, a comma after each, none between.
    void ordinaryLine()
    {
        QCOMPARE(record::line(canadian()),
                 QStringLiteral("\"Ann\",\"Lee\",\"ann@example.org\",\"M5V 2T6\",\"Toronto\",\"\",\"CANADA\",\"\",\"\","
                                "\"annlee\",\"annl\",\"\",\"\",\"html\","));
    }

    // Each row changes the Canadian entry and names the columns (from 1) it expects to differ.
    void columns_data()
    {
        QTest::addColumn<record::Entry>("entry");
        QTest::addColumn<Columns>("changed");

        record::Entry e = canadian();
        e.country = QStringLiteral("UNITED STATES");
        e.city = QStringLiteral("determined from zip !");
        QTest::newRow("US drops the city") << e << Columns{{5, ""}, {7, "UNITED STATES"}};

        e = canadian();
        e.city.clear();
        QTest::newRow("empty city elsewhere") << e << Columns{{5, ""}};

        e = canadian();
        e.country = QStringLiteral("VIRGIN ISLANDS, U.S.");
        e.city = QStringLiteral("Washington, D.C.");
        QTest::newRow("commas stay in their column")
            << e << Columns{{5, "Washington, D.C."}, {7, "VIRGIN ISLANDS, U.S."}};

        e = canadian();
        e.carrier = QStringLiteral("Verizon");
        QTest::newRow("carrier without cell dropped") << e << Columns{};

        e.cell = QStringLiteral("4165550199");
        QTest::newRow("carrier with cell") << e << Columns{{8, "4165550199"}, {9, "Verizon"}};

        e = canadian();
        e.yearBornRow = 1, e.yearBorn = QStringLiteral("1994");
        e.genderRow = 2, e.gender = QStringLiteral("Female");
        QTest::newRow("year and gender chosen") << e << Columns{{12, "1994"}, {13, "Female"}};

        e = canadian();
        e.firstName = QStringLiteral("Ann \"Annie\"");
        e.lastName = QStringLiteral("\"");
        QTest::newRow("quotes") << e << Columns{{1, "Ann \"Annie\""}, {2, "\""}};

        e = canadian();
        e.aolScreenName = QStringLiteral("a\r\nb");
        e.mySpaceUserName = QStringLiteral("\nx\ry\n");
        QTest::newRow("line breaks become blanks") << e << Columns{{10, "a  b"}, {11, " x y "}};

        // What other readers take as a line or field break becomes a blank too.
        const std::pair<const char*, char16_t> breaks[] = {
            {"TAB", 0x09},      {"VT", 0x0B},       {"FF", 0x0C},  {"NEL", 0x85},
            {"U+2028", 0x2028}, {"U+2029", 0x2029}, {"DEL", 0x7F}, {"NUL", 0x00},
        };
        for (const auto& [name, c] : breaks) {
            e = canadian();
            e.city = QStringLiteral("Tor") + QChar(c) + QStringLiteral("onto");
            QTest::newRow(name) << e << Columns{{5, "Tor onto"}};
        }

        e = canadian();
        e.firstName = QStringLiteral("Zoë");
        e.lastName = QStringLiteral("Ñandú-Müller");
        e.city = QStringLiteral("Québec");
        QTest::newRow("non-ASCII letters") << e << Columns{{1, "Zoë"}, {2, "Ñandú-Müller"}, {5, "Québec"}};
    }
    void columns()
    {
        QFETCH(record::Entry, entry);
        QFETCH(Columns, changed);

        QStringList expected = parseCsvLine(record::line(canadian())).value();
        for (auto it = changed.cbegin(); it != changed.cend(); ++it)
            expected[it.key() - 1] = it.value();

        const QString line = record::line(entry);
        const std::optional<QStringList> parsed = parseCsvLine(line);
        QVERIFY2(parsed, qPrintable(line));
        QCOMPARE(parsed->size(), 15); // the comma after column 14 leaves one empty field
        QCOMPARE(parsed->last(), QString());
        QCOMPARE(*parsed, expected);
        QVERIFY(line.startsWith(u'"') && line.endsWith(QStringLiteral("\",")));
        // The kiosk's own reader gives back the same 14 values.
        const std::optional<QStringList> values = record::parse(line);
        QVERIFY(values);
        QCOMPARE(*values, parsed->first(14));
        // And the reader of its bytes, the same columns as they stand between their quotes.
        const QByteArray bytes = line.toUtf8();
        const std::optional<record::RawColumns> raw = record::rawColumns(bytes);
        QVERIFY(raw);
        for (int i = 0; i < record::kColumns; ++i)
            QCOMPARE(QString::fromUtf8(raw->at(size_t(i))).replace(QStringLiteral("\"\""), QStringLiteral("\"")),
                     values->at(i));
    }

    // Lines the writer cannot have made, each a small change of an ordinary one, read as nothing.
    void parseRefuses_data()
    {
        QTest::addColumn<QString>("line");
        const QString ordinary = record::line(canadian());
        const QString empty14 = QStringLiteral("\"\",").repeated(14);
        // clang-format off
        QTest::newRow("empty") << "";
        QTest::newRow("13 columns") << QStringLiteral("\"\",").repeated(13);
        QTest::newRow("15 columns") << empty14 + "\"\",";
        QTest::newRow("no last comma") << ordinary.chopped(1);
        QTest::newRow("text after last comma") << ordinary + "x";
        QTest::newRow("line break kept") << ordinary + "\n";
        QTest::newRow("value not quoted") << "Ann," + empty14.mid(3);
        QTest::newRow("lone quote inside") << "\"A\"nn\"," + empty14.mid(3);
        QTest::newRow("quote never closed") << "\"Ann,";
        QTest::newRow("tab in a value") << "\"A\tnn\"," + empty14.mid(3);
        QTest::newRow("U+2028 in a value") << "\"A\u2028nn\"," + empty14.mid(3);
        QTest::newRow("U+0085 in a value") << "\"A\u0085nn\"," + empty14.mid(3);
        QTest::newRow("DEL at the end of a value") << "\"Ann\x7f\"," + empty14.mid(3);
        // clang-format on
    }
    void parseRefuses()
    {
        QFETCH(QString, line);
        QVERIFY(!record::parse(line));
        QVERIFY(!record::rawColumns(line.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
