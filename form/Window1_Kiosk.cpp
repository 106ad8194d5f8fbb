#include "form/Window1.h"

#include "app/App.h"
#include "core/KioskLayout.h"
#include "platform/Controls.h"
#include "platform/Fonts.h"
#include "platform/Geometry.h"
#include "platform/Screen.h"

namespace {

// Every control the layout names moves and takes its text size the same way, whatever its kind.
void place(QWidget* control, const kiosk::Placement& p)
{
    const QRect now = platform::geometryInWindow(control);
    platform::setGeometryInWindow(
        control,
        QRect(p.left.value_or(now.left()), p.top, p.width.value_or(now.width()), p.height.value_or(now.height())));
    if (p.textSize)
        platform::setTextSize(control, p.textSize);
}

} // namespace

void Window1::ResetWindowPrefs()
{
    App& app = App::instance();
    CountryField->setListIndex(app.DefaultCountryIndex);

    if (app.fullScreenmark) {
        // The layout is applied only on the way in; a later screen change is not followed.
        if (FullScreen())
            return;
        setFullScreen(true);

        const platform::Screen screen(0);
        const kiosk::Arrangement arrangement =
            kiosk::layoutFor({screen.AvailableWidth(), screen.AvailableHeight()}, menuBarHeight());
        platform::setGeometryInWindow(FormBox, arrangement.box);
        for (const kiosk::Placement& p : arrangement.controls) {
            QWidget* control = content()->findChild<QWidget*>(QString::fromLatin1(p.name));
            Q_ASSERT_X(control, "ResetWindowPrefs", p.name);
            place(control, p);
        }
        placeNoticeForKiosk(arrangement.box, screen.AvailableHeight() - menuBarHeight());
        Refresh(true);
        return;
    }

    if (FullScreen()) {
        // Leaving full-screen state: a new form window, windowed, with the design geometry.
        Close();
        Window1& form = Window1::instance();
        form.Show();
        form.Refresh(true);
    }
}
