#include "core/Consent.h"

#include "core/Files.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace consent {

namespace {

// quillmore.csv -> quillmore; any other name as it is.
QString stem(const QString& dataFile)
{
    return dataFile.endsWith(QStringLiteral(".csv")) ? dataFile.chopped(4) : dataFile;
}

bool isSha256(QByteArrayView hex)
{
    return hex.size() == 64
        && std::all_of(hex.begin(), hex.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// 2026-12-09T03:19:07Z, as evidenceLine writes it.
bool isTime(QByteArrayView text)
{
    static constexpr char kPattern[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != qsizetype(sizeof kPattern) - 1)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i])
            return false;
    }
    return true;
}

int writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        data += written;
        size -= written;
    }
    return 0;
}

// The notice text under its hash, whole or not at all: written under a temporary name, synced, then
// renamed. Already there: nothing to do, as a name stands for one content only. The caller holds the
// data file's lock, so no other kiosk writes the temporary name meanwhile.
QString keepNotice(const QString& dataFile, const Notice& notice)
{
    const QString path = noticeFilePath(dataFile, notice.sha256);
    if (QFileInfo::exists(path))
        return QString();
    const QByteArray name = QFile::encodeName(path);
    const QByteArray saving = name + ".saving";
    const auto failed = [&](int error) {
        ::unlink(saving.constData());
        return QStringLiteral("Could not keep the notice text %1: %2").arg(path, qt_error_string(error));
    };
    ::unlink(saving.constData()); // left by a kill: its content is written again
    const int fd = ::open(saving.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return failed(errno);
    int error = writeAll(fd, notice.bytes.constData(), notice.bytes.size());
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(saving.constData(), name.constData()) != 0)
        error = errno;
    if (error != 0)
        return failed(error);
    if (!platform::syncFolder(QFileInfo(path).absolutePath()))
        return failed(errno);
    return QString();
}

} // namespace

QString evidenceFilePath(const QString& dataFile)
{
    return stem(dataFile) + QStringLiteral("-consent.csv");
}

QString noticeFilePath(const QString& dataFile, const QByteArray& sha256)
{
    return stem(dataFile) + QStringLiteral("-notice-") + QString::fromLatin1(sha256) + QStringLiteral(".txt");
}

QByteArray lineDigest(QByteArrayView line)
{
    return QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
}

QByteArray evidenceLine(qint64 offset, const QDateTime& signedUp, const QByteArray& noticeSha256,
                        const QByteArray& lineSha256)
{
    return QByteArray::number(offset) + ',' + signedUp.toUTC().toString(u"yyyy-MM-dd'T'HH:mm:ss'Z'").toLatin1() + ','
        + noticeSha256 + ',' + lineSha256;
}

QString appendSignUp(const QString& dataFile, const QString& line, const Notice* notice, const QDateTime& signedUp)
{
    if (notice == nullptr)
        return platform::appendLineDurably(dataFile, line);
    // Evidence first: a kill after it and before the line leaves evidence that matches no line, never a
    // line made under the notice without its evidence.
    const QByteArray digest = lineDigest(line.toUtf8());
    return platform::appendLineDurably(dataFile, line, [&](qint64 offset) {
        if (const QString error = keepNotice(dataFile, *notice); !error.isEmpty())
            return error;
        const QByteArray evidence = evidenceLine(offset, signedUp, notice->sha256, digest);
        return platform::appendLineDurably(evidenceFilePath(dataFile), QString::fromLatin1(evidence));
    });
}

std::optional<EvidenceByOffset> readEvidence(const QString& dataFile, QString* error)
{
    EvidenceByOffset evidence;
    QFile file(evidenceFilePath(dataFile));
    if (!file.exists())
        return evidence;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Could not read %1: %2").arg(file.fileName(), file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Could not read %1: %2").arg(file.fileName(), file.errorString());
        return std::nullopt;
    }
    // Only complete lines: the last one may be being written.
    QList<QByteArray> lines = bytes.left(bytes.lastIndexOf('\n') + 1).split('\n');
    lines.removeLast(); // after the last line break
    evidence.reserve(size_t(lines.size()));
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() != 4 || !isSha256(fields[2]) || !isSha256(fields[3]))
            continue;
        bool number = false;
        const qint64 offset = fields[0].toLongLong(&number);
        if (!number || offset < 0 || !isTime(fields[1]))
            continue;
        evidence.push_back({offset, {fields[1], fields[2], fields[3]}});
    }
    // Already in order but after a kill; stable, so the lines of one offset keep the file's order.
    std::stable_sort(evidence.begin(), evidence.end(),
                     [](const EvidenceLine& a, const EvidenceLine& b) { return a.offset < b.offset; });
    return evidence;
}

std::optional<Evidence> evidenceFor(const EvidenceByOffset& evidence, qint64 offset, QByteArrayView line)
{
    const auto [first, last] =
        std::equal_range(evidence.cbegin(), evidence.cend(), EvidenceLine{offset, {}},
                         [](const EvidenceLine& a, const EvidenceLine& b) { return a.offset < b.offset; });
    if (first == last)
        return std::nullopt;
    const QByteArray digest = lineDigest(line);
    for (auto it = last; it != first;) {
        --it;
        if (it->evidence.lineSha256 == digest)
            return it->evidence;
    }
    return std::nullopt;
}

} // namespace consent
