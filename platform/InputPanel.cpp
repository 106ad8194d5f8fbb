#include "platform/InputPanel.h"

#include "platform/EditField.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QPointer>
#include <QWindow>

// The keyboard layouts compiled into the program (see selectOnScreenKeyboard).
static void registerKeyboardLayouts()
{
    Q_INIT_RESOURCE(keyboard);
}

namespace platform {

namespace {

// A touch reaches widgets as the mouse press and release Qt makes of it.
class TouchFollower final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease) || !watched->isWidgetType())
            return false;
        // The keyboard's own window is no widget: touching its keys leaves it as it is.
        auto* field = qobject_cast<EditField*>(watched);
        const bool takesText = field && field->isEnabled() && !field->isReadOnly();
        if (type == QEvent::MouseButtonPress && !takesText)
            QGuiApplication::inputMethod()->hide();
        // Qt shows the keyboard only for a touch on a field that already had the focus; a visitor
        // expects it at the first touch.
        if (type == QEvent::MouseButtonRelease && takesText && field->hasFocus())
            QGuiApplication::inputMethod()->show();
        return false;
    }
};

// While a modal window is open Qt refuses input to every other window of the program, the keyboard's
// too: the keyboard then belongs to the modal window, so the operator can type the password with it.
void keepKeyboardAboveModalWindow()
{
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        // The keyboard's window is the program's only Qt Quick window.
        if (window->inherits("QQuickWindow"))
            window->setTransientParent(QGuiApplication::modalWindow());
    }
}

} // namespace

void InputPanel::selectOnScreenKeyboard()
{
    qputenv("QT_IM_MODULE", "qtvirtualkeyboard");
    // Without OpenGL (no graphics driver, a virtual machine) Qt Quick would end the program as the
    // keyboard first opens. The keyboard draws little: the software renderer keeps up on any machine.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    // Our own layouts: Qt 6.4's English ones squeeze the shift, symbol, comma and enter keys to slivers
    // on screens 1024 and 1280 pixels wide, and keep the hide key in the comma's menu.
    registerKeyboardLayouts();
    if (qEnvironmentVariableIsEmpty("QT_VIRTUALKEYBOARD_LAYOUT_PATH"))
        qputenv("QT_VIRTUALKEYBOARD_LAYOUT_PATH", "qrc:/keyboard");
}

void InputPanel::followTouches()
{
    qApp->installEventFilter(new TouchFollower(qApp));
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, qApp, &keepKeyboardAboveModalWindow);
    QObject::connect(QGuiApplication::inputMethod(), &QInputMethod::visibleChanged, qApp,
                     &keepKeyboardAboveModalWindow);
}

InputPanel& InputPanel::instance()
{
    static QPointer<InputPanel> panel;
    if (!panel)
        panel = new InputPanel;
    return *panel;
}

InputPanel::InputPanel()
    : QObject(qApp)
{
    QInputMethod* method = QGuiApplication::inputMethod();
    connect(method, &QInputMethod::visibleChanged, this, &InputPanel::rectangleChanged);
    connect(method, &QInputMethod::keyboardRectangleChanged, this, &InputPanel::rectangleChanged);
}

QRect InputPanel::rectangle() const
{
    if (m_override)
        return *m_override;
    const QInputMethod* method = QGuiApplication::inputMethod();
    return method->isVisible() ? method->keyboardRectangle().toAlignedRect() : QRect();
}

void InputPanel::overrideRectangle(std::optional<QRect> rectangle)
{
    m_override = rectangle;
    Q_EMIT rectangleChanged();
}

} // namespace platform
