#include "core/FileCalls.h"

#include "core/Files.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace platform::io {

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

QString failure(const QString& what, const QString& path, const QString& why)
{
    return QStringLiteral("Could not %1 %2: %3").arg(what, path, why);
}

int openRetrying(const QByteArray& name, int flags, mode_t mode)
{
    int fd;
    do {
        fd = ::open(name.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

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

void closeQuietly(int fd)
{
    if (::close(fd) != 0) {
        // See the header: nothing the caller could act on.
    }
}

void removeQuietly(const QByteArray& name)
{
    if (::unlink(name.constData()) != 0) {
        // See the header: the next run of the job removes it.
    }
}

} // namespace platform::io

namespace platform {

bool syncFolder(const QString& folderPath)
{
    return io::syncFolderError(folderPath) == 0;
}

} // namespace platform
