#pragma once

class QWidget;

// Where the framework's windows go on the screen. A window manager or compositor places windows
// itself; without one (a bare X kiosk) nobody does, so these do what it would, and with one they ask
// for what it gives anyway.
namespace platform {

// The window a new modal window belongs to and is placed over: the active window, or right after
// another modal window closed (none active yet), the modal window still open, else a visible window.
QWidget* windowToStayAbove(const QWidget* newcomer);

// Moves the window to the middle of the screen the visitor is looking at: the one of the window it
// interrupts, else the primary screen.
void placeInMiddleOfScreen(QWidget& window);

// A modal window belongs to the window it interrupts, so that it stays above that one.
void keepAboveInterruptedWindow(QWidget& window);

// Shows the window full screen, covering the whole of its screen.
void showCoveringScreen(QWidget& window);

} // namespace platform
