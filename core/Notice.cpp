#include "core/Notice.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringDecoder>

namespace consent {

namespace {

// A notice is a few paragraphs; a larger file is the wrong file.
constexpr qint64 kMaxBytes = 1024 * 1024;

NoticeFile refused(const QString& why)
{
    return {std::nullopt, why};
}

// The first run of lines that hold more than blanks.
QString firstParagraph(const QString& text)
{
    QStringList lines;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const QString words = line.toString().simplified();
        if (words.isEmpty() && !lines.isEmpty())
            break;
        if (!words.isEmpty())
            lines << words;
    }
    return lines.join(u' ');
}

} // namespace

NoticeFile noticeFromBytes(const QByteArray& bytes)
{
    if (bytes.size() > kMaxBytes)
        return refused(QStringLiteral("it is larger than %1 KiB, too long for a notice").arg(kMaxBytes / 1024));
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return refused(QStringLiteral("it is not UTF-8 text"));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');

    Notice notice;
    notice.shortNotice = firstParagraph(text);
    if (notice.shortNotice.isEmpty())
        return refused(QStringLiteral("it holds no text"));
    notice.bytes = bytes;
    notice.text = text.trimmed();
    notice.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    return {std::move(notice), QString()};
}

NoticeFile readNotice(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return refused(QStringLiteral("there is no such file"));
    if (!file.open(QIODevice::ReadOnly))
        return refused(file.errorString());
    // One byte more than allowed tells a file that is too large without reading all of it.
    const QByteArray bytes = file.read(kMaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refused(file.errorString());
    return noticeFromBytes(bytes);
}

} // namespace consent
