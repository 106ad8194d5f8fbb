#include "app/App.h"

#include "form/NoticeWindow.h"
#include "form/ThanksWindow.h"
#include "form/Window1.h"
#include "platform/ActivityWatcher.h"
#include "platform/Dismiss.h"
#include "platform/Fonts.h"
#include "platform/MsgBox.h"
#include "platform/Notice.h"
#include "settings/PasswordDialog.h"
#include "settings/PreferencesWindow.h"

#include <QApplication>
#include <QMessageBox>

using namespace std::chrono_literals;

namespace {

// How long a kiosk standing alone waits for its visitor to come back.
constexpr std::chrono::seconds kKioskIdleTime = 120s;
// How long before the reset the visitor is warned: this, or a third of a shorter idle time.
constexpr std::chrono::seconds kWarningTime = 15s;

bool msgBoxOpen()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(window) && window->isVisible() && window->objectName() == platform::kMsgBoxName)
            return true;
    }
    return false;
}

QString secondsText(std::chrono::seconds left)
{
    return left == 1s ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(left.count());
}

} // namespace

void App::startIdleReset()
{
    const std::chrono::milliseconds idleTime = commandLine.idleReset.value_or(kKioskIdleTime);
    m_activity->setTimeout(idleTime);
    m_activity->setWarningTime(std::min<std::chrono::milliseconds>(kWarningTime, idleTime / 3));
}

bool App::IdleResetWouldChange() const
{
    if (!commandLine.idleReset && !fullScreenmark)
        return false;
    // The thank-you window closes by itself soon enough, and clears the form as it does.
    if (platform::ImplicitInstance<ThanksWindow>::isOpen())
        return false;
    if (msgBoxOpen() || platform::ImplicitInstance<PasswordDialog>::isOpen()
        || platform::ImplicitInstance<PreferencesWindow>::isOpen())
        return true;
    const Window1* form = platform::ImplicitInstance<Window1>::existing();
    return form && !form->WindowDataIsReset();
}

// Over the window the reset would end, or the form it would clear; in the form's text size.
void App::IdleWarning(std::chrono::seconds left)
{
    if (!IdleResetWouldChange()) {
        IdleWarningOver();
        return;
    }
    PreferencesWindow* prefs = platform::ImplicitInstance<PreferencesWindow>::existing();
    Window1* form = platform::ImplicitInstance<Window1>::existing();
    platform::Window* over = prefs && prefs->isVisible() ? static_cast<platform::Window*>(prefs) : form;
    if (!over)
        return;
    if (m_idleNotice && m_idleNotice->window() != over)
        IdleWarningOver();
    if (!m_idleNotice)
        m_idleNotice = new platform::Notice(over);
    if (over == prefs)
        m_idleNotice->display(QStringLiteral("Still there? Preferences close in %1.").arg(secondsText(left)),
                              QStringLiteral("Changes not saved are lost. Touch the screen or press a key to "
                                             "keep them open."),
                              0);
    else
        m_idleNotice->display(QStringLiteral("Still there? This form clears in %1.").arg(secondsText(left)),
                              QStringLiteral("Touch the screen or press a key to keep it."),
                              platform::textSize(form->EmailLabel));
}

// Later, not at once: the input that ends the warning may be on its way to the notice.
void App::IdleWarningOver()
{
    if (!m_idleNotice)
        return;
    m_idleNotice->hide();
    m_idleNotice->deleteLater();
    m_idleNotice = nullptr;
}

// Every step is a Cancel, an OK or a Clear someone could have pressed: the reset never quits, saves,
// writes a file or opens a window. The callers waiting beneath a window it ends (in its modal loop)
// go on as after that press: GetPassword answers false, ShowModal returns.
void App::IdleReset()
{
    // Without the option, only the kiosk standing alone (full screen) resets, not the operator's own
    // desk (windowed). The mode is the one of this moment: Preferences may have changed it.
    if (!commandLine.idleReset && !fullScreenmark)
        return;
    IdleWarningOver();

    // Lists and menus left open close, as a touch elsewhere would.
    platform::closePopups();
    // 1. A message box of the form's checks closes, as its OK would. The rest waits until its caller
    //    has gone on from it: that may be the password dialog's OK, which must not lose its window
    //    while it still runs.
    platform::dismissMsgBoxes(this, [] {
        // 2. The privacy notice a visitor opened closes, as its OK would.
        if (NoticeWindow* notice = platform::ImplicitInstance<NoticeWindow>::existing())
            notice->OKButton_Action();
        // 3. The password dialog is cancelled: nothing quits and nothing opens. A "Confirm Password"
        //    dialog goes the same way, saving nothing.
        if (PasswordDialog* dialog = platform::ImplicitInstance<PasswordDialog>::existing())
            dialog->PushButton2_Action();
        // 4. Preferences close as their Cancel would: nothing stored, the settings file untouched.
        if (PreferencesWindow* prefs = platform::ImplicitInstance<PreferencesWindow>::existing())
            prefs->CancelBtn_Action();
        // 5. The form is cleared: the default country, empty fields. Not behind the thank-you window,
        //    which clears it as it closes; not when there is nothing to clear, so an idle kiosk is not
        //    redrawn.
        Window1* form = platform::ImplicitInstance<Window1>::existing();
        if (form && !platform::ImplicitInstance<ThanksWindow>::isOpen() && !form->WindowDataIsReset())
            form->ResetWindowData();
    });
}
