#pragma once

namespace platform {

// The program's windows made for fingers instead of a mouse, from here on and in every window: no
// pointer, and pop-up lists whose rows are a finger high and scroll by a flick, a tap choosing a row.
// The closed controls keep their designed size. Needs the application object.
void adaptToTouchScreen();

// The least height of a row of an open pop-up list on a touch screen: a fingertip's.
inline constexpr int kTouchRowHeight = 40;

} // namespace platform
