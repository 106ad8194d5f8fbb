#include "platform/EditField.h"

#include "core/Text.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QTimer>
#include <QValidator>

#include <algorithm>

namespace platform {

// Qt runs every edit of a line edit (typing, paste, drop, undo, input methods) through its validator with
// the text as it would read afterwards. The validator applies the input rules to the edit and keeps the
// refusal, if any, to be raised once the line edit has finished.
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
        InputOutcome outcome = applyInputRules(f.m_accepted, input, pos, f.m_mask, f.m_limit);
        if (outcome.refusal) {
            f.m_pending = std::move(outcome.refusal);
            QTimer::singleShot(0, m_field, [field = m_field] { field->raisePendingRefusal(); });
        }
        input = outcome.text;
        pos = outcome.cursor;
        f.m_accepted = input;
        return Acceptable;
    }

private:
    EditField* m_field;
};

EditField::EditField(QWidget* parent)
    : Control<QLineEdit>(parent)
    , m_rules(new Rules(this))
{
    setMaxLength(kMaxLength);
    setValidator(m_rules);
}

EditField::~EditField() = default;

void EditField::setText(const QString& text)
{
    const QScopedValueRollback fromCode(m_settingFromCode, true);
    QLineEdit::setText(text);
    m_accepted = QLineEdit::text();
}

void EditField::setMask(const QString& mask)
{
    m_mask = mask;
    const bool digitsOnly = !mask.isEmpty() && std::all_of(mask.begin(), mask.end(), [](QChar c) { return c == u'#'; });
    setInputMethodHints(digitsOnly ? inputMethodHints() | Qt::ImhDigitsOnly : inputMethodHints() & ~Qt::ImhDigitsOnly);
}

void EditField::raisePendingRefusal()
{
    // Each refusal may leave the rest of a paste, which may be refused again further on.
    while (m_pending) {
        const InputRefusal refusal = *std::exchange(m_pending, std::nullopt);
        Q_EMIT ValidationError(refusal.textWithCharacter, refusal.position);
        if (refusal.rest.isEmpty())
            return;
        // A handler that took the refused character in leaves the cursor behind it; the rest follows there.
        if (text() == refusal.textWithCharacter)
            setCursorPosition(int(unitIndex(refusal.textWithCharacter, refusal.position)));
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
