#include "platform/InputRules.h"

#include "core/Text.h"

#include <limits>

namespace platform {

namespace {

bool isPrintableNonBlank(char32_t character)
{
    switch (QChar::category(character)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_NotAssigned:
    case QChar::Other_Surrogate:
        return false;
    default:
        return true;
    }
}

qsizetype maxLength(const QString& mask, int limit)
{
    qsizetype length = std::numeric_limits<qsizetype>::max();
    if (!mask.isEmpty())
        length = mask.size();
    if (limit > 0)
        length = qMin<qsizetype>(length, limit);
    return length;
}

} // namespace

// An "&" place refuses blanks (space, line and paragraph separators), control characters, unassigned
// code points and lone surrogates, and takes every other character: letters, marks, symbols, emoji and
// format characters such as the zero-width non-joiner, which Persian names need.
bool maskPlaceAccepts(QChar place, char32_t character)
{
    switch (place.unicode()) {
    case u'#':
        return character >= U'0' && character <= U'9';
    case u'&':
        return isPrintableNonBlank(character);
    default:
        return true;
    }
}

namespace {

bool accepts(const QString& mask, qsizetype place, char32_t character)
{
    return place >= mask.size() || maskPlaceAccepts(mask[place], character);
}

} // namespace

InputOutcome applyInputRules(const QString& before, const QString& after, int cursor, const QString& mask, int limit)
{
    // Find the replaced stretch: [start, before.size() - tail) of before became [start, after.size() - tail)
    // of after. Its ends never fall inside a surrogate pair: comparing UTF-16 units alone would take the
    // common half of two different characters for text that did not change.
    const qsizetype common = qMin(before.size(), after.size());
    qsizetype start = 0;
    while (start < common && before[start] == after[start])
        ++start;
    if (start > 0 && after[start - 1].isHighSurrogate())
        --start;
    qsizetype tail = 0;
    while (tail < common - start && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    if (tail > 0 && after[after.size() - tail].isLowSurrogate())
        --tail;
    // With repeated characters the stretch is ambiguous; the cursor tells where the insertion ended.
    const qsizetype insertedCount = after.size() - start - tail;
    if (insertedCount > 0 && cursor >= insertedCount && cursor <= after.size()) {
        const qsizetype atCursor = cursor - insertedCount;
        const qsizetype tailAtCursor = after.size() - cursor;
        if (atCursor < start && atCursor + tailAtCursor <= before.size()
            && QStringView(after).left(atCursor) == QStringView(before).left(atCursor)
            && QStringView(after).right(tailAtCursor) == QStringView(before).right(tailAtCursor)
            && !(atCursor > 0 && after[atCursor - 1].isHighSurrogate())
            && !(tailAtCursor > 0 && after[cursor].isLowSurrogate()))
            start = atCursor, tail = tailAtCursor;
    }
    const QString inserted = after.sliced(start, after.size() - start - tail);
    if (inserted.isEmpty())
        return {after, cursor, std::nullopt};

    const QString head = after.left(start);
    const QString behind = after.right(tail);
    const qsizetype allowed = maxLength(mask, limit);
    qsizetype length = Len(head) + Len(behind);
    qsizetype place = Len(head); // where the next accepted character goes, in characters from 0
    QString accepted;
    std::optional<InputRefusal> refusal;
    for (qsizetype i = 0; i < inserted.size();) {
        const bool pair = inserted[i].isHighSurrogate() && i + 1 < inserted.size() && inserted[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(inserted[i], inserted[i + 1]) : inserted[i].unicode();
        const QStringView character = QStringView(inserted).sliced(i, pair ? 2 : 1);
        i += character.size();
        if (QChar::isSurrogate(code) || code == U'\n' || code == U'\r' || length >= allowed)
            continue; // refused silently
        if (!accepts(mask, place, code)) {
            refusal = InputRefusal{head + accepted + character.toString() + behind, int(place) + 1, inserted.sliced(i)};
            break;
        }
        accepted += character;
        ++place;
        ++length;
    }
    return {head + accepted + behind, int(start + accepted.size()), std::move(refusal)};
}

} // namespace platform
