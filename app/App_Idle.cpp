#include "app/App.h"

#include "form/NoticeWindow.h"
#include "form/ThanksWindow.h"
#include "form/Window1.h"
#include "platform/ActivityWatcher.h"
#include "platform/Dismiss.h"
#include "settings/PasswordDialog.h"
#include "settings/PreferencesWindow.h"

using namespace std::chrono_literals;

namespace {

// How long a kiosk standing alone waits for its visitor to come back.
constexpr std::chrono::seconds kKioskIdleTime = 120s;

} // namespace

void App::startIdleReset()
{
    m_activity->setTimeout(commandLine.idleReset.value_or(kKioskIdleTime));
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
