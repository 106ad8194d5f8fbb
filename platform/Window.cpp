#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Menus.h"
#include "platform/Placement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace platform {

namespace {

// The window system's flags for a design: a title bar always, and the buttons the design asks for (a
// modal dialog never minimises).
Qt::WindowFlags windowFlagsFor(const WindowDesign& design)
{
    const bool modal = design.frame == WindowDesign::Frame::ModalDialog;
    Qt::WindowFlags flags = (modal ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (design.closeButton)
        flags |= Qt::WindowCloseButtonHint;
    if (design.minimizeButton && !modal)
        flags |= Qt::WindowMinimizeButtonHint;
    if (design.maximizeButton)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

} // namespace

Window::Window(const WindowDesign& design)
    : QWidget(nullptr)
    , m_layout(new QVBoxLayout(this))
    , m_content(new QWidget(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_content, 1);
    m_content->setObjectName(QStringLiteral("content"));
    applyDesign(design);
}

Window::~Window() = default;

void Window::applyDesign(const WindowDesign& design)
{
    setWindowTitle(QString::fromUtf8(design.title));
    m_modalFrame = design.frame == WindowDesign::Frame::ModalDialog;
    m_visibleAtOpen = design.visible;

    setWindowFlags(windowFlagsFor(design));

    if (design.resizeable) {
        setMinimumSize(design.minWidth, design.minHeight);
        setMaximumSize(design.maxWidth, design.maxHeight);
    }
    m_content->setFixedSize(design.width, design.height);
    resize(design.width, design.height);
    if (design.resizeable) {
        // The content keeps its design size until the window is laid out anew; it may then grow.
        m_content->setMinimumSize(0, 0);
        m_content->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        m_layout->setSizeConstraint(QLayout::SetFixedSize);
    }

    if (design.backColor) {
        QPalette palette = m_content->palette();
        palette.setColor(QPalette::Window, *design.backColor);
        m_content->setPalette(palette);
        m_content->setAutoFillBackground(true);
    }

    // A window that shows the menu bar answers the quit shortcut even without a bar of its own (the
    // thank-you window), so the shortcut reaches the quit guard from every window a visitor faces.
    if (design.menuBarVisible && !m_modalFrame)
        m_fallbackQuit = Application::addQuitShortcut(this);
}

void Window::setMenuBar(MenuBar* bar)
{
    delete m_menuBar;
    m_menuBar = bar;
    if (m_fallbackQuit) {
        // The menu bar brings its own Quit item and shortcut.
        removeAction(m_fallbackQuit);
    }
    if (bar) {
        bar->setParent(this);
        m_layout->setMenuBar(bar);
        const QSize contentSize = m_content->size();
        resize(contentSize.width(), contentSize.height() + menuBarHeight());
    }
}

int Window::menuBarHeight() const
{
    if (!m_menuBar || m_menuBar->isNativeMenuBar())
        return 0;
    // The height the window's layout gives the bar.
    return qBound(m_menuBar->minimumHeight(), m_menuBar->sizeHint().height(), m_menuBar->maximumHeight());
}

void Window::open()
{
    if (m_opened)
        return;
    m_opened = true;
    Event_Open();
    if (m_visibleAtOpen && !m_closed)
        Show();
}

void Window::Show()
{
    if (m_closed)
        return;
    if (m_modalFrame)
        setWindowModality(Qt::ApplicationModal);
    if (windowModality() != Qt::NonModal && !isVisible())
        m_keyboardReturn.remember(this);
    if (m_fullScreen) {
        showCoveringScreen(*this);
    } else {
        if (!m_placed) {
            m_placed = true;
            placeInMiddleOfScreen(*this);
        }
        if (windowModality() != Qt::NonModal)
            keepAboveInterruptedWindow(*this);
        show();
    }
    raise();
    activateWindow();
}

void Window::ShowModal()
{
    if (m_closed)
        return;
    QPointer<Window> self(this);
    QEventLoop loop;
    connect(this, &Window::closed, &loop, &QEventLoop::quit);
    // A window that is already showing becomes modal only once it is shown anew.
    if (isVisible() && windowModality() != Qt::ApplicationModal)
        hide();
    setWindowModality(Qt::ApplicationModal);
    Show();
    if (self && !self->m_closed)
        loop.exec(QEventLoop::DialogExec);
}

void Window::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    {
        const QScopedValueRollback fromCode(m_closingFromCode, true);
        close();
    }
    m_keyboardReturn.giveBack(this);
    Q_EMIT closed();
    deleteLater();
}

void Window::Refresh(bool eraseBackground)
{
    Q_UNUSED(eraseBackground); // Qt always paints the background of an opaque widget
    update();
    m_content->update();
}

void Window::setFullScreen(bool fullScreen)
{
    m_fullScreen = fullScreen;
    if (!isVisible())
        return;
    if (fullScreen)
        showCoveringScreen(*this);
    else
        showNormal();
}

void Window::addMenuHandler(const QString& command, MenuHandlers::Handler handler)
{
    m_menuHandlers.add(command, std::move(handler));
}

std::optional<bool> Window::handleMenuCommand(const QString& command)
{
    return m_menuHandlers.run(command);
}

void Window::closeEvent(QCloseEvent* event)
{
    if (m_closingFromCode) {
        event->accept();
        return;
    }
    // A request from outside: the window decides in closeRequested, and closes itself through Close.
    event->ignore();
    closeRequested();
}

void Window::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_opened)
        Event_Resized();
}

PushButton* Window::button(bool (PushButton::*role)() const) const
{
    for (PushButton* button : m_content->findChildren<PushButton*>()) {
        if ((button->*role)() && button->isEnabled() && button->isVisible())
            return button;
    }
    return nullptr;
}

void Window::keyPressEvent(QKeyEvent* event)
{
    const bool plain = !(event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        auto* focused = qobject_cast<PushButton*>(focusWidget());
        if (PushButton* button = focused ? focused : this->button(&PushButton::Default)) {
            button->click();
            return;
        }
    }
    if (plain && event->key() == Qt::Key_Escape) {
        if (PushButton* button = this->button(&PushButton::Cancel)) {
            button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

} // namespace platform
