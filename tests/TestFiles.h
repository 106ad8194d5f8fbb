#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Files as a test sees them: their bytes, and enough of a path's state to tell whether it changed.
QByteArray readBytes(const QString& path); // "<unreadable>" when it cannot be read
bool writeBytes(const QString& path, const QByteArray& bytes);
QString describe(const QString& path);

// A strict RFC 4180 reader of a whole stream, as a spreadsheet or Python's csv module takes a file: a
// field is quoted ("" inside is one quote; commas and line breaks are part of it) or bare (no quote,
// comma or line break); a record ends at LF or CR LF outside quotes, the last one may lack it.
// Anything else (text after a closing quote, a quote never closed, a lone CR) is malformed: nullopt.
std::optional<QList<QStringList>> parseCsv(QStringView text);
