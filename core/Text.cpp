#include "core/Text.h"

#include <cmath>
#include <limits>

namespace platform {

double Val(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    qsizetype digits = i - digitsStart;
    if (i < n && text[i] == u'.') {
        const qsizetype fractionStart = ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        digits += i - fractionStart;
    }
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

namespace {

// The UTF-16 index `characters` characters after index `from`, at most the end of the text.
qsizetype advance(const QString& text, qsizetype from, qsizetype characters)
{
    qsizetype i = from;
    for (; characters > 0 && i < text.size(); --characters)
        i += text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
    return i;
}

} // namespace

qsizetype Len(const QString& text)
{
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); i = advance(text, i, 1))
        ++characters;
    return characters;
}

QString Mid(const QString& text, qsizetype start, qsizetype length)
{
    const qsizetype from = advance(text, 0, qMax<qsizetype>(start, 1) - 1);
    return text.sliced(from, advance(text, from, length) - from);
}

qsizetype unitIndex(const QString& text, qsizetype characters)
{
    return advance(text, 0, characters);
}

int StrComp(const QString& a, const QString& b, int mode)
{
    const int result = QString::compare(a, b, mode == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

qint32 toInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (value <= static_cast<double>(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(value); // truncates toward zero
}

} // namespace platform
