#include "core/Files.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A line break inside a line would silently turn one record into two.
bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

QStringList splitLines(QStringView text, int maxLines)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size() && lines.size() < maxLines; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        lines.append(text.mid(start, i - start).toString());
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    // The last line may lack its terminator (file written by hand or cut short).
    if (lines.size() < maxLines && start < text.size())
        lines.append(text.mid(start).toString());
    return lines;
}

// Beside the file, the one name a save writes under before it replaces the file.
QString savingPath(const QString& path)
{
    return path + QStringLiteral(".saving");
}

mode_t modeOf(QFileDevice::Permissions permissions)
{
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
        {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH},
    };
    for (const auto& [permission, bit] : bits) {
        if (permissions & permission)
            mode |= bit;
    }
    return mode;
}

int openRetrying(const QByteArray& name, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(name.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Returns 0 or the errno of the first failure.
int writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO; // no progress and no error: give up rather than spin
        data += written;
        size -= written;
    }
    return 0;
}

// Reads exactly size bytes at offset. Returns 0 or the errno of the first failure.
int readAt(int fd, char* data, qsizetype size, off_t offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, static_cast<size_t>(size), offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return EIO; // the file shrank while being read: someone is editing it, so guess nothing
        data += got;
        size -= got;
        offset += got;
    }
    return 0;
}

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

int syncFileData(int fd)
{
#ifdef __APPLE__
    // macOS has no usable fdatasync; fsync is the closest equivalent here.
    return ::fsync(fd);
#else
    // The size change is flushed too, which is all a reader needs to find the line.
    return ::fdatasync(fd);
#endif
}

