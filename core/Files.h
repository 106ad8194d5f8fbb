#pragma once

#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QIODevice;

// The framework's durable text files. Each job has a file of its own: TextLines.cpp (reading and
// writing lines), AtomicReplace.cpp, DurableAppend.cpp and CountLines.cpp; FileCalls.h holds the steps
// they share.
namespace platform {

// Reads the first maxLines lines of a UTF-8 text file. A line ends at LF, CR LF or CR; the
// terminator is not part of the line. A leading UTF-8 byte order mark is dropped.
// Reads at most maxBytes bytes, so a huge file or one without line breaks costs no more than
// that; a line cut by that limit is returned as far as it was read.
// Returns fewer lines when the file is shorter (no padding); std::nullopt when it cannot be read.
std::optional<QStringList> readTextLines(const QString& path, int maxLines, qint64 maxBytes = 64 * 1024);

// Replaces the whole file atomically with the lines, each followed by "\n", in UTF-8, and gives
// it exactly the given permissions. The new content and the rename are synced to disk.
// Returns an empty string on success, otherwise a short English error text.
// On failure the old file is left as it was, unless only the final folder sync failed (the new
// file is then in place but its rename may not survive a power cut). Lines with CR or LF are refused.
[[nodiscard]] QString replaceTextFile(const QString& path, const QStringList& lines,
                                      QFileDevice::Permissions permissions);

// Writes the lines ("\n" after each, UTF-8) to an open device. Returns an error text or empty.
// A line that itself contains CR or LF is refused: it would silently become two lines. A first line
// that begins with U+FEFF gets a byte order mark before it, so that readTextLines gives it back whole.
[[nodiscard]] QString writeLines(QIODevice* device, const QStringList& lines);

// Appends one line plus "\n" (UTF-8) to the file, creating it if missing (mode 0600 less the umask;
// an existing file keeps its mode), and syncs it to disk before returning. A torn last line (no
// final "\n") is kept and ended first, its open quoted value closed, so the new line stands alone.
// An exclusive flock on the file, held to the end, keeps other writers that take it out meanwhile.
// On failure the file is left exactly as it was (removed again if this call created it).
// A line containing CR or LF is refused.
// Returns an empty string on success, otherwise a short English error text.
[[nodiscard]] QString appendLineDurably(const QString& path, const QString& line);

// The same, with a step of the caller's between the look at the end and the write: beforeWriting gets
// the byte offset at which the line will start, under the lock, and the line is written only when it
// returns no error (its error is then this call's, and the file is left as it was). It lets a second
// file record something about the line, durably, before the line exists.
[[nodiscard]] QString appendLineDurably(const QString& path, const QString& line,
                                        const std::function<QString(qint64 offset)>& beforeWriting);

// fsync of a folder, so that creating or renaming a file in it survives a power cut.
bool syncFolder(const QString& folderPath);

// What counting the lines of a file found.
struct LineCount
{
    enum class Outcome { Counted, NoFile, Unreadable };

    Outcome outcome = Outcome::Counted;
    qint64 lines = 0; // Counted: the complete lines
    QString error;    // Unreadable: why, a short English text
};

// Counts the complete lines of a file, those ended by "\n": a last line still being written, or torn
// by a power cut, is not one. Reads in large blocks, so a million lines take milliseconds, not seconds.
[[nodiscard]] LineCount countCompleteLines(const QString& path);

} // namespace platform
