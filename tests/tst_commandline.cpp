// The command line: what starts the kiosk, and what is answered before any window opens.
#include "app/CommandLine.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

using Outcome = ParsedCommandLine::Outcome;

class TestCommandLine final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outcome_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("none: the kiosk starts") << QStringList{} << Outcome::Run;
        QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << Outcome::Help;
        QTest::newRow("--touch: the kiosk starts for a touch screen")
            << QStringList{QStringLiteral("--touch")} << Outcome::Run;
        QTest::newRow("an argument after --")
            << QStringList{QStringLiteral("--"), QStringLiteral("x")} << Outcome::UsageError;
        // Parsed before QApplication, so Qt's own options are not taken away first.
        QTest::newRow("Qt's -platform") << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb")}
                                        << Outcome::UsageError;
        QTest::newRow("--idle-reset 30") << QStringList{"--idle-reset", "30"} << Outcome::Run;
        QTest::newRow("--idle-reset=0") << QStringList{"--idle-reset=0"} << Outcome::Run;
        QTest::newRow("--idle-reset without seconds") << QStringList{"--idle-reset"} << Outcome::UsageError;
        QTest::newRow("--idle-reset empty") << QStringList{"--idle-reset", ""} << Outcome::UsageError;
        QTest::newRow("--idle-reset -1") << QStringList{"--idle-reset", "-1"} << Outcome::UsageError;
        QTest::newRow("--idle-reset +5") << QStringList{"--idle-reset", "+5"} << Outcome::UsageError;
        QTest::newRow("--idle-reset 1.5") << QStringList{"--idle-reset", "1.5"} << Outcome::UsageError;
        QTest::newRow("--idle-reset 2m") << QStringList{"--idle-reset", "2m"} << Outcome::UsageError;
        QTest::newRow("--idle-reset too large") << QStringList{"--idle-reset", "99999999999"} << Outcome::UsageError;
        QTest::newRow("--data-file") << QStringList{"--data-file", "/media/usb/sign-ups.csv"} << Outcome::Run;
        QTest::newRow("--data-file empty") << QStringList{"--data-file", ""} << Outcome::UsageError;
        QTest::newRow("--data-file a folder") << QStringList{"--data-file", QDir::tempPath()} << Outcome::UsageError;
        QTest::newRow("--data-file ending in /") << QStringList{"--data-file", "/media/usb/"} << Outcome::UsageError;
        QTest::newRow("--sync-to this machine") << QStringList{"--sync-to", "dbname=events"} << Outcome::Run;
        QTest::newRow("--sync-to another machine without verify-full")
            << QStringList{"--sync-to", "postgresql://kiosk@db.example.org/events"} << Outcome::UsageError;
        QTest::newRow("--sync-to another machine with verify-full")
            << QStringList{"--sync-to", "postgresql://kiosk@db.example.org/events?sslmode=verify-full"} << Outcome::Run;
        QTest::newRow("--kiosk-name empty") << QStringList{"--kiosk-name", " "} << Outcome::UsageError;
    }

    void outcome()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Outcome, outcome);
        const ParsedCommandLine parsed = parseCommandLine(QStringList{QStringLiteral("quillmore")} + arguments);
        QCOMPARE(parsed.outcome, outcome);
        QCOMPARE(parsed.exitStatus(), outcome == Outcome::UsageError ? 2 : 0);
        QCOMPARE(parsed.options.touch, arguments.contains(QStringLiteral("--touch")));
    }

    // The values the kiosk runs with. A relative data file is taken from where the kiosk was started.
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("idleReset"); // -1: not given
        QTest::addColumn<QString>("dataFile");
        QTest::newRow("none") << QStringList{} << -1 << QString();
        QTest::newRow("--idle-reset 45") << QStringList{"--idle-reset", "45"} << 45 << QString();
        QTest::newRow("--idle-reset 0") << QStringList{"--idle-reset", "0"} << 0 << QString();
        QTest::newRow("absolute --data-file")
            << QStringList{"--data-file=/media/usb/list.csv"} << -1 << QStringLiteral("/media/usb/list.csv");
        QTest::newRow("relative --data-file") << QStringList{"--data-file", "usb/list.csv", "--idle-reset", "7"} << 7
                                              << QDir::current().absoluteFilePath(QStringLiteral("usb/list.csv"));
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, idleReset);
        QFETCH(QString, dataFile);
        const ParsedCommandLine parsed = parseCommandLine(QStringList{QStringLiteral("quillmore")} + arguments);
        QCOMPARE(parsed.outcome, Outcome::Run);
        QCOMPARE(parsed.options.idleReset.has_value(), idleReset >= 0);
        if (idleReset >= 0)
            QCOMPARE(parsed.options.idleReset->count(), idleReset);
        QCOMPARE(parsed.options.dataFile, dataFile);
    }

    // The built program, run where it could not open a window: an answer that needed a display would
    // end in Qt's abort instead of the status expected.
    void answersWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // how standard output starts
        QTest::addColumn<QString>("errorStart");

        const QString usage = QStringLiteral("Usage: quillmore [options]\n");
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << usage << QString();
        QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << 0
                                   << QStringLiteral("quillmore " QUILLMORE_VERSION "\n") << QString();
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--kiosk")} << 2 << QString()
                                        << QStringLiteral("quillmore: Unknown option 'kiosk'.\n\n") + usage;
        QTest::newRow("stray argument") << QStringList{QStringLiteral("sign-ups.csv")} << 2 << QString()
                                        << QStringLiteral("quillmore: Unexpected argument 'sign-ups.csv'");
        QTest::newRow("bad --idle-reset") << QStringList{"--idle-reset", "soon"} << 2 << QString()
                                          << QStringLiteral("quillmore: Invalid value 'soon' for --idle-reset");
        // The rules of the notice file itself are tst_export's; here, that each ends the start.
        QTest::newRow("--privacy missing") << QStringList{"--privacy", "/nonexistent/notice.txt"} << 2 << QString()
                                           << QStringLiteral("quillmore: --privacy '/nonexistent/notice.txt' gives "
                                                             "no notice: there is no such file.");
        QTest::newRow("--privacy a folder")
            << QStringList{"--privacy", QDir::tempPath()} << 2 << QString()
            << QStringLiteral("quillmore: --privacy '%1' gives no notice").arg(QDir::tempPath());
        QTest::newRow("--require-consent alone") << QStringList{"--require-consent"} << 2 << QString()
                                                 << QStringLiteral("quillmore: --require-consent needs --privacy");
        QTest::newRow("--for-spreadsheet alone") << QStringList{"--for-spreadsheet"} << 2 << QString()
                                                 << QStringLiteral("quillmore: --for-spreadsheet goes with --export");
        QTest::newRow("--export of no file")
            << QStringList{"--export", "x.csv", "--data-file", "/nonexistent/q.csv"} << 1 << QString()
            << QStringLiteral("quillmore: There are no sign-ups to export");
        QTest::newRow("--export over the data file")
            << QStringList{"--export", "/tmp/q.csv", "--data-file", "/tmp/q.csv"} << 2 << QString()
            << QStringLiteral("quillmore: --export would write over the sign-ups");
    }

    void answersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, errorStart);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUILLMORE_BINARY), arguments);
        QVERIFY(program.waitForFinished(60000));

        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        // Each stream starts with what is expected of it, and is empty when nothing is.
        const auto matches = [](const QString& stream, const QString& start) {
            return start.isEmpty() ? stream.isEmpty() : stream.startsWith(start);
        };
        const QString standardOutput = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString standardError = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(matches(standardOutput, out), qPrintable(standardOutput));
        QVERIFY2(matches(standardError, errorStart), qPrintable(standardError));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
