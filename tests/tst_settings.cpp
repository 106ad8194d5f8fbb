#include "ModalHelper.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "app/App.h"
#include "core/Files.h"
#include "core/SettingsFile.h"
#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "settings/PreferencesWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <sys/stat.h>

using settings::Values;
Q_DECLARE_METATYPE(Values)

class TestSettings final : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

private Q_SLOTS:
    void init() { m_env.removeSettings(); }
    void cleanup() { closeAllWindows(); }

    void parse_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<Values>("expected");

        QTest::newRow("no lines: full screen, first country") << QStringList() << Values{"", true, 0};
        QTest::newRow("only a password") << QStringList{"pw"} << Values{"pw", true, 0};
        QTest::newRow("False") << QStringList{"pw", "False", "7"} << Values{"pw", false, 7};
        QTest::newRow("True") << QStringList{"pw", "True", "7"} << Values{"pw", true, 7};
        QTest::newRow("lower-case false is not False") << QStringList{"pw", "false", "1"} << Values{"pw", true, 1};
        QTest::newRow("False with a blank is not False") << QStringList{"pw", "False ", "1"} << Values{"pw", true, 1};
        QTest::newRow("empty line 2") << QStringList{"pw", "", "1"} << Values{"pw", true, 1};
        QTest::newRow("blanks around the password kept")
            << QStringList{"  pw  ", "False", "0"} << Values{"  pw  ", false, 0};
        QTest::newRow("number then text") << QStringList{"", "False", "12abc"} << Values{"", false, 12};
        QTest::newRow("text then number") << QStringList{"", "False", "abc12"} << Values{"", false, 0};
        QTest::newRow("leading blanks") << QStringList{"", "False", "  5"} << Values{"", false, 5};
        QTest::newRow("fraction toward zero") << QStringList{"", "False", "2.9"} << Values{"", false, 2};
        QTest::newRow("last row") << QStringList{"", "False", "223"} << Values{"", false, 223};
        QTest::newRow("past the last row") << QStringList{"", "False", "224"} << Values{"", false, 0};
        QTest::newRow("negative row") << QStringList{"", "False", "-1"} << Values{"", false, 0};
        QTest::newRow("beyond 32 bits") << QStringList{"", "False", "99999999999"} << Values{"", false, 0};
        QTest::newRow("empty line 3") << QStringList{"", "False", ""} << Values{"", false, 0};
    }

    void parse()
    {
        QFETCH(QStringList, lines);
        QFETCH(Values, expected);
        const Values got = settings::parse(lines);
        QCOMPARE(got.password, expected.password);
        QCOMPARE(got.fullScreen, expected.fullScreen);
        QCOMPARE(got.countryIndex, expected.countryIndex);
    }

    void roundTrip_data()
    {
        QTest::addColumn<Values>("values");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("windowed") << Values{"Secret", false, 7} << QByteArray("Secret\nFalse\n7\n");
        QTest::newRow("full screen") << Values{"Secret", true, 223} << QByteArray("Secret\nTrue\n223\n");
        QTest::newRow("empty password") << Values{"", false, 0} << QByteArray("\nFalse\n0\n");
        QTest::newRow("blanks kept") << Values{" a b ", true, 2} << QByteArray(" a b \nTrue\n2\n");
        QTest::newRow("password False") << Values{"False", false, 1} << QByteArray("False\nFalse\n1\n");
        QTest::newRow("non-ASCII") << Values{QStringLiteral("pässwörd€"), true, 3}
                                   << QByteArray("p\xc3\xa4ssw\xc3\xb6rd\xe2\x82\xac\nTrue\n3\n");
        // As long as the password field takes, in characters of three bytes each.
        const int longest = platform::EditField::kMaxLength;
        QTest::newRow("longest password") << Values{QString(longest, u'€'), false, 223}
                                          << QByteArray("\xe2\x82\xac").repeated(longest) + "\nFalse\n223\n";
    }

    void roundTrip()
    {
        QFETCH(Values, values);
        QFETCH(QByteArray, content);
        QCOMPARE(settings::write(values), QString());
        QCOMPARE(readBytes(m_env.settingsFile()), content);
        const std::optional<Values> back = settings::read();
        QVERIFY(back);
        QVERIFY(*back == values);
    }

    void secondSaveReplacesTheFirst()
    {
        QCOMPARE(settings::write({"first password", true, 100}), QString());
        QCOMPARE(settings::write({"pw", false, 4}), QString());
        QCOMPARE(readBytes(m_env.settingsFile()), QByteArray("pw\nFalse\n4\n"));
    }

    void onlyTheOwnerMayReadIt()
    {
        QVERIFY(writeBytes(m_env.settingsFile(), "old\nTrue\n0\n"));
        QVERIFY(QFile::setPermissions(m_env.settingsFile(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        QCOMPARE(settings::write({"pw", false, 0}), QString());
        struct stat status = {};
        QCOMPARE(::stat(QFile::encodeName(m_env.settingsFile()).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0600));
    }

    // A save that stops before the new file is complete leaves the old one whole, and no litter.
    void interruptedSaveKeepsTheOldFile()
    {
        QCOMPARE(settings::write({"old", false, 9}), QString());
        // A line break cannot be stored: the write stops after the file was opened.
        QVERIFY(!settings::write({"new\nline", true, 1}).isEmpty());
        QCOMPARE(readBytes(m_env.settingsFile()), QByteArray("old\nFalse\n9\n"));
        QCOMPARE(QDir(m_env.config()).entryList(QDir::Files | QDir::Hidden), QStringList{"quillmore.txt"});
    }

    void unwritable_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("a file where the folder should be") << QStringLiteral("config file");
        QTest::newRow("a folder where the file should be") << QStringLiteral("settings folder");
    }

    void unwritable()
    {
        QFETCH(QString, obstacle);
        if (obstacle == QLatin1String("config file")) {
            QDir(m_env.config()).removeRecursively();
            QVERIFY(writeBytes(m_env.config(), "not a folder"));
        } else {
            QVERIFY(QDir().mkpath(m_env.settingsFile() + QStringLiteral("/inside")));
        }
        QVERIFY(!settings::write({"pw", true, 1}).isEmpty());
        QVERIFY(!settings::read());
    }

    // Whatever the file holds, reading ends, and only its first three lines count.
    void anyContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Values>("expected");

        QTest::newRow("empty") << QByteArray() << Values{"", true, 0};
        QTest::newRow("CR LF") << QByteArray("pw\r\nFalse\r\n5\r\n") << Values{"pw", false, 5};
        QTest::newRow("no final line break") << QByteArray("pw\nFalse\n6") << Values{"pw", false, 6};
        QTest::newRow("more than three lines") << QByteArray("pw\nFalse\n5\nTrue\n8\n") << Values{"pw", false, 5};
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01", 4) + QByteArray("\nFalse\n\x80\x81")
                                << Values{QString::fromUtf8(QByteArray("\x00\xff\xfe\x01", 4)), false, 0};
        QByteArray huge(8 * 1024 * 1024, 'x');
        QTest::newRow("gigantic line") << huge << Values{QString(settings::kMaxBytes, u'x'), true, 0};
        QByteArray manyLines = QByteArray("pw\nFalse\n3\n").repeated(200000);
        QTest::newRow("gigantic, many lines") << manyLines << Values{"pw", false, 3};
    }

    void anyContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(Values, expected);
        QVERIFY(writeBytes(m_env.settingsFile(), content));
        const std::optional<Values> got = settings::read();
        QVERIFY(got);
        QCOMPARE(got->password, expected.password);
        QCOMPARE(got->fullScreen, expected.fullScreen);
        QCOMPARE(got->countryIndex, expected.countryIndex);
    }

    void notAFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("FIFO without a writer") << QStringLiteral("fifo");
        QTest::newRow("dangling link") << QStringLiteral("link");
    }

    void notAFile()
    {
        QFETCH(QString, kind);
        QDir().mkpath(m_env.config());
        const QByteArray path = QFile::encodeName(m_env.settingsFile());
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(m_env.settingsFile()));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(m_env.home() + QStringLiteral("/nowhere"), m_env.settingsFile()));
        QVERIFY(!settings::read());
    }

    // The application's Open reads the file before the form opens, which then follows it.
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<int>("country");

        QTest::newRow("no file") << QByteArray() << "" << false << 0;
        QTest::newRow("windowed, eighth country") << QByteArray("pw\nFalse\n7\n") << "pw" << false << 7;
        QTest::newRow("full screen") << QByteArray("\nTrue\n0\n") << "" << true << 0;
        QTest::newRow("only a first line") << QByteArray("only\n") << "only" << true << 0;
        QTest::newRow("row out of range") << QByteArray("pw\nFalse\n500\n") << "pw" << false << 0;
        QTest::newRow("unreadable: a folder") << QByteArray("<folder>") << "" << false << 0;
    }

    void startUp()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, password);
        QFETCH(bool, fullScreen);
        QFETCH(int, country);
        if (content == "<folder>")
            QVERIFY(QDir().mkpath(m_env.settingsFile()));
        else if (!content.isEmpty())
            QVERIFY(writeBytes(m_env.settingsFile(), content));

        App app;
        auto* form = static_cast<Window1*>(app.start([] { return &platform::ImplicitInstance<Window1>::create(); }));
        QCOMPARE(app.Password, password);
        QCOMPARE(app.fullScreenmark, fullScreen);
        QCOMPARE(app.DefaultCountryIndex, country);
        QCOMPARE(form->FullScreen(), fullScreen);
        QCOMPARE(form->CountryField->ListIndex(), country);
        // Reading leaves no trace.
        if (content.isEmpty())
            QVERIFY(!QFileInfo::exists(m_env.settingsFile()));
        form->Close();
    }

    // How many sign-ups there are and where, counted as the window opens; a long path is shortened in
    // its middle, never cut off, and shown whole in the tooltip.
    void preferencesCountSignUps_data()
    {
        QTest::addColumn<QString>("chosen");   // --data-file, under the test's home; empty: the desktop's file
        QTest::addColumn<QByteArray>("bytes"); // "<none>": no file; "<folder>": a folder in its place
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("shortened");

        const QByteArray line = "\"Ann\",\"Lee\",\"ann@example.org\",\n";
        QTest::newRow("no sign-ups yet") << "" << QByteArray("<none>") << "No sign-ups yet in "
                                         << "" << false;
        QTest::newRow("one") << "" << line << "1 sign-up in "
                             << "" << false;
        QTest::newRow("1,234 and a torn line") << "" << line.repeated(1234) + "\"Bob"
                                               << "1,234 sign-ups in "
                                               << "" << false;
        QTest::newRow("a folder in its place") << "" << QByteArray("<folder>") << "Cannot count the sign-ups in "
                                               << ": Is a directory" << false;
        QTest::newRow("--data-file") << "usb/list.csv" << line + line << "2 sign-ups in "
                                     << "" << false;
        QTest::newRow("--data-file, no folder")
            << "usb/list.csv" << QByteArray("<none>") << "Cannot save: no folder for "
            << "" << false;
        QTest::newRow("--data-file, a long path")
            << QString(40, u'a') + "/" + QString(40, u'b') + "/list.csv" << line << "1 sign-up in "
            << "" << true;
    }
    void preferencesCountSignUps()
    {
        QFETCH(QString, chosen);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(bool, shortened);

        App app;
        const QString path = chosen.isEmpty() ? m_env.dataFile() : m_env.home() + u'/' + chosen;
        if (!chosen.isEmpty())
            app.commandLine.dataFile = path;
        QDir(m_env.desktop()).removeRecursively();
        QDir(m_env.home() + QStringLiteral("/usb")).removeRecursively();
        if (bytes == "<folder>") {
            QVERIFY(QDir().mkpath(path));
        } else if (bytes != "<none>") {
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QVERIFY(writeBytes(path, bytes));
        }

        Window1::instance();
        const platform::StaticText* line = PreferencesWindow::instance().SignUpCount;
        const QString whole = before + path + after;
        QCOMPARE(line->toolTip(), whole);
        const QString shown = line->text();
        QVERIFY2(shown.startsWith(before) && shown.endsWith(after), qPrintable(shown));
        QVERIFY2(line->fontMetrics().horizontalAdvance(shown) <= line->contentsRect().width(), qPrintable(shown));
        if (shortened)
            QVERIFY2(shown != whole && shown.contains(QChar(0x2026)), qPrintable(shown));
        // Looking does not make the folder a sign-up would.
        if (bytes == "<none>")
            QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
