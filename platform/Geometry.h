#pragma once

#include <QRect>

class QWidget;

namespace platform {

// Geometry in window content coordinates (below the menu bar), whatever the widget's parent is:
// controls framed by a group box are its children, so moving the box carries them along.
QRect geometryInWindow(const QWidget* widget);
void setGeometryInWindow(QWidget* widget, const QRect& rect);

} // namespace platform
