#pragma once

#include <QRect>

// How far the form moves up while an on-screen keyboard shows, so the field being typed into stays
// visible above it. Computed from rectangles alone, so it can be checked without a window.
namespace touch {

// The room left between the field and the keyboard's top edge.
inline constexpr int kMargin = 8;

// All three in screen coordinates: the field where it stands with the form unmoved, the keyboard
// (empty while hidden), and the part of the window the form shows in. 0 when the keyboard leaves the
// field and the margin below it uncovered; else just enough to clear them, but never so far that the
// field's top leaves the window.
int keyboardOffset(const QRect& field, const QRect& keyboard, const QRect& window);

} // namespace touch
