#include "platform/Placement.h"

#include "platform/Window.h"

#include <QApplication>
#include <QScreen>
#include <QWindow>

namespace platform {

// Right after a modal window closes none may be active yet (on Wayland the compositor activates the
// next one a moment later): then the modal window still open, else the application's visible window.
QWidget* windowToStayAbove(const QWidget* newcomer)
{
    const auto candidate = [newcomer](QWidget* widget) {
        return widget && widget != newcomer && widget->isVisible() && widget->windowHandle();
    };
    if (QWidget* active = QApplication::activeWindow(); candidate(active))
        return active;
    if (QWidget* modal = QApplication::activeModalWidget(); candidate(modal))
        return modal;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (candidate(widget) && qobject_cast<Window*>(widget))
            return widget;
    }
    return nullptr;
}

// Where no window manager places windows, a new window would sit in the top-left corner.
void placeInMiddleOfScreen(QWidget& window)
{
    QWidget* interrupted = windowToStayAbove(&window);
    QScreen* target = interrupted ? interrupted->screen() : QGuiApplication::primaryScreen();
    if (!target)
        return;
    QRect frame(QPoint(0, 0), window.size());
    frame.moveCenter(target->availableGeometry().center());
    window.move(frame.topLeft());
}

// A window manager then keeps it above that one, also above a full-screen kiosk form, and a Wayland
// kiosk compositor (cage) centres it there instead of stretching it over the screen from the top-left
// corner.
void keepAboveInterruptedWindow(QWidget& window)
{
    QWidget* interrupted = windowToStayAbove(&window);
    if (!interrupted)
        return;
    window.winId(); // makes its window-system window, whose transient parent is set below
    if (QWindow* handle = window.windowHandle())
        handle->setTransientParent(interrupted->windowHandle());
}

void showCoveringScreen(QWidget& window)
{
    // Without a window manager nobody honours the full-screen request: cover the screen ourselves.
    // With one, this is the geometry it gives the window anyway.
    if (QScreen* target = window.screen())
        window.setGeometry(target->geometry());
    window.showFullScreen();
}

} // namespace platform
