#pragma once

#include <QString>

namespace platform {

// The user's folders, as absolute paths ending with "/" so a file name is appended directly.
// Empty when the folder cannot be had.

// The user's configuration folder. Not created here: reading must not leave traces.
QString PreferencesFolder();
// The configuration folder, created when missing (for writing the settings).
QString PreferencesFolderForWriting();
// The user's desktop, created when missing.
QString DesktopFolder();
// Where the user's desktop is, whether it exists or not; nothing is created.
QString DesktopFolderPath();

} // namespace platform
