#include "app/MenuBar1.h"

namespace {

using Kind = platform::MenuItem::Kind;

struct ItemDesign
{
    const char* parent; // nullptr: the menu bar itself
    Kind kind;
    const char* name;
    const char* text;
    QKeySequence shortcut;
};

// "&" marks the mnemonic letter; "-" is a separator line. Ctrl is Cmd on a Mac.
const ItemDesign kItems[] = {
    {nullptr, Kind::Normal, "FileMenu", "&File", {}},
    {"FileMenu", Kind::Quit, "FileQuit", "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
    {nullptr, Kind::Normal, "EditMenu", "&Edit", {}},
    {"EditMenu", Kind::Normal, "EditUndo", "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z)},
    {"EditMenu", Kind::Normal, "UntitledMenu1", "-", {}},
    {"EditMenu", Kind::Normal, "EditCut", "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X)},
    {"EditMenu", Kind::Normal, "EditCopy", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C)},
    {"EditMenu", Kind::Normal, "EditPaste", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V)},
    {"EditMenu", Kind::Normal, "EditClear", "&Delete", {}},
    {"EditMenu", Kind::Normal, "UntitledMenu0", "-", {}},
    {"EditMenu", Kind::Normal, "EditSelectAll", "Select &All", QKeySequence(Qt::CTRL | Qt::Key_A)},
    {"EditMenu", Kind::Preferences, "EditPref", "Preferences", {}},
};

} // namespace

MenuBar1::MenuBar1()
{
    setObjectName(QStringLiteral("MenuBar1"));
    for (const ItemDesign& design : kItems) {
        auto* item = new platform::MenuItem(design.kind, QString::fromLatin1(design.name),
                                            QString::fromLatin1(design.text), design.shortcut, this);
        item->setAutoEnable(true);
        if (design.parent)
            this->item(QString::fromLatin1(design.parent))->append(item);
        else
            append(item);
    }
}
