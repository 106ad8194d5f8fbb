#include "platform/ActivityWatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QInputMethodEvent>

#include <algorithm>
#include <limits>

namespace platform {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

milliseconds steadyNow()
{
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

bool isInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return event->spontaneous();
    case QEvent::InputMethod: {
        // An input method (an on-screen keyboard, a compose window) hands over its text in these,
        // sent by Qt itself, instead of key events.
        const auto* text = static_cast<const QInputMethodEvent*>(event);
        return !text->commitString().isEmpty() || !text->preeditString().isEmpty();
    }
    default:
        return false;
    }
}

} // namespace

ActivityWatcher::ActivityWatcher(QObject* parent)
    : QObject(parent)
    , m_clock(steadyNow)
    , m_lastInput(steadyNow())
{
    Q_ASSERT_X(QCoreApplication::instance(), "ActivityWatcher", "made after the application object");
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ActivityWatcher::check);
    QCoreApplication::instance()->installEventFilter(this);
}

ActivityWatcher::~ActivityWatcher()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

void ActivityWatcher::setTimeout(milliseconds timeout)
{
    m_timeout = std::max(timeout, 0ms);
    m_idle = false;
    endWarning();
    arm();
}

void ActivityWatcher::setWarningTime(milliseconds warning)
{
    m_warning = std::max(warning, 0ms);
    endWarning();
    arm();
}

void ActivityWatcher::setClock(Clock clock)
{
    m_clock = std::move(clock);
    m_lastInput = m_clock();
    m_idle = false;
    endWarning();
    arm();
}

void ActivityWatcher::check()
{
    if (m_timeout <= 0ms || m_idle)
        return;
    const milliseconds left = m_timeout - (m_clock() - m_lastInput);
    if (left <= 0ms) {
        m_idle = true;
        m_warnedLeft = 0s;
        Q_EMIT Idle();
        return;
    }
    if (left <= m_warning) {
        const auto shown = std::chrono::ceil<seconds>(left);
        if (shown != m_warnedLeft) {
            m_warnedLeft = shown;
            Q_EMIT IdleSoon(shown);
        }
    }
    arm();
}

void ActivityWatcher::arm()
{
    if (m_timeout <= 0ms || m_idle) {
        m_timer.stop();
        return;
    }
    // Wakes for the next thing to say: the warning's start, its next second, or Idle.
    const milliseconds left = m_timeout - (m_clock() - m_lastInput);
    milliseconds wait = left;
    if (left > m_warning)
        wait = left - m_warning;
    else if (m_warning > 0ms)
        wait = left - (std::chrono::ceil<seconds>(left) - 1s);
    // The timer counts in int milliseconds: a longer wait ends in check(), which waits for the rest.
    m_timer.start(std::clamp(wait, 1ms, milliseconds(std::numeric_limits<int>::max())));
}

void ActivityWatcher::endWarning()
{
    if (m_warnedLeft == 0s)
        return;
    m_warnedLeft = 0s;
    Q_EMIT Active();
}

bool ActivityWatcher::eventFilter(QObject* watched, QEvent* event)
{
    // Called for every event of the application: only remember the time; the timer, running since the
    // last input, looks at it when it fires.
    if (isInput(event)) {
        m_lastInput = m_clock();
        m_idle = false;
        endWarning();
        if (!m_timer.isActive())
            arm();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace platform
