#include "app/CommandLine.h"

#include "sync/Target.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>

namespace {

const QString kProgram = QStringLiteral("quillmore");

// QCommandLineParser names the program from the running application, which does not exist yet.
QString helpText(const QCommandLineParser& parser)
{
    const QString text = parser.helpText();
    const qsizetype endOfUsage = text.indexOf(u'\n');
    return QStringLiteral("Usage: %1 [options]").arg(kProgram) + text.mid(endOfUsage);
}

ParsedCommandLine answer(ParsedCommandLine::Outcome outcome, const QString& text)
{
    ParsedCommandLine parsed;
    parsed.outcome = outcome;
    parsed.text = text;
    return parsed;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A sign-up kiosk: visitors leave their contact details in a form, one line per sign-up\n"
                       "in quillmore.csv on the desktop. Quitting and Preferences ask for the operator password."));
    // Our own help option: addHelpOption() would also offer --help-all, for Qt options we refuse.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    // Qt wraps the descriptions itself.
    const QCommandLineOption idleReset(
        QStringLiteral("idle-reset"),
        QStringLiteral("After SECONDS without a touch or a key, clear the form and close whatever was left "
                       "open, saving nothing; 0: never. Without it: after 120 seconds in full-screen mode, "
                       "never in windowed mode."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption dataFile(
        QStringLiteral("data-file"),
        QStringLiteral("Save the sign-ups to PATH (on a USB stick, in a synced folder) instead of "
                       "quillmore.csv on the desktop."),
        QStringLiteral("PATH"));
    const QCommandLineOption touch(QStringLiteral("touch"),
                                   QStringLiteral("For a touch screen: touching a field shows an on-screen keyboard "
                                                  "(Debian's qt6-virtualkeyboard-plugin), and the form moves up so "
                                                  "the field stays in sight above it."));
    const QCommandLineOption privacy(
        QStringLiteral("privacy"),
        QStringLiteral("Show the privacy notice in FILE (UTF-8 text) on the form: its first paragraph before "
                       "\"Sign Me Up\", the whole text when that is touched. Each sign-up then keeps, beside "
                       "the data file, when it was made and which notice was shown."),
        QStringLiteral("FILE"));
    const QCommandLineOption requireConsent(
        QStringLiteral("require-consent"),
        QStringLiteral("With --privacy: a sign-up needs the box beside the notice ticked."));
    const QCommandLineOption exportTo(
        QStringLiteral("export"),
        QStringLiteral("Start no kiosk: write the sign-ups of the data file (see --data-file) to OUT as a "
                       "CSV file with a header row, for mail and CRM tools. Needs no display."),
        QStringLiteral("OUT"));
    const QCommandLineOption forSpreadsheet(
        QStringLiteral("for-spreadsheet"),
        QStringLiteral("With --export: values a spreadsheet would run as a formula (a leading = + - @) get "
                       "an apostrophe before them."));
    const QCommandLineOption syncTo(
        QStringLiteral("sync-to"),
        QStringLiteral("Also send every sign-up, once, to the PostgreSQL database CONNINFO names (a libpq "
                       "connection string or URI, such as service=fleet, or host=db.example.org dbname=events "
                       "user=kiosk sslmode=verify-full sslrootcert=FILE). The password goes in ~/.pgpass. A server "
                       "on another machine only with sslmode=verify-full."),
        QStringLiteral("CONNINFO"));
    const QCommandLineOption kioskName(
        QStringLiteral("kiosk-name"),
        QStringLiteral("The name of this kiosk in that database (default: the host name)."), QStringLiteral("NAME"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(idleReset);
    parser.addOption(dataFile);
    parser.addOption(touch);
    parser.addOption(privacy);
    parser.addOption(requireConsent);
    parser.addOption(exportTo);
    parser.addOption(forSpreadsheet);
    parser.addOption(syncTo);
    parser.addOption(kioskName);

    if (!parser.parse(arguments))
        return answer(ParsedCommandLine::Outcome::UsageError,
                      QStringLiteral("%1: %2\n\n%3").arg(kProgram, parser.errorText(), helpText(parser)));
    if (!parser.positionalArguments().isEmpty())
        return answer(ParsedCommandLine::Outcome::UsageError,
                      QStringLiteral("%1: Unexpected argument '%2': the kiosk takes options only.\n\n%3")
                          .arg(kProgram, parser.positionalArguments().constFirst(), helpText(parser)));
    if (parser.isSet(help))
        return answer(ParsedCommandLine::Outcome::Help, helpText(parser));
    if (parser.isSet(version))
        return answer(ParsedCommandLine::Outcome::Version,
                      QStringLiteral("%1 %2\n").arg(kProgram, QStringLiteral(QUILLMORE_VERSION)));

    const auto refuse = [&](const QString& why) {
        return answer(ParsedCommandLine::Outcome::UsageError,
                      QStringLiteral("%1: %2\n\n%3").arg(kProgram, why, helpText(parser)));
    };
    ParsedCommandLine parsed;
    parsed.options.touch = parser.isSet(touch);
    if (parser.isSet(idleReset)) {
        const QString text = parser.value(idleReset);
        // Digits only: no sign, no blanks, no other base.
        const bool digits =
            !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        bool fits = false;
        const uint seconds = text.toUInt(&fits);
        if (!digits || !fits)
            return refuse(QStringLiteral("Invalid value '%1' for --idle-reset: a whole number of seconds is "
                                         "needed, 0 to switch it off.")
                              .arg(text));
        parsed.options.idleReset = std::chrono::seconds(seconds);
    }
    if (parser.isSet(dataFile)) {
        const QString path = parser.value(dataFile);
        if (path.isEmpty())
            return refuse(QStringLiteral("--data-file needs the path of a file."));
        // Resolved now: the file must not move should the working folder change.
        const QFileInfo file(path);
        if (path.endsWith(u'/') || file.isDir())
            return refuse(QStringLiteral("--data-file '%1' is a folder; name the file in it, such as %2.")
                              .arg(path, QDir(path).filePath(QStringLiteral("quillmore.csv"))));
        parsed.options.dataFile = file.absoluteFilePath();
    }
    if (parser.isSet(privacy)) {
        const QString path = parser.value(privacy);
        const consent::NoticeFile read = consent::readNotice(path);
        if (!read.notice)
            return refuse(QStringLiteral("--privacy '%1' gives no notice: %2.").arg(path, read.error));
        parsed.options.notice = read.notice;
    }
    parsed.options.requireConsent = parser.isSet(requireConsent);
    if (parsed.options.requireConsent && !parsed.options.notice)
        return refuse(QStringLiteral("--require-consent needs --privacy FILE: the notice the visitor agrees to."));
    parsed.options.forSpreadsheet = parser.isSet(forSpreadsheet);
    if (parser.isSet(exportTo)) {
        const QString path = parser.value(exportTo);
        const QFileInfo out(path);
        if (path.isEmpty() || path.endsWith(u'/') || out.isDir())
            return refuse(QStringLiteral("--export needs the path of a file to write, such as sign-ups.csv."));
        parsed.options.exportTo = out.absoluteFilePath();
    } else if (parsed.options.forSpreadsheet) {
        return refuse(QStringLiteral("--for-spreadsheet goes with --export OUT."));
    }
    parsed.options.kioskName =
        parser.isSet(kioskName) ? parser.value(kioskName).trimmed() : QSysInfo::machineHostName();
    if (parsed.options.kioskName.isEmpty())
        return refuse(QStringLiteral("--kiosk-name needs a name."));
    if (parser.isSet(syncTo)) {
        const dbsync::Target target = dbsync::checkTarget(parser.value(syncTo));
        if (!target.error.isEmpty())
            return refuse(target.error);
        parsed.options.syncTo = parser.value(syncTo);
        parsed.options.syncHost = target.host;
        parsed.options.syncAccount = target.account;
    }
    return parsed;
}

QStringList commandLineArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
