// Text files as lines: reading the first lines of one, and writing lines to a device.
#include "core/Files.h"

#include "core/FileCalls.h"

#include <QFile>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>

namespace platform {
namespace {

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
        if (io::hasLineBreak(line))
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

} // namespace platform
