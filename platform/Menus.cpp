#include "platform/Menus.h"

#include "platform/Application.h"
#include "platform/EditField.h"
#include "platform/Window.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>

namespace platform {

namespace {

const QString kSeparatorText = QStringLiteral("-");

QLineEdit* focusedTextField()
{
    return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

bool revealsText(const QLineEdit& field)
{
    return field.echoMode() == QLineEdit::Normal;
}

bool clipboardHasText()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText() && !data->text().isEmpty();
}

void paste(QLineEdit& field)
{
    // Paste goes through the edit field's input rules like a typed key.
    if (auto* edit = qobject_cast<EditField*>(&field))
        edit->pasteText();
    else
        field.paste();
}

// The standard editing commands, by item name, acting on the text field that has the focus: when each
// applies (a password is never cut or copied out), and what it does.
struct EditCommand
{
    const char* name;
    bool (*applies)(const QLineEdit& field);
    void (*run)(QLineEdit& field);
};

const EditCommand kEditCommands[] = {
    {"EditUndo", [](const QLineEdit& f) { return !f.isReadOnly() && f.isUndoAvailable(); },
     [](QLineEdit& f) { f.undo(); }},
    {"EditCut", [](const QLineEdit& f) { return !f.isReadOnly() && revealsText(f) && f.hasSelectedText(); },
     [](QLineEdit& f) { f.cut(); }},
    {"EditCopy", [](const QLineEdit& f) { return revealsText(f) && f.hasSelectedText(); },
     [](QLineEdit& f) { f.copy(); }},
    {"EditPaste", [](const QLineEdit& f) { return !f.isReadOnly() && clipboardHasText(); }, paste},
    {"EditClear", [](const QLineEdit& f) { return !f.isReadOnly() && f.hasSelectedText(); },
     [](QLineEdit& f) { f.del(); }},
    {"EditSelectAll", [](const QLineEdit& f) { return !f.text().isEmpty(); }, [](QLineEdit& f) { f.selectAll(); }},
};

const EditCommand* editCommand(const QString& name)
{
    for (const EditCommand& command : kEditCommands) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

// Whether the edit command applies to the focused field; false without one.
bool applies(const EditCommand& command)
{
    const QLineEdit* field = focusedTextField();
    return field && command.applies(*field);
}

// Runs the command of a chosen item (see MenuBar).
void runMenuCommand(MenuItem* item)
{
    const QString name = item->Name();
    if (auto* window = qobject_cast<Window*>(QApplication::activeWindow())) {
        if (window->handleMenuCommand(name).value_or(false))
            return;
    }
    Application* app = Application::current();
    if (app && app->handleMenuCommand(name).value_or(false))
        return;
    if (item->kind() == MenuItem::Kind::Quit) {
        if (app)
            app->requestQuit();
        return;
    }
    if (const EditCommand* command = editCommand(name); command && applies(*command))
        command->run(*focusedTextField());
}

} // namespace

MenuItem::MenuItem(Kind kind, const QString& name, const QString& text, const QKeySequence& shortcut, QObject* parent)
    : QAction(text == kSeparatorText ? QString() : text, parent)
    , m_kind(kind)
{
    setObjectName(name);
    setShortcut(shortcut);
    // Some styles draw a separator's text beside its line, so the "-" that asks for one is not kept.
    setSeparator(text == kSeparatorText);
    connect(this, &QAction::triggered, this, [this] { runMenuCommand(this); });
    if (kind == Kind::Quit)
        setMenuRole(QAction::QuitRole);
    else if (kind == Kind::Preferences)
        setMenuRole(QAction::PreferencesRole);
    else
        setMenuRole(QAction::NoRole);
}

void MenuItem::append(MenuItem* item)
{
    auto* submenu = menu<QMenu*>();
    if (!submenu) {
        submenu = new QMenu(text());
        submenu->setObjectName(objectName());
        connect(submenu, &QMenu::aboutToShow, this, [this] {
            if (auto* bar = qobject_cast<MenuBar*>(parent()))
                bar->enableItems();
        });
        setMenu(submenu);
        connect(this, &QObject::destroyed, submenu, &QObject::deleteLater);
    }
    item->setParent(submenu);
    submenu->addAction(item);
}

QList<MenuItem*> MenuItem::children() const
{
    QList<MenuItem*> items;
    if (auto* submenu = menu<QMenu*>()) {
        for (QAction* action : submenu->actions()) {
            if (auto* item = qobject_cast<MenuItem*>(action))
                items.append(item);
        }
    }
    return items;
}

MenuBar::MenuBar()
    : QMenuBar(nullptr)
{
    connect(qApp, &QApplication::focusChanged, this, &MenuBar::enableItems);
}

void MenuBar::append(MenuItem* item)
{
    item->setParent(this);
    addAction(item);
    enableItems();
}

MenuItem* MenuBar::item(const QString& name) const
{
    std::function<MenuItem*(const QList<MenuItem*>&)> find = [&](const QList<MenuItem*>& items) -> MenuItem* {
        for (MenuItem* node : items) {
            if (node->Name() == name)
                return node;
            if (MenuItem* found = find(node->children()))
                return found;
        }
        return nullptr;
    };
    return find(topLevelItems());
}

QList<MenuItem*> MenuBar::topLevelItems() const
{
    QList<MenuItem*> items;
    for (QAction* action : actions()) {
        if (auto* item = qobject_cast<MenuItem*>(action))
            items.append(item);
    }
    return items;
}

void MenuBar::enableItems()
{
    std::function<void(const QList<MenuItem*>&)> update = [&](const QList<MenuItem*>& items) {
        for (MenuItem* node : items) {
            if (const EditCommand* command = editCommand(node->Name()); command && node->AutoEnable())
                node->setEnabled(applies(*command));
            update(node->children());
        }
    };
    update(topLevelItems());
}

} // namespace platform
