#include "core/Consent.h"

#include "core/Files.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <openssl/evp.h>
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
    if (hex.size() != 64)
        return false;
    // Without a branch per digit: an evidence file has a million of these lines.
    bool digits = true;
    for (const char c : hex)
        digits &= (c >= '0' && c <= '9') | (c >= 'a' && c <= 'f');
    return digits;
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

// What one evidence line takes in the file, about: to reserve for a file's lines.
constexpr qint64 kLineSize = 150;

// SHA-256 by OpenSSL's libcrypto, which uses the processor's SHA instructions: an export hashes every
// line of the data file, some six times faster so than by Qt's own. Qt's serves where libcrypto fails.
std::array<uchar, 32> rawDigest(QByteArrayView line)
{
    static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    struct Context
    {
        EVP_MD_CTX* const context = EVP_MD_CTX_new();
        ~Context() { EVP_MD_CTX_free(context); }
    };
    thread_local const Context hashing;
    std::array<uchar, 32> digest;
    unsigned int size = 0;
    if (sha256 != nullptr && hashing.context != nullptr && EVP_DigestInit_ex2(hashing.context, sha256, nullptr) == 1
        && EVP_DigestUpdate(hashing.context, line.data(), size_t(line.size())) == 1
        && EVP_DigestFinal_ex(hashing.context, digest.data(), &size) == 1 && size == digest.size())
        return digest;
    const QByteArray hash = QCryptographicHash::hash(line, QCryptographicHash::Sha256);
    std::copy(hash.cbegin(), hash.cend(), digest.begin());
    return digest;
}

int hexDigit(char c)
{
    return c <= '9' ? c - '0' : c - 'a' + 10;
}

// One line of the evidence file, if it reads as its four fields; a line that does not belongs to no
// sign-up (cut short by a kill and ended by the next append).
void addEvidenceLine(EvidenceByOffset* evidence, QHash<QByteArray, quint32>* noticeAt, QByteArrayView line)
{
    std::array<QByteArrayView, 4> fields;
    qsizetype start = 0;
    for (size_t f = 0; f < fields.size(); ++f) {
        const qsizetype comma = f + 1 < fields.size() ? line.indexOf(',', start) : line.size();
        if (comma < 0)
            return;
        fields[f] = line.sliced(start, comma - start);
        start = comma + 1;
    }
    if (fields[3].contains(',') || !isSha256(fields[2]) || !isSha256(fields[3]) || !isTime(fields[1]))
        return;
    bool number = false;
    const qint64 offset = fields[0].toLongLong(&number);
    if (!number || offset < 0)
        return;
    EvidenceLine read{offset, {}, {}, 0};
    std::copy(fields[1].begin(), fields[1].end(), read.signedUp.begin());
    for (size_t i = 0; i < read.lineSha256.size(); ++i)
        read.lineSha256[i] = uchar(hexDigit(fields[3][2 * i]) << 4 | hexDigit(fields[3][2 * i + 1]));
    // Mostly one notice for many lines: the last one is looked at first.
    std::vector<QByteArray>& notices = evidence->notices;
    if (notices.empty() || QByteArrayView(notices.back()) != fields[2]) {
        const QByteArray sha256 = fields[2].toByteArray();
        const auto known = noticeAt->constFind(sha256);
        read.notice = known != noticeAt->cend() ? *known : quint32(notices.size());
        if (known == noticeAt->cend()) {
            noticeAt->insert(sha256, read.notice);
            notices.push_back(sha256);
        }
    } else {
        read.notice = quint32(notices.size() - 1);
    }
    evidence->lines.push_back(read);
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
    const std::array<uchar, 32> digest = rawDigest(line);
    return QByteArray::fromRawData(reinterpret_cast<const char*>(digest.data()), qsizetype(digest.size())).toHex();
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
    const auto failed = [&] {
        *error = QStringLiteral("Could not read %1: %2").arg(file.fileName(), file.errorString());
        return std::nullopt;
    };
    if (!file.open(QIODevice::ReadOnly))
        return failed();
    evidence.lines.reserve(size_t(file.size() / kLineSize));
    // Read a block at a time; only complete lines count, as the last one may be being written.
    constexpr qint64 kBlock = 1024 * 1024;
    QByteArray bytes;
    QHash<QByteArray, quint32> noticeAt;
    for (;;) {
        const QByteArray block = file.read(kBlock);
        if (file.error() != QFileDevice::NoError)
            return failed();
        if (block.isEmpty())
            break;
        bytes += block;
        qsizetype start = 0;
        for (qsizetype end; (end = bytes.indexOf('\n', start)) >= 0; start = end + 1)
            addEvidenceLine(&evidence, &noticeAt, QByteArrayView(bytes).sliced(start, end - start));
        bytes.remove(0, start);
    }
    // Already in order but after a kill; stable, so the lines of one offset keep the file's order.
    const auto byOffset = [](const EvidenceLine& a, const EvidenceLine& b) { return a.offset < b.offset; };
    if (!std::is_sorted(evidence.lines.begin(), evidence.lines.end(), byOffset))
        std::stable_sort(evidence.lines.begin(), evidence.lines.end(), byOffset);
    return evidence;
}

const EvidenceLine* findEvidence(const EvidenceByOffset& evidence, qint64 offset, QByteArrayView line)
{
    const auto [first, last] =
        std::equal_range(evidence.lines.cbegin(), evidence.lines.cend(), EvidenceLine{offset, {}, {}, 0},
                         [](const EvidenceLine& a, const EvidenceLine& b) { return a.offset < b.offset; });
    if (first == last)
        return nullptr;
    const std::array<uchar, 32> digest = rawDigest(line);
    for (auto it = last; it != first;) {
        --it;
        if (it->lineSha256 == digest)
            return &*it;
    }
    return nullptr;
}

Evidence evidenceOf(const EvidenceByOffset& evidence, const EvidenceLine& line)
{
    return Evidence{QByteArray(line.signedUp.data(), qsizetype(line.signedUp.size())), evidence.notices[line.notice],
                    QByteArray::fromRawData(reinterpret_cast<const char*>(line.lineSha256.data()),
                                            qsizetype(line.lineSha256.size()))
                        .toHex()};
}

std::optional<Evidence> evidenceFor(const EvidenceByOffset& evidence, qint64 offset, QByteArrayView line)
{
    const EvidenceLine* found = findEvidence(evidence, offset, line);
    if (found == nullptr)
        return std::nullopt;
    return evidenceOf(evidence, *found);
}

} // namespace consent
