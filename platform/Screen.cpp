#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

namespace {
std::optional<QSize>& availableSizeOverride()
{
    static std::optional<QSize> size;
    return size;
}
} // namespace

Screen::Screen(int index)
{
    if (index == 0 && availableSizeOverride()) {
        m_available = *availableSizeOverride();
        return;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* screen = index == 0 ? QGuiApplication::primaryScreen() : screens.value(index);
    if (screen)
        m_available = screen->availableGeometry().size();
}

void Screen::overrideAvailableSize(std::optional<QSize> size)
{
    availableSizeOverride() = size;
}

} // namespace platform
