#pragma once

class QWidget;

namespace platform {

// Font families the designs name. "System" is the platform's user-interface font; "Verdana" is
// Verdana where installed, else whatever the font configuration offers as its closest match.
enum class FontFamily { System, Verdana };

// The text font and size of a control of any kind, kept with the control: what its design gave it, or
// what was set since (the kiosk layout sets every control's size through these). A control that was
// never given one has the system font at size 0.
//
// Text sizes are in points of the 72-dpi screen the designs were drawn for: one point is one pixel.
// Size 0 is the default size: the largest that fits a line of text into a 12-pixel box, the smallest
// text box of any design, so every designed control shows its text unclipped.
FontFamily textFont(const QWidget* control);
int textSize(const QWidget* control);
void setTextFont(QWidget* control, FontFamily family);
void setTextSize(QWidget* control, int size);

} // namespace platform
