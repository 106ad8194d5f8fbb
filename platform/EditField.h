#pragma once

#include "platform/Controls.h"
#include "platform/InputRules.h"

#include <QLineEdit>
#include <QVector>

namespace platform {

// A one-line text field with the framework's input rules (see InputRules.h): masks and LimitText
// count characters as typed, a character is never split. A character the mask refuses leaves the text
// unchanged and raises ValidationError with the text as it would read with that character inserted at
// the cursor, and the character's position counted in characters from 1. Typed, pasted and dropped
// text all go through these rules, one character after the other. Setting Text from code is not filtered.
class EditField final : public Control<QLineEdit>
{
    Q_OBJECT
public:
    // The most a field holds, in UTF-16 units and so at most that many characters: the line edit's
    // own cap. Whatever stores a field's text must make room for this much.
    static constexpr int kMaxLength = 32767;

    explicit EditField(QWidget* parent);
    ~EditField() override;

    QString Text() const { return text(); }
    void setText(const QString& text);

    QString Mask() const { return m_mask; }
    // A mask of digit places only also asks an on-screen keyboard for its digits.
    void setMask(const QString& mask);
    int LimitText() const { return m_limit; }
    void setLimitText(int limit) { m_limit = limit; }

    void setPassword(bool password) { setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal); }

    // Edit commands of the menu bar. Paste goes through the input rules like a typed key.
    void pasteText();

Q_SIGNALS:
    void ValidationError(const QString& text, int position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class Rules;
    friend class Rules;

    void raisePendingRefusal();

    Rules* m_rules;
    QString m_mask;
    int m_limit = 0;
    QString m_accepted; // the text as of the last accepted edit
    bool m_settingFromCode = false;
    std::optional<InputRefusal> m_pending; // raised once the line edit has finished its edit
};

} // namespace platform
