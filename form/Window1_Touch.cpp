#include "form/Window1.h"

#include "core/KeyboardOffset.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/FittedText.h"
#include "platform/InputPanel.h"

#include <QApplication>

// Only an on-screen keyboard reads the hints; a real keyboard types as before. The digit masks ask
// for digits themselves (see EditField).
void Window1::followOnScreenKeyboard()
{
    EmailField->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    AOLScreenNameField->setInputMethodHints(Qt::ImhNoAutoUppercase);
    MySpaceURLField->setInputMethodHints(Qt::ImhNoAutoUppercase);

    connect(&platform::InputPanel::instance(), &platform::InputPanel::rectangleChanged, this,
            &Window1::keepFocusedFieldAboveKeyboard);
    connect(qApp, &QApplication::focusChanged, this, &Window1::keepFocusedFieldAboveKeyboard);
}

// The whole box moves, with every control in it and the notice beneath it, and the kiosk layout inside it stays as it
// is; the window clips what rises above its top. It returns to exactly where it stood.
void Window1::keepFocusedFieldAboveKeyboard()
{
    const int home = m_boxTopWithoutKeyboard.value_or(FormBox->Top());
    int offset = 0;
    auto* field = qobject_cast<platform::EditField*>(QApplication::focusWidget());
    if (field && field->window() == this) {
        const QPoint unmoved(0, home - FormBox->Top());
        const QRect fieldOnScreen(field->mapToGlobal(unmoved), field->size());
        const QRect contentOnScreen(content()->mapToGlobal(QPoint(0, 0)), content()->size());
        offset = touch::keyboardOffset(fieldOnScreen, platform::InputPanel::instance().rectangle(), contentOnScreen);
    }
    if (offset == 0) {
        if (m_boxTopWithoutKeyboard)
            moveFormBoxTo(*std::exchange(m_boxTopWithoutKeyboard, std::nullopt));
        return;
    }
    m_boxTopWithoutKeyboard = home;
    moveFormBoxTo(home - offset);
}

// The notice beneath the box, and the box to agree to it, go with it.
void Window1::moveFormBoxTo(int top)
{
    const QPoint by(0, top - FormBox->Top());
    FormBox->setTop(top);
    for (QWidget* beneath : {static_cast<QWidget*>(NoticeLabel), static_cast<QWidget*>(ConsentBox)}) {
        if (beneath)
            beneath->move(beneath->pos() + by);
    }
}
