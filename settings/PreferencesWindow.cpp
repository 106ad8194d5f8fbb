#include "settings/PreferencesWindow.h"

#include "app/App.h"
#include "app/Lists.h"
#include "form/Window1.h"
#include "platform/Design.h"
#include "platform/EditField.h"
#include "platform/MsgBox.h"
#include "platform/Text.h"
#include "settings/PasswordDialog.h"
#include "settings/SettingsFile.h"

namespace {

using platform::ControlDesign;
using Kind = ControlDesign::Kind;
using Align = ControlDesign::Align;

const platform::WindowDesign kWindow = [] {
    platform::WindowDesign w;
    w.title = "Preferences";
    w.width = 305;
    w.height = 171;
    w.frame = platform::WindowDesign::Frame::Document;
    w.visible = false;
    w.resizeable = false;
    w.closeButton = true;
    // A minimised modal window would leave the kiosk locked with nothing to click.
    w.minimizeButton = false;
    return w;
}();

// clang-format off
const ControlDesign kControls[] = {
    {.name = "DefaultCountry", .kind = Kind::StaticText, .left = 6, .top = 25, .width = 91, .height = 20, .text = "Default Country:", .textSize = 10, .align = Align::Right},
    {.name = "CountryPopUp", .kind = Kind::PopupMenu, .left = 99, .top = 25, .width = 160, .height = 20, .rows = lists::countries},
    {.name = "DefaultCountry1", .kind = Kind::StaticText, .left = 46, .top = 59, .width = 51, .height = 20, .text = "Password", .textSize = 10, .align = Align::Left},
    {.name = "Passwordfield", .kind = Kind::EditField, .left = 98, .top = 57, .width = 160, .height = 22, .password = true},
    {.name = "FullScreenCB", .kind = Kind::CheckBox, .left = 98, .top = 91, .width = 100, .height = 20, .text = "Full Screen"},
    {.name = "SaveBtn", .kind = Kind::PushButton, .left = 205, .top = 131, .width = 80, .height = 20, .text = "Save", .isDefault = true},
    {.name = "CancelBtn", .kind = Kind::PushButton, .left = 109, .top = 131, .width = 80, .height = 20, .text = "Cancel", .isCancel = true},
};
// clang-format on

const QString kNotSaved =
    QStringLiteral("The settings could not be saved to the settings file. They apply until the kiosk quits.");

} // namespace

PreferencesWindow::PreferencesWindow()
    : platform::Window(kWindow)
{
    setObjectName(QStringLiteral("PreferencesWindow"));
    CreateControls();
}

PreferencesWindow::~PreferencesWindow() = default;

void PreferencesWindow::CreateControls()
{
    platform::buildControls(*this, kControls);
    DefaultCountry = &control<platform::StaticText>("DefaultCountry");
    CountryPopUp = &control<platform::PopupMenu>("CountryPopUp");
    DefaultCountry1 = &control<platform::StaticText>("DefaultCountry1");
    Passwordfield = &control<platform::EditField>("Passwordfield");
    FullScreenCB = &control<platform::CheckBox>("FullScreenCB");
    SaveBtn = &control<platform::PushButton>("SaveBtn");
    CancelBtn = &control<platform::PushButton>("CancelBtn");
    DefaultCountry->setBuddy(CountryPopUp);
    DefaultCountry1->setBuddy(Passwordfield);
    Passwordfield->setAccessibleName(DefaultCountry1->text());

    connect(SaveBtn, &platform::PushButton::Action, this, &PreferencesWindow::SaveBtn_Action);
    connect(CancelBtn, &platform::PushButton::Action, this, &PreferencesWindow::CancelBtn_Action);
}

void PreferencesWindow::Event_Open()
{
    const App& app = App::instance();
    Passwordfield->setText(app.Password);
    FullScreenCB->setValue(app.fullScreenmark);
    CountryPopUp->setListIndex(app.DefaultCountryIndex);
}

void PreferencesWindow::SaveBtn_Action()
{
    App& app = App::instance();
    if (platform::StrComp(Passwordfield->Text(), app.Password, 0) != 0) {
        // A new password is saved only once it has been typed a second time; the dialog saves it.
        app.PasswordAction = password::kConfirm;
        PasswordDialog::instance().Show();
        return;
    }
    SaveValues();
}

void PreferencesWindow::CancelBtn_Action()
{
    Close();
}

void PreferencesWindow::SaveValues()
{
    App& app = App::instance();
    app.Password = Passwordfield->Text();
    app.fullScreenmark = FullScreenCB->Value();
    app.DefaultCountryIndex = CountryPopUp->ListIndex();

    // The new settings hold for this run either way; the operator must know they will not survive it.
    const settings::Values values{app.Password, app.fullScreenmark, app.DefaultCountryIndex};
    if (!settings::write(values).isEmpty())
        platform::MsgBox(kNotSaved);

    Close();
    Window1::instance().ResetWindowPrefs();
}
