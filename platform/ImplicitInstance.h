#pragma once

#include <QPointer>

namespace platform {

// One implicit instance per window class: the reference finds the open window or makes a fresh one.
template <class W>
class ImplicitInstance
{
public:
    // The open window, or a new one, which is then opened.
    static W& get()
    {
        if (!isOpen()) {
            create();
            slot()->open();
        }
        return *slot();
    }
    // A new window that has not been opened yet (the default window at start-up).
    static W& create()
    {
        slot() = new W;
        return *slot();
    }
    static bool isOpen() { return slot() && !slot()->isClosed(); }
    static W* existing() { return isOpen() ? slot().data() : nullptr; }

private:
    static QPointer<W>& slot()
    {
        static QPointer<W> window;
        return window;
    }
};

} // namespace platform
