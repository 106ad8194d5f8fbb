#pragma once

#include "platform/Menus.h"

// The menu bar: File > Quit; Edit > Undo, Cut, Copy, Paste, Delete, Select All, Preferences.
// Each construction builds a fresh, complete tree.
class MenuBar1 final : public platform::MenuBar
{
    Q_OBJECT
public:
    MenuBar1();
};
