#pragma once

#include "app/CommandLine.h"
#include "platform/Application.h"

#include <QPixmap>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>

namespace platform {
class ActivityWatcher;
class Notice;
} // namespace platform
namespace dbsync {
class Engine;
} // namespace dbsync

// The application object: the state the windows share, the application's Open, the quit guard and
// the Preferences command. Exactly one exists; every window reaches it through App::instance().
class App final : public platform::Application
{
    Q_OBJECT
public:
    App();
    ~App() override;

    static App& instance();

    // The settings, read at start and changed only when the Preferences window saves.
    QString Password;
    bool fullScreenmark = false;
    qint32 DefaultCountryIndex = 0;

    // The options the kiosk was started with.
    CommandLine commandLine;
    // With --touch: why the kiosk runs without its on-screen keyboard; empty when it has one.
    QString onScreenKeyboardMissing;

    // The request the password dialog is serving (one of password::kGetPrefs, kQuit, kConfirm below)
    // and its verdict.
    QString PasswordAction;
    bool PasswordGood = false;

    // The Preferences command.
    bool EditPref_Action();

    // Watches every window for input; its time is set at start, from the command line.
    platform::ActivityWatcher& activityWatcher() const { return *m_activity; }
    // Nobody has used the kiosk for that time: back to the starting state for the next visitor.
    void IdleReset();
    // The reset comes in `left` seconds: a notice says so over the form, or over Preferences when they
    // are open, while the reset would change anything. Any input ends it (IdleWarningOver).
    void IdleWarning(std::chrono::seconds left);
    void IdleWarningOver();
    // Whether IdleReset, now, would close, cancel or clear anything.
    bool IdleResetWouldChange() const;

    // The sync to the database of --sync-to, running from the application's Open; null without it.
    const dbsync::Engine* sync() const { return m_sync.get(); }

protected:
    void Event_Open() override;
    bool Event_CancelClose() override;

private:
    void startIdleReset();
    void startSync();

    platform::ActivityWatcher* m_activity;
    QPointer<platform::Notice> m_idleNotice;
    std::unique_ptr<dbsync::Engine> m_sync;
};

// The requests the password dialog serves: the values of App::PasswordAction.
namespace password {
inline const QString kGetPrefs = QStringLiteral("GetPrefs"); // the Preferences command
inline const QString kQuit = QStringLiteral("quit");         // the quit guard
inline const QString kConfirm = QStringLiteral("Confirm");   // a changed password, typed a second time
} // namespace password

// The kiosk's logo, picture resource 168: loaded on first use and kept for the life of the program.
const QPixmap& logo();
