#include "platform/Geometry.h"

#include "platform/Window.h"

namespace platform {

namespace {

// The widget whose coordinates are window content coordinates: the content area of the window.
const QWidget* contentOf(const QWidget* widget)
{
    for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (const auto* window = qobject_cast<const Window*>(w))
            return window->content();
    }
    return nullptr;
}

QPoint parentOrigin(const QWidget* widget)
{
    const QWidget* content = contentOf(widget);
    const QWidget* parent = widget->parentWidget();
    if (!content || !parent || parent == content)
        return {};
    return parent->mapTo(content, QPoint(0, 0));
}

} // namespace

QRect geometryInWindow(const QWidget* widget)
{
    return widget->geometry().translated(parentOrigin(widget));
}

void setGeometryInWindow(QWidget* widget, const QRect& rect)
{
    widget->setGeometry(rect.translated(-parentOrigin(widget)));
}

} // namespace platform
