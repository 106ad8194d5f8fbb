#include "platform/KeyboardReturn.h"

#include "platform/Window.h"

#include <QApplication>

namespace platform {

void KeyboardReturn::remember(const QWidget* opening)
{
    m_windows.clear();
    m_focus = nullptr;
    QWidget* active = QApplication::activeWindow();
    if (!active || active == opening)
        return;
    m_windows.append(active);
    m_focus = active->focusWidget();
    if (auto* window = qobject_cast<Window*>(active))
        m_windows += window->m_keyboardReturn.m_windows;
}

void KeyboardReturn::giveBack(const QWidget* closing) const
{
    QWidget* target = nullptr;
    for (const QPointer<QWidget>& candidate : m_windows) {
        auto* window = qobject_cast<Window*>(candidate.data());
        if (candidate && candidate != closing && candidate->isVisible() && !(window && window->isClosed())) {
            target = candidate;
            break;
        }
    }
    if (!target)
        return;
    // A modal window opened over one that then closed beneath it (the lock over the thank-you window)
    // keeps the keyboard; the window beneath gets it once that one closes too.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != target)
        return;
    target->raise();
    target->activateWindow();
    if (target == m_windows.first() && m_focus && m_focus->window() == target && m_focus->isVisible()
        && m_focus->isEnabled())
        m_focus->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace platform
