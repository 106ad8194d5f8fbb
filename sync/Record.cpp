#include "sync/Record.h"

#include "core/SignUpRecord.h"

#include <QStringDecoder>
#include <QtEndian>

namespace dbsync {

std::optional<RecordValues> recordValues(QByteArrayView line)
{
    RecordValues values;
    // The common case, on the bytes as they stand: what parse() reads from their string.
    static constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");
    if (!line.startsWith(kByteOrderMark) && line.isValidUtf8()) {
        const std::optional<record::RawColumns> columns = record::rawColumns(line);
        if (!columns)
            return std::nullopt;
        for (int i = 0; i < record::kColumns; ++i)
            values[size_t(i)] = record::valueOf((*columns)[size_t(i)]);
        return values;
    }

    // Otherwise by way of the string: bytes that are not UTF-8 are refused, a byte order mark skipped.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(line);
    if (utf8.hasError())
        return std::nullopt;
    // As the sign-up wrote it, which also leaves out the control characters it blanks (a NUL among them).
    const std::optional<QStringList> parsed = record::parse(text);
    if (!parsed)
        return std::nullopt;
    for (int i = 0; i < record::kColumns; ++i)
        values[size_t(i)] = parsed->at(i).toUtf8();
    return values;
}

namespace {

void put32(QByteArray* out, quint32 value)
{
    const quint32 big = qToBigEndian(value);
    out->append(reinterpret_cast<const char*>(&big), sizeof big);
}

constexpr quint32 kTextOid = 25;
constexpr quint32 kBigintOid = 20;

} // namespace

void ArrayParameter::add(QByteArrayView text)
{
    put32(&m_data, quint32(text.size()));
    m_data.append(text.data(), text.size());
    ++m_count;
}

void ArrayParameter::add(qint64 number)
{
    const quint64 big = qToBigEndian(quint64(number));
    put32(&m_data, sizeof big);
    m_data.append(reinterpret_cast<const char*>(&big), sizeof big);
    ++m_count;
}

void ArrayParameter::addNull()
{
    put32(&m_data, quint32(-1));
    m_anyNull = true;
    ++m_count;
}

QByteArray ArrayParameter::bytes() const
{
    // One dimension of m_count elements from 1 (none: no dimension), whether any is NULL, the elements'
    // type, then the elements.
    QByteArray array;
    array.reserve(20 + m_data.size());
    put32(&array, m_count == 0 ? 0 : 1);
    put32(&array, m_anyNull ? 1 : 0);
    put32(&array, m_elements == Of::Text ? kTextOid : kBigintOid);
    if (m_count > 0) {
        put32(&array, m_count);
        put32(&array, 1);
    }
    array += m_data;
    return array;
}

QByteArray textArray(const QList<std::optional<QByteArray>>& values)
{
    ArrayParameter array(ArrayParameter::Of::Text);
    for (const std::optional<QByteArray>& value : values) {
        if (value)
            array.add(QByteArrayView(*value));
        else
            array.addNull();
    }
    return array.bytes();
}

} // namespace dbsync
