#pragma once

#include "platform/Controls.h"

#include <QLineEdit>
#include <QVector>

namespace platform {

// A one-line text field with the framework's input rules.
//
// Mask: "#" takes one digit 0-9, "&" one printable character other than the blank; any other mask
// character takes anything. A mask of N places takes at most N characters; an empty mask takes anything.
// LimitText N > 0 caps the length. A character the mask refuses leaves the text unchanged and raises
// ValidationError with the text as it would read with that character inserted at the cursor, and the
// character's position counted from 1. A character beyond the length allowed is refused silently, and a
// line break never enters the field. Typed, pasted and dropped text all go through these rules, one
// character after the other. Setting Text from code is not filtered.
class EditField final : public Control<QLineEdit>
{
    Q_OBJECT
public:
    explicit EditField(QWidget* parent);
    ~EditField() override;

    QString Text() const { return text(); }
    void setText(const QString& text);

    QString Mask() const { return m_mask; }
    void setMask(const QString& mask) { m_mask = mask; }
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

    // What a refused character leaves to do once the line edit has finished its own edit: raise
    // ValidationError, then go on with the characters that followed it.
    struct Refusal
    {
        QString textWithCharacter;
        int position = 0; // from 1
        QString rest;
    };

    bool accepts(QChar c, int index) const;
    int maxLength() const;
    void raisePendingRefusal();

    Rules* m_rules;
    QString m_mask;
    int m_limit = 0;
    QString m_accepted;       // the text as of the last accepted edit
    bool m_settingFromCode = false;
    std::optional<Refusal> m_pending;
};

} // namespace platform
