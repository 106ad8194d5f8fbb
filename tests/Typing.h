#pragma once

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QWidget>

// Types the text one character at a time, as a keyboard or an input method delivers it: one key press
// per character, a character outside the Basic Multilingual Plane whole in one press. (QTest::keyClicks
// sends UTF-16 units one by one and garbles anything outside Latin-1.)
inline void typeCharacters(QWidget* widget, const QString& text)
{
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype size = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        if (text[i].unicode() < 0x80)
            QTest::keyClick(widget, char(text[i].unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, size), Qt::NoModifier);
        i += size;
    }
}

// Types the text as an on-screen keyboard does: one input-method commit per character, without a key
// event, and without letting the event loop run between characters.
inline void commitCharacters(QWidget* widget, const QString& text)
{
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype size = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        QInputMethodEvent commit;
        commit.setCommitString(text.mid(i, size));
        QApplication::sendEvent(widget, &commit);
        i += size;
    }
}
