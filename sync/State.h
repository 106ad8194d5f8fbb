#pragma once

#include <QHash>
#include <QString>

#include <optional>

// What the sync remembers across restarts, in two files beside the settings, both readable by the
// owner only.
namespace dbsync {

// The state file: how far the database has confirmed the data file. Replaced whole and atomically after
// each confirmation, so a kill leaves the old confirmation or the new one: the lines in between are sent
// again, and the database ignores a line it has.
struct SyncState
{
    QString target;             // the account the confirmation holds for; another one starts over
    QString fileId;             // the data file it holds for; another file starts over
    qint64 confirmedOffset = 0; // every line before this byte is in the database
    qint64 confirmedLines = 0;  // and this many lines
    qint64 asideLines = 0;      // of those, how many did not read as a sign-up
    qint64 lastAsideLine = 0;   // the number of the latest such line (1 is the first)
    qint64 lastSignUp = 0;      // seconds since 1970 of the latest sign-up whose time is known; 0 none

    bool operator==(const SyncState&) const = default;
};

// nullopt: no state file, or one that does not read as one (everything is then sent again, harmlessly).
std::optional<SyncState> readState(const QString& path);
[[nodiscard]] QString writeState(const QString& path, const SyncState& state);

// The times file: when each line was first seen, written as the sync sees it appear, so its time goes
// with it however long the database is out of reach. One line per sign-up: file id, offset, seconds, a dot.
// A kill loses nothing written to it; a power cut may lose what was not yet synced to disk (syncTimes),
// and a line whose time is lost goes with none, never with a wrong one. A line torn in the middle is
// skipped on reading.
using Times = QHash<qint64, qint64>; // offset -> seconds since 1970

Times readTimes(const QString& path, const QString& fileId, qint64 fromOffset);
// Appends the offsets' times in one write, without waiting for the disk.
[[nodiscard]] QString appendTimes(const QString& path, const QString& fileId, const QList<qint64>& offsets,
                                  const Times& times);
[[nodiscard]] QString syncTimes(const QString& path);
// Empties it, once every time in it is confirmed. Should the emptying not reach the disk, the old lines
// come back after a power cut: they are of confirmed lines, and true.
[[nodiscard]] QString clearTimes(const QString& path);

} // namespace dbsync
