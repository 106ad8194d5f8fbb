#pragma once

#include <QAction>
#include <QMenuBar>

namespace platform {

// A menu item. Commands are identified by the item's Name. An item with a menu of its own is a menu
// title; the text "-" makes a separator line, which carries no text.
class MenuItem : public QAction
{
    Q_OBJECT
public:
    enum class Kind { Normal, Quit, Preferences };

    MenuItem(Kind kind, const QString& name, const QString& text, const QKeySequence& shortcut, QObject* parent);

    Kind kind() const { return m_kind; }
    QString Name() const { return objectName(); }
    QString Text() const { return text(); }
    QKeySequence KeyboardShortcut() const { return shortcut(); }
    // The framework enables and disables an AutoEnable item itself, by what it applies to.
    bool AutoEnable() const { return m_autoEnable; }
    void setAutoEnable(bool autoEnable) { m_autoEnable = autoEnable; }

    // Items appended below this one make it a menu title.
    void append(MenuItem* item);
    QList<MenuItem*> children() const;

private:
    Kind m_kind;
    bool m_autoEnable = false;
};

using QuitMenuItem = MenuItem;
using PrefsMenuItem = MenuItem;

// A menu bar: a tree of menu items. A command runs the focused window's handler for its name, else the
// application's, else the framework's own: Quit asks the application to quit, the Edit commands edit
// the focused text field.
class MenuBar : public QMenuBar
{
    Q_OBJECT
public:
    MenuBar();

    void append(MenuItem* item);
    // The item of this name anywhere in the tree, or nullptr.
    MenuItem* item(const QString& name) const;
    QList<MenuItem*> topLevelItems() const;

    // Brings the enabled state of the AutoEnable items up to date with the focused field.
    void enableItems();
};

} // namespace platform
