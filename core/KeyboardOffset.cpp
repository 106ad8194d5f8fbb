#include "core/KeyboardOffset.h"

#include <algorithm>

namespace touch {

int keyboardOffset(const QRect& field, const QRect& keyboard, const QRect& window)
{
    const QRect fieldAndMargin = field.adjusted(0, 0, 0, kMargin);
    if (keyboard.isEmpty() || !fieldAndMargin.intersects(keyboard))
        return 0;
    // Moving up helps only where the keyboard leaves room above it in the window.
    if (keyboard.top() <= window.top())
        return 0;
    const int needed = field.y() + field.height() + kMargin - keyboard.y();
    const int room = field.y() - window.y();
    return std::clamp(needed, 0, std::max(room, 0));
}

} // namespace touch
