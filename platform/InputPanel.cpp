#include "platform/InputPanel.h"

#include "platform/EditField.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLibraryInfo>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <utility>

// The keyboard layouts compiled into the program (see selectOnScreenKeyboard).
static void registerKeyboardLayouts()
{
    Q_INIT_RESOURCE(keyboard);
}

namespace platform {

namespace {

// The keyboard's window, which Qt makes at the first focus on a field. When its QML did not load (an
// error in a file, a module that is there but broken) it is an empty window over the whole screen that
// takes every touch: such a keyboard is never shown, and the form goes on for a real keyboard.
bool keyboardFailedToLoad()
{
    static bool reported = false;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        // 3: QQuickView::Error; the program does not link Qt Quick, the keyboard's plugin does.
        if (!window->inherits("QQuickView") || window->property("status").toInt() != 3)
            continue;
        window->hide();
        if (!std::exchange(reported, true))
            qWarning("No on-screen keyboard: its QML did not load (see above); the kiosk goes on without it");
        return true;
    }
    return false;
}

// A touch reaches widgets as the mouse press and release Qt makes of it.
class TouchFollower final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        // Qt's own request to show the keyboard, for a touch on a field that has the focus.
        if (type == QEvent::RequestSoftwareInputPanel)
            return keyboardFailedToLoad();
        if ((type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease) || !watched->isWidgetType())
            return false;
        // The keyboard's own window is no widget: touching its keys leaves it as it is.
        auto* field = qobject_cast<EditField*>(watched);
        const bool takesText = field && field->isEnabled() && !field->isReadOnly();
        if (type == QEvent::MouseButtonPress && !takesText)
            QGuiApplication::inputMethod()->hide();
        // Qt shows the keyboard only for a touch on a field that already had the focus; a visitor
        // expects it at the first touch.
        if (type == QEvent::MouseButtonRelease && takesText && field->hasFocus() && !keyboardFailedToLoad())
            QGuiApplication::inputMethod()->show();
        return false;
    }
};

// While a modal window is open Qt refuses input to every other window of the program, the keyboard's
// too: the keyboard then belongs to the modal window, so the operator can type the password with it.
void keepKeyboardAboveModalWindow()
{
    if (keyboardFailedToLoad())
        return;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        // The keyboard's window is the program's only Qt Quick window.
        if (window->inherits("QQuickWindow"))
            window->setTransientParent(QGuiApplication::modalWindow());
    }
}

} // namespace

namespace {

// What the keyboard loads, and the Debian package that brings each part.
struct KeyboardPart
{
    const char* name;
    const char* path; // in the plugin or QML folder
    const char* package;
};

constexpr KeyboardPart kKeyboardPlugin = {"libqtvirtualkeyboardplugin.so",
                                          "platforminputcontexts/libqtvirtualkeyboardplugin.so",
                                          "qt6-virtualkeyboard-plugin"};
// Our layouts and the keyboard's own QML import these (the last three by the keyboard's own files,
// on the first show).
constexpr KeyboardPart kKeyboardModules[] = {
    {"QtQuick.VirtualKeyboard", "QtQuick/VirtualKeyboard/qmldir", "qml6-module-qtquick-virtualkeyboard"},
    {"QtQuick.VirtualKeyboard.Components", "QtQuick/VirtualKeyboard/Components/qmldir",
     "qml6-module-qtquick-virtualkeyboard"},
    {"QtQuick.VirtualKeyboard.Plugins", "QtQuick/VirtualKeyboard/Plugins/qmldir",
     "qml6-module-qtquick-virtualkeyboard"},
    {"QtQuick.Layouts", "QtQuick/Layouts/qmldir", "qml6-module-qtquick-layouts"},
    {"QtQuick.Window", "QtQuick/Window/qmldir", "qml6-module-qtquick-window"},
    {"QtQml.WorkerScript", "QtQml/WorkerScript/qmldir", "qml6-module-qtqml-workerscript"},
    {"Qt.labs.folderlistmodel", "Qt/labs/folderlistmodel/qmldir", "qml6-module-qt-labs-folderlistmodel"},
};

bool inAny(const QStringList& folders, const char* path)
{
    return std::any_of(folders.cbegin(), folders.cend(), [path](const QString& folder) {
        return !folder.isEmpty() && QFileInfo(QDir(folder).filePath(QLatin1StringView(path))).isFile();
    });
}

// A list of folders from the environment, as Qt reads it.
QStringList foldersFrom(const char* variable)
{
    return qEnvironmentVariable(variable).split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

} // namespace

QString InputPanel::missingKeyboardParts()
{
    return missingKeyboardParts(foldersFrom("QT_PLUGIN_PATH") << QLibraryInfo::path(QLibraryInfo::PluginsPath),
                                foldersFrom("QML_IMPORT_PATH") << foldersFrom("QML2_IMPORT_PATH")
                                                               << QLibraryInfo::path(QLibraryInfo::QmlImportsPath));
}

QString InputPanel::missingKeyboardParts(const QStringList& pluginFolders, const QStringList& qmlFolders)
{
    if (!inAny(pluginFolders, kKeyboardPlugin.path))
        return QStringLiteral("the plugin %1 is not installed (Debian package %2)")
            .arg(QLatin1StringView(kKeyboardPlugin.name), QLatin1StringView(kKeyboardPlugin.package));
    QStringList modules;
    QStringList packages;
    for (const KeyboardPart& module : kKeyboardModules) {
        if (inAny(qmlFolders, module.path))
            continue;
        modules << QLatin1StringView(module.name);
        if (!packages.contains(QLatin1StringView(module.package)))
            packages << QLatin1StringView(module.package);
    }
    if (modules.isEmpty())
        return {};
    const bool one = modules.size() == 1;
    return QStringLiteral("%1 %2 %3 not installed (Debian %4 %5)")
        .arg(one ? QStringLiteral("module") : QStringLiteral("modules"), modules.join(QStringLiteral(", ")),
             one ? QStringLiteral("is") : QStringLiteral("are"),
             packages.size() == 1 ? QStringLiteral("package") : QStringLiteral("packages"),
             packages.join(QStringLiteral(" ")));
}

QString InputPanel::selectOnScreenKeyboard()
{
    // Checked once, here: the keyboard would otherwise fail at the first touch of a field.
    const QString missing = missingKeyboardParts();
    if (!missing.isEmpty()) {
        qWarning("No on-screen keyboard: %s", qUtf8Printable(missing));
        if (qgetenv("QT_IM_MODULE") == "qtvirtualkeyboard")
            qunsetenv("QT_IM_MODULE");
        return missing;
    }
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
    return {};
}

bool InputPanel::failedToLoad()
{
    return keyboardFailedToLoad();
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
