// Replacing a whole file atomically: the settings file.
#include "core/Files.h"

#include "core/FileCalls.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using io::failure;

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

} // namespace

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

    // The new content is written under the temporary name and renamed over the file only once it is
    // whole and on disk, so the file is always the old one or the new one. A save killed meanwhile
    // leaves part of the new content under that name, owner-only at most, which nothing reads and the
    // next save removes. One way for every file system: an unnamed file (O_TMPFILE) would leave nothing
    // behind, but the folders a kiosk keeps its settings in may not have them (NFS, vfat, overlayfs
    // before Linux 6.6), and it needs the temporary name for its rename all the same.
    const mode_t mode = modeOf(permissions);
    const int fd = io::openRetrying(saving, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return failure(QStringLiteral("save"), path, qt_error_string(errno));

    const auto abandon = [&](const QString& what, int error) {
        io::closeQuietly(fd);
        io::removeQuietly(saving);
        return failure(what, path, qt_error_string(error));
    };

    // Before any content, and whatever the umask, so a password never sits in a file others may read.
    if (::fchmod(fd, mode) != 0)
        return abandon(QStringLiteral("set the permissions of"), errno);
    if (const int error = io::writeAll(fd, content.constData(), content.size()); error != 0)
        return abandon(QStringLiteral("save"), error);
    if (::fsync(fd) != 0)
        return abandon(QStringLiteral("sync"), errno);
    if (::close(fd) != 0) {
        const int error = errno;
        io::removeQuietly(saving);
        return failure(QStringLiteral("save"), path, qt_error_string(error));
    }
    if (::rename(saving.constData(), name.constData()) != 0) {
        const int error = errno;
        io::removeQuietly(saving);
        return failure(QStringLiteral("replace"), path, qt_error_string(error));
    }

    if (const int error = io::syncFolderError(folder); error != 0)
        return failure(QStringLiteral("sync the folder of"), path, qt_error_string(error));
    return QString();
}

} // namespace platform
