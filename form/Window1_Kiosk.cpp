#include "form/Window1.h"

#include "app/App.h"
#include "form/KioskLayout.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/Screen.h"

namespace {

template <class C>
void place(C& control, const kiosk::Placement& p)
{
    control.setTop(p.top);
    if (p.height)
        control.setHeight(*p.height);
    if (p.textSize)
        control.setTextSize(p.textSize);
    if (p.left)
        control.setLeft(*p.left);
    if (p.width)
        control.setWidth(*p.width);
}

template <class... Kinds>
bool placeAs(QWidget* widget, const kiosk::Placement& p)
{
    return ([&] {
        auto* control = qobject_cast<Kinds*>(widget);
        if (control)
            place(*control, p);
        return control != nullptr;
    }() || ...);
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
        FormBox->setHeight(arrangement.box.height());
        FormBox->setWidth(arrangement.box.width());
        FormBox->setTop(arrangement.box.top());
        FormBox->setLeft(arrangement.box.left());
        for (const kiosk::Placement& p : arrangement.controls) {
            QWidget* widget = content()->findChild<QWidget*>(QString::fromLatin1(p.name));
            Q_ASSERT_X(widget, "ResetWindowPrefs", p.name);
            placeAs<platform::StaticText, platform::EditField, platform::PopupMenu, platform::PushButton,
                    platform::Canvas>(widget, p);
        }
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
