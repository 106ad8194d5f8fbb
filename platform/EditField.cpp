#include "platform/EditField.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QValidator>

namespace platform {

// Qt runs every edit of a line edit (typing, paste, drop, undo, input methods) through its validator with
// the text as it would read afterwards. The rules compare that with the text before the edit to find the
// inserted characters, keep the accepted ones up to the first refusal and remember the refusal.
class EditField::Rules final : public QValidator
{
public:
    explicit Rules(EditField* field)
        : QValidator(field)
        , m_field(field)
    {
    }

    State validate(QString& input, int& pos) const override
    {
        EditField& f = *m_field;
        if (f.m_settingFromCode) {
            f.m_accepted = input;
            return Acceptable;
        }
        const QString& before = f.m_accepted;

        // Find the replaced stretch: [start, start + removed) of before became [start, start + inserted).
        qsizetype start = 0;
        const qsizetype common = qMin(before.size(), input.size());
        while (start < common && before[start] == input[start])
            ++start;
        qsizetype tail = 0;
        while (tail < common - start && before[before.size() - 1 - tail] == input[input.size() - 1 - tail])
            ++tail;
        // With repeated characters the stretch is ambiguous; the cursor tells where the insertion ended.
        const qsizetype insertedCount = input.size() - start - tail;
        if (insertedCount > 0 && pos >= insertedCount && pos <= input.size()) {
            const qsizetype atCursor = pos - insertedCount;
            if (atCursor < start && input.left(atCursor) == before.left(atCursor))
                start = atCursor, tail = input.size() - pos;
        }
        const QString inserted = input.mid(start, input.size() - start - tail);
        if (inserted.isEmpty())
            return f.m_accepted = input, Acceptable;

        QString result = input.left(start) + input.right(tail);
        const QString suffix = input.right(tail);
        qsizetype at = start;
        for (qsizetype i = 0; i < inserted.size(); ++i) {
            const QChar c = inserted[i];
            if (c == u'\n' || c == u'\r' || result.size() >= f.maxLength())
                continue; // refused silently
            if (!f.accepts(c, int(at))) {
                QString withCharacter = result;
                withCharacter.insert(at, c);
                f.m_pending = Refusal{withCharacter, int(at) + 1, inserted.mid(i + 1)};
                QTimer::singleShot(0, m_field, [field = m_field] { field->raisePendingRefusal(); });
                break;
            }
            result.insert(at, c);
            ++at;
        }
        input = result;
        pos = int(at);
        f.m_accepted = result;
        return Acceptable;
    }

private:
    EditField* m_field;
};

EditField::EditField(QWidget* parent)
    : Control<QLineEdit>(parent)
    , m_rules(new Rules(this))
{
    setValidator(m_rules);
}

EditField::~EditField() = default;

void EditField::setText(const QString& text)
{
    m_settingFromCode = true;
    QLineEdit::setText(text);
    m_accepted = QLineEdit::text();
    m_settingFromCode = false;
}

bool EditField::accepts(QChar c, int index) const
{
    if (m_mask.isEmpty() || index >= m_mask.size())
        return true;
    switch (m_mask[index].unicode()) {
    case u'#':
        return c >= u'0' && c <= u'9';
    case u'&':
        return c.isPrint() && !c.isSpace();
    default:
        return true;
    }
}

int EditField::maxLength() const
{
    int length = std::numeric_limits<int>::max();
    if (!m_mask.isEmpty())
        length = int(m_mask.size());
    if (m_limit > 0)
        length = qMin(length, m_limit);
    return length;
}

void EditField::raisePendingRefusal()
{
    // Each refusal may leave the rest of a paste, which may be refused again further on.
    while (m_pending) {
        const Refusal refusal = *std::exchange(m_pending, std::nullopt);
        Q_EMIT ValidationError(refusal.textWithCharacter, refusal.position);
        if (refusal.rest.isEmpty())
            return;
        // A handler that took the refused character in leaves the cursor behind it; the rest follows there.
        if (text() == refusal.textWithCharacter)
            setCursorPosition(refusal.position);
        insert(refusal.rest);
    }
}

// The refusal is raised as soon as the line edit has finished the edit that caused it, before the next
// key is handled; the queued call above is the fallback for edits that arrive by other routes.
void EditField::keyPressEvent(QKeyEvent* event)
{
    QLineEdit::keyPressEvent(event);
    raisePendingRefusal();
}

void EditField::inputMethodEvent(QInputMethodEvent* event)
{
    QLineEdit::inputMethodEvent(event);
    raisePendingRefusal();
}

void EditField::dropEvent(QDropEvent* event)
{
    QLineEdit::dropEvent(event);
    raisePendingRefusal();
}

void EditField::contextMenuEvent(QContextMenuEvent* event)
{
    QLineEdit::contextMenuEvent(event);
    raisePendingRefusal();
}

void EditField::pasteText()
{
    paste();
    raisePendingRefusal();
}

} // namespace platform
