#pragma once

#include "platform/KeyboardReturn.h"
#include "platform/MenuHandlers.h"

#include <QColor>
#include <QWidget>
#include <optional>

class QAction;
class QVBoxLayout;

namespace platform {

class MenuBar;
class PushButton;

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
    // The first enabled, visible button in the role: &PushButton::Default or &PushButton::Cancel.
    PushButton* button(bool (PushButton::*role)() const) const;

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

} // namespace platform
