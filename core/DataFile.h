#pragma once

#include <QString>

// Where the sign-ups go: the file `chosen` names (--data-file, already absolute), else quillmore.csv in
// the desktop folder. Empty when there is no desktop folder to be had.

// For a sign-up: the desktop folder is created when missing. The folder of a --data-file is not: a
// USB stick that is not plugged in must show as a failure, not as a new folder on the machine.
QString dataFileForWriting(const QString& chosen);

// For showing: creates nothing, so the path is there even before the first sign-up.
QString dataFileToShow(const QString& chosen);
