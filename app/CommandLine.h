#pragma once

#include "core/Notice.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// What the kiosk was started with. Options that change how the kiosk runs become members here;
// App keeps the parsed value, and nothing else reads the program's arguments.
struct CommandLine
{
    // --idle-reset SECONDS: how long without input before the kiosk clears itself for the next visitor,
    // in either mode; zero never. Not given: two minutes in full-screen mode, never in windowed mode.
    std::optional<std::chrono::seconds> idleReset;
    // --data-file PATH, made absolute at start: where the sign-ups go instead of quillmore.csv on the
    // desktop. Empty: on the desktop.
    QString dataFile;
    bool touch = false; // --touch: an on-screen keyboard for a touch screen without a keyboard
    // --privacy FILE, read at start: the notice the form shows before "Sign Me Up". None: no notice.
    std::optional<consent::Notice> notice;
    // --require-consent (only with a notice): a sign-up needs the box under the notice ticked.
    bool requireConsent = false;
    // --export OUT.csv, made absolute: no kiosk, but the sign-ups exported to that file.
    QString exportTo;
    bool forSpreadsheet = false; // --for-spreadsheet: the export made safe to open in a spreadsheet
    // --sync-to CONNINFO: the PostgreSQL database every sign-up is sent to, once checked. Empty: none.
    QString syncTo;
    QString syncHost;    // the server as the staff line names it
    QString syncAccount; // user@host, likewise
    // --kiosk-name NAME: this kiosk in that database. Default: the host name.
    QString kioskName;
};

// The answer to a command line: start the kiosk with its options, or print a text and end before
// any window opens (and before a display is needed).
struct ParsedCommandLine
{
    enum class Outcome { Run, Help, Version, UsageError };

    Outcome outcome = Outcome::Run;
    CommandLine options;
    QString text; // what Help, Version and UsageError print

    // 0 for Run, Help and Version; 2 for a usage error, printed on standard error.
    int exitStatus() const { return outcome == Outcome::UsageError ? 2 : 0; }
};

// Arguments as the program received them, the program's name first.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// The program's arguments before QApplication exists, which needs a display.
QStringList commandLineArguments(int argc, char* argv[]);
