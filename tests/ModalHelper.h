#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

// Drives a modal window from a test. A modal window runs its own event loop, so the test arms a
// WhenModal on its stack before the call that opens the window; the action then runs inside that loop,
// once a modal window that was not already open is the active window, so keys sent to it arrive.
//
// The guard acts at most once and disarms when it goes out of scope: an action never outlives the
// test function or data row that armed it. Should a check inside the action fail, the window is
// closed, so the loop showing it ends and the test fails instead of hanging.
//
// Each modal window goes to one guard. A guard armed inside another guard's action comes first (it
// waits for a window that action opens); guards armed side by side take the windows in arming order.
class WhenModal final
{
public:
    using Action = std::function<void(QWidget* modal)>;

    explicit WhenModal(Action act);
    ~WhenModal();
    WhenModal(const WhenModal&) = delete;
    WhenModal& operator=(const WhenModal&) = delete;

    // The action has run, or is running.
    bool acted() const { return m_state != State::Armed; }

private:
    enum class State { Armed, Acting, Done };

    void poll();
    bool wants(const QWidget* modal) const;
    void act(QWidget* modal);
    void disarm();

    Action m_act;
    QPointer<QWidget> m_before; // the modal window already open when armed: not this guard's
    int m_depth = 0;            // how many actions were running when armed
    State m_state = State::Armed;
    QTimer m_poll;
    QPointer<QWidget> m_waitingFor; // a window this guard is waiting on to become active
    QElapsedTimer m_waiting;

    friend void endModalWindows();
};

// Disarms any guard still armed and closes every modal window still open.
void endModalWindows();

// For each suite's cleanup(), so nothing a test function opened reaches the next one: ends the modal
// windows (endModalWindows), then closes every window of the framework still open, whatever its class,
// and lets Qt delete them.
void closeAllWindows();

// Closes a modal window whatever its kind, so the loop that shows it ends.
void closeModal(QWidget* modal);

// The common case, for a WhenModal: the window is a message box; its text is stored in *text and OK
// pressed.
WhenModal::Action answerMessageBox(QString* text);
