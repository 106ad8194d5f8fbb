// Appending a line durably under a lock, mending a torn last line first: the data file.
#include "core/Files.h"

#include "core/FileCalls.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using io::failure;
using io::openRetrying;
using io::readAt;

// What must precede a new line so that it stands alone. After a complete last line: nothing. After
// an unfinished one (cut short by a power cut, or typed by hand without its line break): "\n", and
// before it a '"' when the line stops inside a quoted value; else a reader taking the file as one
// CSV stream reads the line break and the whole new line as part of that value. The unfinished
// line is kept as it is: it may be an operator's, and the file is only ever appended to.
// Only the unfinished tail is read, back to its "\n": one byte for a file that ends normally.
// Returns 0 or the errno of the first failure.
int tailRepair(int fd, off_t size, QByteArray* repair)
{
    if (size == 0)
        return 0;
    char last = 0;
    if (const int error = readAt(fd, &last, 1, size - 1); error != 0)
        return error;
    if (last == '\n')
        return 0;

    // A doubled quote inside a value counts two, so an odd count means a value is still open.
    bool open = last == '"';
    char chunk[4096];
    off_t end = size - 1;
    bool atLineStart = false;
    while (end > 0 && !atLineStart) {
        const off_t start = std::max<off_t>(end - off_t(sizeof chunk), 0);
        const qsizetype count = qsizetype(end - start);
        if (const int error = readAt(fd, chunk, count, start); error != 0)
            return error;
        for (qsizetype i = count - 1; i >= 0 && !atLineStart; --i) {
            atLineStart = chunk[i] == '\n';
            if (chunk[i] == '"')
                open = !open;
        }
        end = start;
    }
    if (open)
        *repair += '"';
    *repair += '\n';
    return 0;
}

struct LockedFile
{
    int fd = -1;
    bool created = false;   // by this call
    bool removable = false; // created by this call and still empty once locked
    off_t size = 0;         // once locked
};

// Opens the file for appending, creating it when missing, and takes an exclusive lock on it. A second
// kiosk appending to the same file (a second start, or a shared folder) waits for the lock, so one
// writer's look at the end, write, sync and cut-back never interleave with another's.
// Returns 0 or the errno of the first failure; on failure nothing is left open.
int openLocked(const QByteArray& name, LockedFile* file)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        // The file usually exists: open it as it is. Only when it does not is it created, with O_EXCL,
        // which tells without a race whether this call created it. Read access is needed to look at
        // the end. A new file holds visitors' personal data, so only its owner may read it (as the
        // settings file); an existing one keeps the mode the operator gave it.
        bool created = false;
        int fd = openRetrying(name, O_RDWR | O_APPEND | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = openRetrying(name, O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST)
                continue; // created by someone else between the two opens: open it as it is
            created = fd >= 0;
        }
        if (fd < 0)
            return errno;

        // The caller gets the first error, or tries again.
        const auto giveUp = [fd](int error) {
            io::closeQuietly(fd);
            return error;
        };
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0)
            return giveUp(errno);

        // While this call waited, the writer holding the lock may have removed the file (it had just
        // created it and then failed); a line written to the removed file would be lost. Then start
        // over with whatever the name now stands for.
        struct stat held = {};
        struct stat named = {};
        if (::fstat(fd, &held) != 0)
            return giveUp(errno);
        if (::stat(name.constData(), &named) != 0) {
            if (errno != ENOENT)
                return giveUp(errno);
        } else if (named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
            // Another writer may have appended to the new file before this call got the lock: then it
            // is no longer this call's to remove on failure.
            file->fd = fd;
            file->created = created;
            file->removable = created && held.st_size == 0;
            file->size = held.st_size;
            return 0;
        }
        giveUp(0); // and try again
    }
    return EAGAIN;
}

} // namespace

QString appendLineDurably(const QString& path, const QString& line)
{
    return appendLineDurably(path, line, {});
}

QString appendLineDurably(const QString& path, const QString& line,
                          const std::function<QString(qint64 offset)>& beforeWriting)
{
    if (io::hasLineBreak(line))
        return failure(QStringLiteral("append to"), path, QStringLiteral("the line contains a line break"));

    const QByteArray name = QFile::encodeName(path);
    LockedFile file;
    if (const int error = openLocked(name, &file); error != 0)
        return failure(QStringLiteral("open"), path, qt_error_string(error));
    int fd = file.fd;

    // Puts the file back as it was. The lock is held until the end, so cutting back to the old size
    // drops only this call's bytes, never another writer's line.
    const auto fail = [&](const QString& what, int error) {
        if (file.removable) {
            io::removeQuietly(name);
        } else if (::ftruncate(fd, file.size) != 0) {
            // Fails harmlessly on devices such as /dev/full that cannot be truncated.
        }
        io::closeQuietly(fd);
        return failure(what, path, qt_error_string(error));
    };

    QByteArray bytes;
    if (const int error = tailRepair(fd, file.size, &bytes); error != 0)
        return fail(QStringLiteral("read the end of"), error);
    if (beforeWriting) {
        if (const QString error = beforeWriting(qint64(file.size) + bytes.size()); !error.isEmpty()) {
            fail(QString(), 0);
            return error;
        }
    }
    bytes += line.toUtf8();
    bytes += '\n';

    if (const int error = io::writeAll(fd, bytes.constData(), bytes.size()); error != 0)
        return fail(QStringLiteral("write to"), error);
    // The size change is flushed too, which is all a reader needs to find the line.
    if (::fdatasync(fd) != 0)
        return fail(QStringLiteral("sync"), errno);
    // A new file is only durable once its folder entry is.
    if (file.created) {
        if (const int error = io::syncFolderError(QFileInfo(path).absolutePath()); error != 0)
            return fail(QStringLiteral("sync the folder of"), error);
    }

    // Closing may still report a late write error (network file systems flush on close). The cut-back
    // that follows must happen under the lock too, so a second descriptor holds it until then.
    const int keeper = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (keeper < 0)
        return fail(QStringLiteral("close"), errno);
    if (::close(fd) != 0) {
        const int error = errno;
        fd = keeper; // the first is closed even on failure; must not be closed again
        return fail(QStringLiteral("close"), error);
    }
    io::closeQuietly(keeper); // only drops the lock: the first close reported any write error
    return QString();
}

} // namespace platform
