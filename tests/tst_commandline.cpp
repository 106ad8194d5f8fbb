// The command line: what starts the kiosk, and what is answered before any window opens.
#include "app/CommandLine.h"

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
        QTest::newRow("--touch: the kiosk starts for a touch screen") << QStringList{QStringLiteral("--touch")}
                                                                      << Outcome::Run;
        QTest::newRow("an argument after --") << QStringList{QStringLiteral("--"), QStringLiteral("x")}
                                              << Outcome::UsageError;
        // Parsed before QApplication, so Qt's own options are not taken away first.
        QTest::newRow("Qt's -platform") << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb")}
                                        << Outcome::UsageError;
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
