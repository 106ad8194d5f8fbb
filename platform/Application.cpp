#include "platform/Application.h"

#include "platform/Menus.h"
#include "platform/Window.h"

#include <QAction>
#include <QApplication>
#include <QPalette>
#include <QScopedValueRollback>
#include <QSessionManager>

namespace platform {

namespace {
Application* g_current = nullptr;

// Black text on white, as every design draws it. Every role of every colour group is set, so nothing
// of a dark desktop colour scheme or of a style's own palette shows through: not in the windows, their
// fields and lists, the menus or the message boxes.
QPalette designPalette()
{
    QPalette palette(QColor(0xEF, 0xEF, 0xEF), QColor(Qt::white)); // button face, window background
    palette.setColor(QPalette::Highlight, QColor(0x30, 0x8C, 0xC6));
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(g, r, palette.brush(g, r));
        }
    }
    return palette;
}
} // namespace

Application::Application()
{
    Q_ASSERT_X(!g_current, "Application", "one application object only");
    g_current = this;
    // Closing windows never ends the program by itself; only a quit request that passes the guard does.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setPalette(designPalette());
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &Application::commitData, Qt::DirectConnection);
    m_terminate = [] { QCoreApplication::exit(0); };
}

Application::~Application()
{
    if (qApp)
        qApp->removeEventFilter(this);
    g_current = nullptr;
}

Application* Application::current()
{
    return g_current;
}

void Application::setMenuBar(MenuBar* bar)
{
    m_menuBar.reset(bar);
}

void Application::addMenuHandler(const QString& command, MenuHandlers::Handler handler)
{
    m_menuHandlers.add(command, std::move(handler));
}

std::optional<bool> Application::handleMenuCommand(const QString& command)
{
    return m_menuHandlers.run(command);
}

bool Application::requestQuit()
{
    if (m_quitting || !passesQuitGuard())
        return false;
    m_quitting = true;
    m_terminate();
    return true;
}

bool Application::passesQuitGuard()
{
    if (m_quitting)
        return true;
    // A second request while the first one is still asking (its dialog is open) is not a second way out.
    if (m_askingToQuit)
        return false;
    const QScopedValueRollback asking(m_askingToQuit, true);
    return !Event_CancelClose();
}

QAction* Application::addQuitShortcut(QWidget* window)
{
    auto* quit = new QAction(window);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, window, [] {
        if (Application* app = current())
            app->requestQuit();
    });
    window->addAction(quit);
    return quit;
}

bool Application::eventFilter(QObject* watched, QEvent* event)
{
    // The platform's own quit request (the application menu's Quit on a Mac, the dock) goes through the guard.
    if (watched == qApp && event->type() == QEvent::Quit && !m_quitting) {
        requestQuit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void Application::commitData(QSessionManager& manager)
{
    // Log-out or shut-down: the session may end only past the guard. Without interaction, refuse.
    if (!manager.allowsInteraction()) {
        manager.cancel();
        return;
    }
    const bool passes = passesQuitGuard();
    manager.release();
    if (!passes)
        manager.cancel();
}

Window* Application::start(const std::function<Window*()>& createDefaultWindow)
{
    Window* window = createDefaultWindow();
    Event_Open();
    window->open();
    return window;
}

int Application::run(const std::function<Window*()>& createDefaultWindow)
{
    start(createDefaultWindow);
    return QApplication::exec();
}

} // namespace platform
