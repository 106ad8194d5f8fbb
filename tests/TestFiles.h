#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include <sys/resource.h>

// Files as a test sees them: their bytes, and enough of a path's state to tell whether it changed.
QByteArray readBytes(const QString& path); // "<unreadable>" when it cannot be read
// Replaces the file with the bytes as they are, making its folder first when it is missing.
bool writeBytes(const QString& path, const QByteArray& bytes);
QString describe(const QString& path);

// Caps how large this process may make a file while it lives, so a write fails halfway on an ordinary
// file even when the tests run as root. The signal the cap raises is ignored meanwhile: the write fails
// instead of ending the test.
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
    bool m_active = false;
};

// A strict RFC 4180 reader of a whole stream, as a spreadsheet or Python's csv module takes a file: a
// field is quoted ("" inside is one quote; commas and line breaks are part of it) or bare (no quote,
// comma or line break); a record ends at LF or CR LF outside quotes, the last one may lack it.
// Anything else (text after a closing quote, a quote never closed, a lone CR) is malformed: nullopt.
std::optional<QList<QStringList>> parseCsv(QStringView text);
