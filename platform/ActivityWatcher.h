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

    // The seam for tests: a clock they move on themselves, and check() called as the timer would call
    // it. Setting a clock starts the count anew at its time.
    void setClock(Clock clock);
    // Raises Idle once the timeout has passed since the last input; otherwise waits for the rest.
    // After Idle the watcher waits for the next input before it counts again.
    void check();

Q_SIGNALS:
    void Idle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void arm();

    Clock m_clock;
    std::chrono::milliseconds m_timeout{0};
    std::chrono::milliseconds m_lastInput{0};
    bool m_idle = false; // Idle raised for this quiet spell
    QTimer m_timer;
};

} // namespace platform
