#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// What the sync makes of one line of the data file.
namespace dbsync {

// The 14 values of a record line (without its line break), exactly as the sign-up wrote them
// (record::parse); nullopt for anything else: a line edited out of that form, a line cut short and ended
// by the next sign-up, bytes that are not UTF-8, a NUL (which no database text can hold).
std::optional<QStringList> recordValues(QByteArrayView line);

// A value list in PostgreSQL's binary form of a one-dimensional array (as array_send writes it), of
// text (NULL where nullopt; valid UTF-8) or of bigint. Passed as a binary parameter, never spliced into
// a statement: the server takes the values as they are, with nothing to escape or unescape.
QByteArray textArray(const QList<std::optional<QByteArray>>& values);
QByteArray integerArray(const QList<std::optional<qint64>>& values);

} // namespace dbsync
