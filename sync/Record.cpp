#include "sync/Record.h"

#include <QStringDecoder>

namespace dbsync {

std::optional<QStringList> recordValues(QByteArrayView line)
{
    if (line.contains('\0'))
        return std::nullopt;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(line);
    if (utf8.hasError())
        return std::nullopt;

    // Each value: a quote, the value with its quotes doubled, a quote, a comma.
    QStringList values;
    qsizetype at = 0;
    while (at < text.size()) {
        if (text[at] != u'"')
            return std::nullopt;
        QString value;
        for (++at;; ++at) {
            if (at >= text.size())
                return std::nullopt;
            if (text[at] != u'"') {
                value += text[at];
                continue;
            }
            if (at + 1 < text.size() && text[at + 1] == u'"') {
                value += u'"';
                ++at;
                continue;
            }
            break;
        }
        if (at + 1 >= text.size() || text[at + 1] != u',')
            return std::nullopt;
        at += 2;
        values << value;
    }
    if (values.size() != 14)
        return std::nullopt;
    return values;
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
