#include "sync/State.h"

#include "core/Files.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace dbsync {
namespace {

const QString kHeader = QStringLiteral("quillmore-sync 1");
constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

std::optional<SyncState> readState(const QString& path)
{
    const std::optional<QStringList> lines = platform::readTextLines(path, 8);
    if (!lines || lines->size() != 4 || lines->at(0) != kHeader)
        return std::nullopt;
    SyncState state;
    state.target = lines->at(1);
    state.fileId = lines->at(2);
    const QStringList numbers = lines->at(3).split(u' ');
    if (numbers.size() != 6)
        return std::nullopt;
    qint64* const fields[] = {&state.confirmedOffset, &state.confirmedLines, &state.asideLines,
                              &state.lastAsideLine,   &state.lastSignUp,     nullptr};
    bool ok = true;
    for (int i = 0; i < 5 && ok; ++i)
        *fields[i] = numbers[i].toLongLong(&ok);
    // The last number closes the line, so a file cut short never reads as a smaller confirmation.
    if (!ok || numbers[5] != QStringLiteral("end") || state.confirmedOffset < 0 || state.confirmedLines < 0)
        return std::nullopt;
    return state;
}

QString writeState(const QString& path, const SyncState& state)
{
    const QString numbers = QStringLiteral("%1 %2 %3 %4 %5 end")
                                .arg(state.confirmedOffset)
                                .arg(state.confirmedLines)
                                .arg(state.asideLines)
                                .arg(state.lastAsideLine)
                                .arg(state.lastSignUp);
    return platform::replaceTextFile(path, {kHeader, state.target, state.fileId, numbers}, kOwnerOnly);
}

Times readTimes(const QString& path, const QString& fileId, qint64 fromOffset)
{
    Times times;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return times;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break; // torn by a kill
        const QList<QByteArray> fields = line.trimmed().split(' ');
        bool offsetOk = false;
        bool secondsOk = false;
        // The closing dot: a line torn by a kill and ended by the next append has lost it, and its
        // number may be cut short.
        if (fields.size() != 4 || fields[3] != "." || QString::fromUtf8(fields[0]) != fileId)
            continue;
        const qint64 offset = fields[1].toLongLong(&offsetOk);
        const qint64 seconds = fields[2].toLongLong(&secondsOk);
        if (offsetOk && secondsOk && offset >= fromOffset)
            times.insert(offset, seconds);
    }
    return times;
}

QString appendTimes(const QString& path, const QString& fileId, const QList<qint64>& offsets, const Times& times)
{
    // It begins with a line break, which ends a line torn by an earlier write that did not complete.
    QByteArray bytes = "\n";
    const QByteArray id = fileId.toUtf8();
    for (const qint64 offset : offsets)
        bytes += id + ' ' + QByteArray::number(offset) + ' ' + QByteArray::number(times.value(offset)) + " .\n";
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    const int error = errno;
    ::close(fd);
    if (written != bytes.size())
        return QStringLiteral("cannot write %1: %2")
            .arg(path, written < 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("short write"));
    return {};
}

QString syncTimes(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? QString()
                               : QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    const bool synced = ::fdatasync(fd) == 0;
    const int error = errno;
    ::close(fd);
    return synced ? QString()
                  : QStringLiteral("cannot sync %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

QString clearTimes(const QString& path)
{
    if (::truncate(QFile::encodeName(path).constData(), 0) == 0 || errno == ENOENT)
        return {};
    return QStringLiteral("cannot empty %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace dbsync
