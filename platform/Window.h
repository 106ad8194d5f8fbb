#pragma once

#include "platform/MenuHandlers.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QAction;
class QVBoxLayout;

namespace platform {

class MenuBar;
class PushButton;

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

// The look of a window. Width and Height are those of the content area, below the menu bar.
struct WindowDesign
{
    enum class Frame { Document, ModalDialog };

    const char* title = "";
    int width = 0;
    int height = 0;
    int minWidth = 64;
    int minHeight = 64;
    int maxWidth = 32000;
    int maxHeight = 32000;
    Frame frame = Frame::Document;
    bool visible = true; // shown as soon as it opens
    bool resizeable = false;
    bool closeButton = true;
    bool minimizeButton = true;
    bool maximizeButton = false;
    bool menuBarVisible = true;
    std::optional<QColor> backColor;
};

// A window of the framework. Subclasses build their controls in their constructor; the window then
// raises Open (Event_Open) when it opens, and shows itself when its design says it is visible.
class Window : public QWidget
{
    Q_OBJECT
public:
    explicit Window(const WindowDesign& design);
    ~Window() override;

    // The widget whose coordinates are the window's content coordinates; controls live in it.
    QWidget* content() const { return m_content; }

    void Show();      // returns at once
    void ShowModal(); // returns once the window has closed
    void Close();     // ends the window; a later reference to its class makes a new one
    void Refresh(bool eraseBackground = true);

    QString Title() const { return windowTitle(); }
    void setTitle(const QString& title) { setWindowTitle(title); }
    bool FullScreen() const { return m_fullScreen; }
    void setFullScreen(bool fullScreen);

    MenuBar* menuBar() const { return m_menuBar; }
    void setMenuBar(MenuBar* bar); // takes ownership
    // The height the menu bar takes at the top of the window, above the content: none where the
    // platform shows it outside the window (a global menu bar).
    int menuBarHeight() const;

    bool isClosed() const { return m_closed; }

    // Menu command handlers of this window, tried before the application's (see Application).
    void addMenuHandler(const QString& command, MenuHandlers::Handler handler);
    std::optional<bool> handleMenuCommand(const QString& command);

    // Raises Open, then shows the window when its design is visible. Done once, by the framework.
    void open();

    template <class T>
    T& control(const char* name) const
    {
        T* found = m_content->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT_X(found, "Window::control", name);
        return *found;
    }

Q_SIGNALS:
    void closed();

protected:
    virtual void Event_Open() {}
    virtual void Event_Resized() {}
    // The user or the window manager asks the window to close (close button, Alt+F4). The default closes it.
    virtual void closeRequested() { Close(); }

    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyDesign(const WindowDesign& design);
    void placeInMiddleOfScreen();
    void keepAboveActiveWindow();
    void showFullScreenNow();
    PushButton* defaultButton() const;
    PushButton* cancelButton() const;

    QVBoxLayout* m_layout;
    QWidget* m_content;
    MenuBar* m_menuBar = nullptr;
    QAction* m_fallbackQuit = nullptr;
    bool m_modalFrame = false;
    bool m_visibleAtOpen = true;
    bool m_fullScreen = false;
    bool m_placed = false;
    bool m_opened = false;
    bool m_closed = false;
    bool m_closingFromCode = false;
    MenuHandlers m_menuHandlers;
    KeyboardReturn m_keyboardReturn; // for a window shown modal

    friend class KeyboardReturn;
};

// One implicit instance per window class: the reference finds the open window or makes a fresh one.
template <class W>
class ImplicitInstance
{
public:
    // The open window, or a new one, which is then opened.
    static W& get()
    {
        if (!isOpen()) {
            create();
            slot()->open();
        }
        return *slot();
    }
    // A new window that has not been opened yet (the default window at start-up).
    static W& create()
    {
        slot() = new W;
        return *slot();
    }
    static bool isOpen() { return slot() && !slot()->isClosed(); }
    static W* existing() { return isOpen() ? slot().data() : nullptr; }

private:
    static QPointer<W>& slot()
    {
        static QPointer<W> window;
        return window;
    }
};

// A modal box with the text and an OK button; returns when it has been dismissed.
void MsgBox(const QString& text);

} // namespace platform