// Returns 0 or the errno of the first failure.
int syncFolderError(const QString& folderPath)
{
    const int fd = openRetrying(QFile::encodeName(folderPath), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
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

        const auto giveUp = [fd](int error) {
            if (::close(fd) != 0) {
                // The caller gets the first error, or tries again; a failed close adds nothing.
            }
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

QString failure(const QString& what, const QString& path, const QString& why)
{
    return QStringLiteral("Could not %1 %2: %3").arg(what, path, why);
}

} // namespace

std::optional<QStringList> readTextLines(const QString& path, int maxLines, qint64 maxBytes)
{
    QFile file(path);
    // Unbuffered so that no more than maxBytes is ever pulled from the file.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    const qint64 limit = std::max<qint64>(maxBytes, 0);
    const QByteArray bytes = file.read(limit);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    if (maxLines <= 0)
        return QStringList();

    // When the limit may have cut a multi-byte character in half, a stateful decoder holds the
    // partial character back instead of turning it into U+FFFD.
    const bool maybeCut = limit > 0 && bytes.size() == limit;
    QStringDecoder decoder(QStringConverter::Utf8,
                           maybeCut ? QStringConverter::Flag::Default : QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return splitLines(text, maxLines);
}

QString writeLines(QIODevice* device, const QStringList& lines)
{
    if (device == nullptr || !device->isWritable())
        return QStringLiteral("the device is not open for writing");

    QByteArray bytes;
    // Readers (readTextLines too) drop a byte order mark at the start of a file; a first line that
    // begins with U+FEFF (a password may) would lose it, so a mark of its own goes before it.
    if (!lines.isEmpty() && lines.first().startsWith(QChar(0xFEFF)))
        bytes += "\xEF\xBB\xBF";
    for (const QString& line : lines) {
        if (hasLineBreak(line))
            return QStringLiteral("a line contains a line break");
        bytes += line.toUtf8();
        bytes += '\n';
    }

    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 written = device->write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return QStringLiteral("write failed: %1").arg(device->errorString());
        done += written;
    }
    return QString();
}

QString replaceTextFile(const QString& path, const QStringList& lines, QFileDevice::Permissions permissions)
{
    QByteArray content;
    QBuffer buffer(&content);
    buffer.open(QIODevice::WriteOnly);
    if (const QString error = writeLines(&buffer, lines); !error.isEmpty())
        return failure(QStringLiteral("save"), path, error);

    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray name = QFile::encodeName(path);
    const QByteArray saving = QFile::encodeName(savingPath(path));
    // A save cut short (a crash, a power cut) may have left its temporary file: this save replaces it.
    if (::unlink(saving.constData()) != 0 && errno != ENOENT)
        return failure(QStringLiteral("remove the unfinished save beside"), path, qt_error_string(errno));

    // The new content is written into a file without a name, so a save killed while writing leaves
    // nothing behind; it gets the fixed temporary name only once it is whole and on disk, just
    // before the rename. Where the file system has no unnamed files, it is written under that name.
    const mode_t mode = modeOf(permissions);
    bool unnamed = true;
    int fd = openRetrying(QFile::encodeName(folder), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        unnamed = false;
        fd = openRetrying(saving, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    }
    if (fd < 0)
        return failure(QStringLiteral("save"), path, qt_error_string(errno));

    const auto abandon = [&](const QString& what, int error) {
        if (::close(fd) != 0) {
            // The save already failed; a second error adds nothing for the caller.
        }
        if (!unnamed && ::unlink(saving.constData()) != 0) {
            // The next save removes it.
        }
        return failure(what, path, qt_error_string(error));
    };

    // Before any content, and whatever the umask, so a password never sits in a file others may read.
    if (::fchmod(fd, mode) != 0)
        return abandon(QStringLiteral("set the permissions of"), errno);
    if (const int error = writeAll(fd, content.constData(), content.size()); error != 0)
        return abandon(QStringLiteral("save"), error);
    if (::fsync(fd) != 0)
        return abandon(QStringLiteral("sync"), errno);
    if (unnamed) {
        const QByteArray handle = "/proc/self/fd/" + QByteArray::number(fd);
        if (::linkat(AT_FDCWD, handle.constData(), AT_FDCWD, saving.constData(), AT_SYMLINK_FOLLOW) != 0)
            return abandon(QStringLiteral("save"), errno);
        unnamed = false;
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(saving.constData());
        return failure(QStringLiteral("save"), path, qt_error_string(error));
    }
    if (::rename(saving.constData(), name.constData()) != 0) {
        const int error = errno;
        ::unlink(saving.constData());
        return failure(QStringLiteral("replace"), path, qt_error_string(error));
    }

    if (const int error = syncFolderError(folder); error != 0)
        return failure(QStringLiteral("sync the folder of"), path, qt_error_string(error));
    return QString();
}

QString appendLineDurably(const QString& path, const QString& line)
{
    if (hasLineBreak(line))
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
            if (::unlink(name.constData()) != 0) {
                // Nothing more to do: the error below is what the caller must see.
            }
        } else if (::ftruncate(fd, file.size) != 0) {
            // Fails harmlessly on devices such as /dev/full that cannot be truncated.
        }
        if (::close(fd) != 0) {
            // The append already failed; a second error adds nothing for the caller.
        }
        return failure(what, path, qt_error_string(error));
    };

    QByteArray bytes;
    if (const int error = tailRepair(fd, file.size, &bytes); error != 0)
        return fail(QStringLiteral("read the end of"), error);
    bytes += line.toUtf8();
    bytes += '\n';

    if (const int error = writeAll(fd, bytes.constData(), bytes.size()); error != 0)
        return fail(QStringLiteral("write to"), error);
    if (syncFileData(fd) != 0)
        return fail(QStringLiteral("sync"), errno);
    // A new file is only durable once its folder entry is.
    if (file.created) {
        if (const int error = syncFolderError(QFileInfo(path).absolutePath()); error != 0)
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
    if (::close(keeper) != 0) {
        // Only drops the lock: the line was synced and the first close reported any write error.
    }
    return QString();
}

bool syncFolder(const QString& folderPath)
{
    return syncFolderError(folderPath) == 0;
}

LineCount countCompleteLines(const QString& path)
{
    LineCount count;
    const int fd = openRetrying(QFile::encodeName(path), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        count.outcome = LineCount::Outcome::NoFile;
        return count;
    }
    if (fd < 0) {
        count.outcome = LineCount::Outcome::Unreadable;
        count.error = qt_error_string(errno);
        return count;
    }
    if (::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL) != 0) {
        // Only a hint that the kernel may read far ahead; counting works without it.
    }

    // Large blocks for few system calls. The C library's memchr finds the line breaks with vector
    // instructions whatever the compiler's optimisation; a plain loop or std::count may be five to
    // twenty times slower.
    constexpr size_t kBlock = 1024 * 1024;
    const auto block = std::make_unique_for_overwrite<char[]>(kBlock);
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, block.get(), kBlock);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        const char* at = block.get();
        const char* const end = at + got;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) != nullptr) {
            ++count.lines;
            ++at;
        }
    }
    if (::close(fd) != 0) {
        // Read-only: nothing was left to flush, and the count is complete.
    }
    if (error != 0) {
        count.outcome = LineCount::Outcome::Unreadable;
        count.lines = 0;
        count.error = qt_error_string(error);
    }
    return count;
}

} // namespace platform
