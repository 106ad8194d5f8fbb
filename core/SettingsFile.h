#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The kiosk's three settings as the settings file "quillmore.txt" holds them: the password in clear,
// "True" or "False", the default country's row. Reading is looser than writing, so that files written
// by hand or by older versions keep working.
namespace settings {

// Only this many lines of the file are ever looked at.
inline constexpr int kLines = 3;

struct Values
{
    QString password;
    bool fullScreen = false;
    qint32 countryIndex = 0;

    friend bool operator==(const Values&, const Values&) = default;
};

// The longest password the file must give back whole: what the Preferences window's password field
// holds at most (checked there, against the field's own cap).
inline constexpr int kLongestPassword = 32767;

// Only this many bytes of the file are ever read: the largest file the writer produces, so that every
// password the Preferences window takes comes back whole: the longest password at up to 4 bytes a
// character in UTF-8, "False" and the longest row number ("-2147483648"), each line with its "\n". A
// larger file was not written by us and costs no more to read than this.
inline constexpr qint64 kMaxBytes = qint64(kLongestPassword) * 4 + 1 + 5 + 1 + 11 + 1;

// The values of the first three lines. Missing lines read as empty text: an empty password,
// full-screen on (only "False" turns it off), the first country. A row outside the country list
// reads as the first country.
Values parse(const QStringList& lines);
// The three lines of the file, as parse reads them back.
QStringList format(const Values& values);

// The settings file's path in the given folder (which ends with "/").
QString filePath(const QString& folder);

// The values in the settings file; nullopt when there is no preferences folder, no file, or it
// cannot be read as a regular file.
std::optional<Values> read();
// Replaces the settings file atomically, readable by the owner only. Returns an error text, empty
// on success.
[[nodiscard]] QString write(const Values& values);

} // namespace settings
