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

const QStringList& standardEditCommands()
{
    static const QStringList names{QStringLiteral("EditUndo"),  QStringLiteral("EditCut"),
                                   QStringLiteral("EditCopy"),  QStringLiteral("EditPaste"),
                                   QStringLiteral("EditClear"), QStringLiteral("EditSelectAll")};
    return names;
}

} // namespace

MenuItem::MenuItem(Kind kind, const QString& name, const QString& text, const QKeySequence& shortcut,
                   QObject* parent)
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
            if (node->AutoEnable() && isStandardEditCommand(node->Name()))
                node->setEnabled(standardEditCommandApplies(node->Name()));
            update(node->children());
        }
    };
    update(topLevelItems());
}

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
    if (isStandardEditCommand(name) && standardEditCommandApplies(name))
        runStandardEditCommand(name);
}

bool isStandardEditCommand(const QString& name)
{
    return standardEditCommands().contains(name);
}

bool standardEditCommandApplies(const QString& name)
{
    QLineEdit* field = focusedTextField();
    if (!field)
        return false;
    const bool editable = !field->isReadOnly();
    const bool revealsText = field->echoMode() == QLineEdit::Normal;
    if (name == QStringLiteral("EditUndo"))
        return editable && field->isUndoAvailable();
    if (name == QStringLiteral("EditCut"))
        return editable && revealsText && field->hasSelectedText();
    if (name == QStringLiteral("EditCopy"))
        return revealsText && field->hasSelectedText();
    if (name == QStringLiteral("EditPaste")) {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return editable && data && data->hasText() && !data->text().isEmpty();
    }
    if (name == QStringLiteral("EditClear"))
        return editable && field->hasSelectedText();
    if (name == QStringLiteral("EditSelectAll"))
        return !field->text().isEmpty();
    return false;
}

void runStandardEditCommand(const QString& name)
{
    QLineEdit* field = focusedTextField();
    if (!field)
        return;
    if (name == QStringLiteral("EditUndo"))
        field->undo();
    else if (name == QStringLiteral("EditCut"))
        field->cut();
    else if (name == QStringLiteral("EditCopy"))
        field->copy();
    else if (name == QStringLiteral("EditPaste")) {
        if (auto* edit = qobject_cast<EditField*>(field))
            edit->pasteText();
        else
            field->paste();
    } else if (name == QStringLiteral("EditClear"))
        field->del();
    else if (name == QStringLiteral("EditSelectAll"))
        field->selectAll();
}

} // namespace platform
