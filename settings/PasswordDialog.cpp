#include "settings/PasswordDialog.h"

#include "app/App.h"
#include "core/Text.h"
#include "platform/Design.h"
#include "platform/EditField.h"
#include "platform/MsgBox.h"
#include "settings/PreferencesWindow.h"

namespace {

using platform::ControlDesign;
using Kind = ControlDesign::Kind;

const platform::WindowDesign kWindow = [] {
    platform::WindowDesign w;
    w.title = "Enter Password";
    w.width = 348;
    w.height = 109;
    w.frame = platform::WindowDesign::Frame::ModalDialog;
    w.visible = false;
    w.resizeable = false;
    w.minimizeButton = false;
    w.menuBarVisible = false;
    return w;
}();

// clang-format off
const ControlDesign kControls[] = {
    {.name = "Label", .kind = Kind::StaticText, .left = 17, .top = 5, .width = 185, .height = 20, .text = "Enter Password"},
    {.name = "PassField", .kind = Kind::EditField, .left = 17, .top = 31, .width = 312, .height = 22, .password = true},
    {.name = "PushButton1", .kind = Kind::PushButton, .left = 257, .top = 65, .width = 80, .height = 20, .text = "OK", .isDefault = true},
    {.name = "PushButton2", .kind = Kind::PushButton, .left = 165, .top = 65, .width = 80, .height = 20, .text = "Cancel", .isCancel = true},
};
// clang-format on

const QString kMismatch = QStringLiteral("the Passwords do not match Please re-enter the Password");

} // namespace

PasswordDialog::PasswordDialog()
    : platform::Window(kWindow)
{
    setObjectName(QStringLiteral("PasswordDialog"));
    CreateControls();
}

PasswordDialog::~PasswordDialog() = default;

void PasswordDialog::CreateControls()
{
    platform::buildControls(*this, kControls);
    Label = &control<platform::StaticText>("Label");
    PassField = &control<platform::EditField>("PassField");
    PushButton1 = &control<platform::PushButton>("PushButton1");
    PushButton2 = &control<platform::PushButton>("PushButton2");
    PassField->setAccessibleName(Label->text());
    PassField->setFocus();

    connect(PushButton1, &platform::PushButton::Action, this, &PasswordDialog::PushButton1_Action);
    connect(PushButton2, &platform::PushButton::Action, this, &PasswordDialog::PushButton2_Action);
}

void PasswordDialog::Event_Open()
{
    if (App::instance().PasswordAction == password::kConfirm) {
        setTitle(QStringLiteral("Confirm Password"));
        Label->setText(QStringLiteral("Confirm Password"));
        PassField->setAccessibleName(Label->text());
    }
}

void PasswordDialog::PushButton1_Action()
{
    App& app = App::instance();
    app.PasswordGood = false;

    if (app.PasswordAction == password::kConfirm) {
        PreferencesWindow* prefs = platform::ImplicitInstance<PreferencesWindow>::existing();
        if (!prefs) {
            // Nothing left to confirm for.
            Close();
            return;
        }
        if (platform::StrComp(PassField->Text(), prefs->Passwordfield->Text(), 0) == 0) {
            Close();
            prefs->SaveValues();
        } else {
            platform::MsgBox(kMismatch);
            PassField->setText(QString());
            PassField->setFocus();
        }
        return;
    }

    if (platform::StrComp(PassField->Text(), app.Password, 0) != 0) {
        platform::MsgBox(kMismatch);
        PassField->setFocus();
        return;
    }
    if (app.PasswordAction == password::kGetPrefs || app.PasswordAction == password::kQuit) {
        app.PasswordGood = true;
        Close();
    }
}

void PasswordDialog::PushButton2_Action()
{
    App::instance().PasswordGood = false;
    Close();
}

void PasswordDialog::closeRequested()
{
    PushButton2_Action();
}

bool PasswordDialog::GetPassword()
{
    // Only this request's OK may open the lock: a verdict left from an earlier one must not count.
    App::instance().PasswordGood = false;
    ShowModal();
    return App::instance().PasswordGood;
}
