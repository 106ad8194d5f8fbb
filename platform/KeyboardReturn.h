#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace platform {

// Where the keyboard goes when a modal window closes: back to the window that was active when it
// opened, with the focus where it was, or, should that window have closed meanwhile, to the one that
// window came from. Without a window manager (a bare X kiosk) nobody else gives it back.
class KeyboardReturn final
{
public:
    // Remembers the active window as `opening` opens (nothing when `opening` is the active one).
    void remember(const QWidget* opening);
    // Activates that window again, unless another modal window still open holds the keyboard.
    void giveBack(const QWidget* closing) const;

private:
    QList<QPointer<QWidget>> m_windows; // the active window, then the windows it came from
    QPointer<QWidget> m_focus;
};

} // namespace platform
