#include "form/KioskLayout.h"

#include "form/Window1.h"

#include "app/App.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/Screen.h"
#include "platform/Text.h"

namespace kiosk {

namespace {

// Offsets from the box's top-left corner, placed from the bottom of the box upwards.
struct Rule
{
    const char* name;
    int top;
    std::optional<int> left;
    std::optional<int> width;
    std::optional<int> height;
    bool text;
};

constexpr std::nullopt_t none = std::nullopt;

// clang-format off
const Rule kRules[] = {
    {"QuillmoreLogo",      540, none, none, none, false},
    // Widened so the credit line is not cut at 18 points; it stays where the box carries it.
    {"QuillmoreLabel",     515, none, 430, none, true},
    {"SaveButton",         475, 275, 150, 22, true},
    {"ClearButton",        475, 115, 150, 22, true},
    {"MySpaceURLField",    435, 255, 175, 28, true},
    {"MyspaceUrl",         437,  10, 245, 28, true},
    {"MySpaceLabel",       410,  10, 245, 28, true},
    {"AOLScreenNameField", 370,  10, 175, 28, true},
    {"GenderPopUp",        370, 195, 100, 28, true},
    {"YearBornPopUp",      370, 305, 100, 28, true},
    {"AolScreenLabel",     340,  10, 175, 28, true},
    {"GenderLabel",        340, 195, 100, 28, true},
    {"BirthYearLabel",     340, 305, 100, 28, true},
    {"CellField",          300,  10, 200, 28, true},
    {"CellCarrierPopUp",   300, 225, 175, 28, true},
    {"CellLabel",          270,  10, 200, 28, true},
    {"CarrierLabel",       270, 225, 150, 28, true},
    {"CityField",          230,  10, 200, 28, true},
    {"PostCodeField",      230, 225, 175, 28, true},
    {"CityLabel",          200,  10, 200, 28, true},
    {"ZipLabel",           200, 225, 180, 28, true},
    {"CountryLabel",       160,  10,  80, 28, true},
    {"CountryField",       160, 100, 200, 28, true},
    {"FirstNameField",     120,  10, 200, 28, true},
    {"LastNameField",      120, 220, 200, 28, true},
    {"FirstNameLabel",      90,  10, 200, 28, true},
    {"LastNameLabel",       90, 220, 200, 28, true},
    {"EmailField",          50,  10, 300, 28, true},
    {"EmailLabel",          20,  10, 300, 28, true},
};
// clang-format on

std::optional<int> offset(std::optional<int> value, int origin)
{
    return value ? std::optional<int>(*value + origin) : std::nullopt;
}

} // namespace

Layout layoutFor(QSize available, int menuBarHeight)
{
    // The halved difference is formed on integers and brought back toward zero.
    const int top = platform::toInt32((available.height() - menuBarHeight - kBoxHeight) / 2.0);
    const int left = platform::toInt32((available.width() - kBoxWidth) / 2.0);

    Layout layout;
    layout.box = QRect(left, top, kBoxWidth, kBoxHeight);
    layout.controls.reserve(std::size(kRules));
    for (const Rule& rule : kRules) {
        layout.controls.push_back({rule.name, top + rule.top, offset(rule.left, left), rule.width, rule.height,
                                   rule.text ? kTextSize : 0});
    }
    return layout;
}

} // namespace kiosk

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
        const kiosk::Layout layout =
            kiosk::layoutFor({screen.AvailableWidth(), screen.AvailableHeight()}, menuBarHeight());
        FormBox->setHeight(layout.box.height());
        FormBox->setWidth(layout.box.width());
        FormBox->setTop(layout.box.top());
        FormBox->setLeft(layout.box.left());
        for (const kiosk::Placement& p : layout.controls) {
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
