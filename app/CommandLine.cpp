#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

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
    parser.setApplicationDescription(QStringLiteral(
        "A sign-up kiosk: visitors leave their contact details in a form, one line per sign-up\n"
        "in quillmore.csv on the desktop. Quitting and Preferences ask for the operator password."));
    // Our own help option: addHelpOption() would also offer --help-all, for Qt options we refuse.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    const QCommandLineOption touch(QStringLiteral("touch"),
                                   QStringLiteral("For a touch screen: touching a field shows an on-screen keyboard "
                                                  "(Debian's qt6-virtualkeyboard-plugin), and the form moves up so "
                                                  "the field stays in sight above it."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(touch);

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
    ParsedCommandLine run;
    run.options.touch = parser.isSet(touch);
    return run;
}

QStringList commandLineArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
