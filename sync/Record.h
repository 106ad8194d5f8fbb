#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// What the sync makes of one line of the data file.
namespace dbsync {

// The 14 values of a record line (without its line break) in UTF-8, exactly as the sign-up wrote them
// (record::parse); nullopt for anything else: a line edited out of that form, a line cut short and ended
// by the next sign-up, bytes that are not UTF-8, a NUL (which no database text can hold).
using RecordValues = std::array<QByteArray, 14>;
std::optional<RecordValues> recordValues(QByteArrayView line);

// A value list in PostgreSQL's binary form of a one-dimensional array (as array_send writes it), of
// text (NULL where nullopt; valid UTF-8) or of bigint. Passed as a binary parameter, never spliced into
// a statement: the server takes the values as they are, with nothing to escape or unescape.
class ArrayParameter final
{
public:
    enum class Of { Text, Bigint };
    explicit ArrayParameter(Of elements)
        : m_elements(elements)
    {
    }
    void add(QByteArrayView text);
    void add(qint64 number);
    void addNull();
    QByteArray bytes() const;

private:
    Of m_elements;
    quint32 m_count = 0;
    bool m_anyNull = false;
    QByteArray m_data; // the elements, each its length and its bytes
};
QByteArray textArray(const QList<std::optional<QByteArray>>& values);

} // namespace dbsync
