#pragma once

#include <QSize>
#include <optional>

namespace platform {

// A screen as the kiosk sees it: the pixels usable by windows.
class Screen final
{
public:
    explicit Screen(int index);

    int AvailableWidth() const { return m_available.width(); }
    int AvailableHeight() const { return m_available.height(); }

    // Seam for tests and benchmarks: pretend screen 0 offers this many pixels (nullopt: the real screen).
    static void overrideAvailableSize(std::optional<QSize> size);

private:
    QSize m_available;
};

} // namespace platform
