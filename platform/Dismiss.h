#pragma once

#include <functional>

class QObject;

namespace platform {

// Ending what someone left open, the way they would have ended it themselves.

// Closes the pop-up lists and menus that are open, as a touch outside them would.
void closePopups();

// Presses OK in every message box (MsgBox) still open; a box of choices closes with none chosen. `then` runs once the
// caller of each box has gone on from it as after that OK and returned to the event loop, so nothing ends a window
// whose handler is still running beneath the box; at once when no box is open. Not at all should `context` go first.
void dismissMsgBoxes(QObject* context, std::function<void()> then);

} // namespace platform
