#pragma once

#include "platform/MenuHandlers.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QSessionManager;
class QWidget;

namespace platform {

class MenuBar;
class Window;

// The application object of the framework: the application-level events and menu handlers, the
// application's menu bar, and the one route for quitting.
class Application : public QObject
{
    Q_OBJECT
public:
    // From here on every window shows the designs' black text on white, whatever the desktop's colours.
    Application();
    ~Application() override;

    static Application* current();

    // The application's menu bar: the global menu bar where the platform has one, else kept unseen.
    MenuBar* menuBar() const { return m_menuBar.get(); }
    void setMenuBar(MenuBar* bar); // takes ownership

    void addMenuHandler(const QString& command, MenuHandlers::Handler handler);
    std::optional<bool> handleMenuCommand(const QString& command);

    // Every request to quit ends here: File > Quit and its shortcut, closing the main window, the
    // platform's own quit requests. Raises CancelClose; the program ends only when that returns false.
    // Returns true when the quit goes ahead.
    bool requestQuit();
    // The quit shortcut as a route to requestQuit, for a window without a menu bar of its own. The
    // window owns the action.
    static QAction* addQuitShortcut(QWidget* window);

    // What ending the program means; tests replace it. By default it ends every event loop.
    void setTerminate(std::function<void()> terminate) { m_terminate = std::move(terminate); }

    // Start-up: the default window is created, the application's Open is raised, then the window's,
    // then the event loop runs until a quit request passes.
    int run(const std::function<Window*()>& createDefaultWindow);
    // The same start-up without running the loop (tests run it themselves).
    Window* start(const std::function<Window*()>& createDefaultWindow);

protected:
    virtual void Event_Open() {}
    // True refuses the quit.
    virtual bool Event_CancelClose() { return false; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The guard every way out passes, the quit request and the session's log-out alike: raises
    // CancelClose and gives true when the program may end. A quit already under way has passed it.
    bool passesQuitGuard();
    void commitData(QSessionManager& manager);

    std::unique_ptr<MenuBar> m_menuBar;
    MenuHandlers m_menuHandlers;
    std::function<void()> m_terminate;
    bool m_askingToQuit = false;
    bool m_quitting = false;
};

} // namespace platform
