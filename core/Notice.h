#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The privacy notice an organiser writes (--privacy FILE): plain UTF-8 text whose first paragraph is the
// short notice the form shows, the whole of it being what a touch on that short notice opens.
namespace consent {

struct Notice
{
    QByteArray bytes;    // the file exactly as read: what is kept beside the data file and hashed
    QString text;        // the whole text, line breaks as LF
    QString shortNotice; // the first paragraph, its lines joined by blanks
    QByteArray sha256;   // of bytes, 64 lower-case hex digits: which text a visitor was shown
};

// What reading a notice file gave: the notice, or why there is none (a short English text).
struct NoticeFile
{
    std::optional<Notice> notice;
    QString error;
};

// A file that is missing, unreadable, not UTF-8, larger than a notice can sensibly be, or holds
// nothing but blanks, gives no notice.
NoticeFile readNotice(const QString& path);

// The same rules on bytes already read.
NoticeFile noticeFromBytes(const QByteArray& bytes);

} // namespace consent
