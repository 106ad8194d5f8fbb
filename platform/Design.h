#pragma once

#include "platform/Controls.h"

#include <QStringList>
#include <span>

namespace platform {

class Window;

// One control of a window's design: its kind, place and look. A window's design is a constant table of
// these, turned into controls by buildControls in table order.
struct ControlDesign
{
    enum class Kind { GroupBox, EditField, PopupMenu, StaticText, PushButton, Canvas, CheckBox, FittedText };
    enum class Align { Left, Centre, Right };

    const char* name;
    Kind kind;
    int left;
    int top;
    int width;
    int height;
    const char* text = ""; // text, caption or group box title
    FontFamily font = FontFamily::System;
    int textSize = 0; // 0: the default size
    Align align = Align::Left;
    const char* mask = "";                  // edit fields
    bool password = false;                  // edit fields: typed characters are shown as bullets
    const QStringList& (*rows)() = nullptr; // pop-up menus: the list
    bool isDefault = false;                 // push buttons: pressed by Return
    bool isCancel = false;                  // push buttons: pressed by Escape
    const char* parent = nullptr;           // the group box that frames it, if any
};

// Creates the controls of the table in the window, in order, each named by its name and placed in
// window content coordinates. Pop-up menus start on row 0, check boxes unchecked.
void buildControls(Window& window, std::span<const ControlDesign> table);

} // namespace platform
