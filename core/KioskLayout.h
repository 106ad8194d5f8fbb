#pragma once

#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

// The full-screen kiosk layout: a 450 x 600 block centred on what the visitor sees of the screen's
// available area, below the window's menu bar, every text at 18 points. Computed from those sizes
// alone, so it can be checked without a window.
namespace kiosk {

// Where one control goes, in window content coordinates. What is not given stays as it is.
struct Placement
{
    const char* name;
    int top;
    std::optional<int> left;
    std::optional<int> width;
    std::optional<int> height;
    int textSize = 0; // 0: left as it is
};

// The box and the places of the controls in it.
struct Arrangement
{
    QRect box;                       // FormBox
    std::vector<Placement> controls; // the other controls, in the order they are placed
};

// Centred, never clamped: a screen smaller than the box leaves it overhanging the edges. The menu bar
// sits in the window above the content, so the box is centred in the height below it.
Arrangement layoutFor(QSize available, int menuBarHeight);

} // namespace kiosk
