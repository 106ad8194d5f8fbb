#include "sync/Record.h"

#include "core/SignUpRecord.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>

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

namespace {

void put32(QByteArray* out, quint32 value)
{
    const quint32 big = qToBigEndian(value);
    out->append(reinterpret_cast<const char*>(&big), sizeof big);
}

// The header: one dimension of `count` elements from 1 (none: no dimension), whether any is NULL, and the
// element type's OID.
template <typename Value>
QByteArray arrayHeader(const QList<std::optional<Value>>& values, quint32 elementType, qsizetype bytes)
{
    QByteArray array;
    array.reserve(20 + bytes);
    const bool anyNull = std::any_of(values.begin(), values.end(), [](const auto& v) { return !v; });
    put32(&array, values.isEmpty() ? 0 : 1);
    put32(&array, anyNull ? 1 : 0);
    put32(&array, elementType);
    if (!values.isEmpty()) {
        put32(&array, quint32(values.size()));
        put32(&array, 1);
    }
    return array;
}

constexpr quint32 kTextOid = 25;
constexpr quint32 kBigintOid = 20;

} // namespace

QByteArray textArray(const QList<std::optional<QByteArray>>& values)
{
    qsizetype bytes = 0;
    for (const std::optional<QByteArray>& value : values)
        bytes += 4 + (value ? value->size() : 0);
    QByteArray array = arrayHeader(values, kTextOid, bytes);
    for (const std::optional<QByteArray>& value : values) {
        put32(&array, value ? quint32(value->size()) : quint32(-1));
        if (value)
            array += *value;
    }
    return array;
}

QByteArray integerArray(const QList<std::optional<qint64>>& values)
{
    QByteArray array = arrayHeader(values, kBigintOid, values.size() * 12);
    for (const std::optional<qint64>& value : values) {
        put32(&array, value ? 8 : quint32(-1));
        if (value) {
            const quint64 big = qToBigEndian(quint64(*value));
            array.append(reinterpret_cast<const char*>(&big), sizeof big);
        }
    }
    return array;
}

} // namespace dbsync
