#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace platform {

// Tells when nobody has used the application for a while: no key, pointer, wheel, touch or tablet
// event has reached any of its windows for the timeout. One for the whole application; it watches
// every window, dialogs and the message boxes included, from the moment it is made.
//
// Only input from the window system counts. Events Qt makes up itself (the pointer "moving" over a
// window that opened or closed beneath it) are no one's activity.
class ActivityWatcher final : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<std::chrono::milliseconds()>;

    explicit ActivityWatcher(QObject* parent = nullptr);
    ~ActivityWatcher() override;

    // How long without input counts as idle, from the last input; zero (the start) never does.
    std::chrono::milliseconds timeout() const { return m_timeout; }
    void setTimeout(std::chrono::milliseconds timeout);

    // How long before Idle to raise IdleSoon; zero (the start) never.
    void setWarningTime(std::chrono::milliseconds warning);

    // The seam for tests: a clock they move on themselves, and check() called as the timer would call
    // it. Setting a clock starts the count anew at its time.
    void setClock(Clock clock);
    // Raises Idle once the timeout has passed since the last input, and before it IdleSoon each time
    // the whole seconds left change within the warning time; otherwise waits for the next of these.
    // After Idle the watcher waits for the next input before it counts again.
    void check();

Q_SIGNALS:
    void Idle();
    // Idle comes in `left` (whole seconds, rounded up) unless someone uses the application.
    void IdleSoon(std::chrono::seconds left);
    // Input after IdleSoon: Idle is off, the count starts again.
    void Active();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void arm();
    void endWarning();

    Clock m_clock;
    std::chrono::milliseconds m_timeout{0};
    std::chrono::milliseconds m_lastInput{0};
    std::chrono::milliseconds m_warning{0};
    std::chrono::seconds m_warnedLeft{0}; // the last IdleSoon of this quiet spell; zero: none
    bool m_idle = false;                  // Idle raised for this quiet spell
    QTimer m_timer;
};

} // namespace platform
