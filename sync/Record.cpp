#include "sync/Record.h"

#include "core/SignUpRecord.h"

#include <QStringDecoder>

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

QByteArray textArray(const QList<std::optional<QByteArray>>& values)
{
    QByteArray array = "{";
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            array += ',';
        if (!values[i]) {
            array += "NULL";
            continue;
        }
        array += '"';
        for (const char c : *values[i]) {
            if (c == '"' || c == '\\')
                array += '\\';
            array += c;
        }
        array += '"';
    }
    array += '}';
    return array;
}

QByteArray integerArray(const QList<std::optional<qint64>>& values)
{
    QByteArray array = "{";
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            array += ',';
        array += values[i] ? QByteArray::number(*values[i]) : QByteArrayLiteral("NULL");
    }
    array += '}';
    return array;
}

} // namespace dbsync
