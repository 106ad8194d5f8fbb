#include "sync/Record.h"

#include "core/SignUpRecord.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <utility>

namespace dbsync {

std::optional<QStringList> recordValues(QByteArrayView line)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(line);
    if (utf8.hasError())
        return std::nullopt;

    // As the sign-up wrote it, which also leaves out the control characters it blanks (a NUL among them).
    return record::parse(text);
}

void TextArray::separate()
{
    if (m_array.size() > 1)
        m_array += ',';
}

void TextArray::append(QByteArrayView value)
{
    separate();
    m_array += '"';
    // The runs between the characters to escape go in whole.
    qsizetype from = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '"' || value[i] == '\\') {
            m_array.append(value.sliced(from, i - from));
            m_array += '\\';
            from = i;
        }
    }
    m_array.append(value.sliced(from));
    m_array += '"';
}

void TextArray::append(QStringView value)
{
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    m_utf8.resize(utf8.requiredSpace(value.size()));
    const char* end = utf8.appendToBuffer(m_utf8.data(), value);
    append(QByteArrayView(m_utf8.constData(), end - m_utf8.constData()));
}

void TextArray::appendNull()
{
    separate();
    m_array += "NULL";
}

QByteArray TextArray::take()
{
    m_array += '}';
    QByteArray array = std::exchange(m_array, QByteArrayLiteral("{"));
    return array;
}

void IntegerArray::separate()
{
    if (m_array.size() > 1)
        m_array += ',';
}

void IntegerArray::append(qint64 value)
{
    separate();
    char digits[24];
    char* end = digits + sizeof digits;
    char* at = end;
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--at = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--at = '-';
    m_array.append(at, end - at);
}

void IntegerArray::appendNull()
{
    separate();
    m_array += "NULL";
}

QByteArray IntegerArray::take()
{
    m_array += '}';
    QByteArray array = std::exchange(m_array, QByteArrayLiteral("{"));
    return array;
}

QByteArray textArray(const QList<std::optional<QByteArray>>& values)
{
    TextArray array;
    for (const std::optional<QByteArray>& value : values) {
        if (value)
            array.append(QByteArrayView(*value));
        else
            array.appendNull();
    }
    return array.take();
}

QByteArray integerArray(const QList<std::optional<qint64>>& values)
{
    IntegerArray array;
    for (const std::optional<qint64>& value : values) {
        if (value)
            array.append(*value);
        else
            array.appendNull();
    }
    return array.take();
}

} // namespace dbsync
