#pragma once

#include "platform/ImplicitInstance.h"
#include "platform/Window.h"

namespace platform {
class EditField;
class PushButton;
class StaticText;
} // namespace platform

// The kiosk's lock. App::PasswordAction says which request it serves (password::kGetPrefs, kQuit or
// kConfirm); the verdict goes back through App::PasswordGood.
class PasswordDialog final : public platform::Window
{
    Q_OBJECT
public:
    PasswordDialog();
    ~PasswordDialog() override;

    static PasswordDialog& instance() { return platform::ImplicitInstance<PasswordDialog>::get(); }

    // Shows the dialog modally; true only when it was closed by OK with the right password.
    bool GetPassword();

    void PushButton1_Action();
    void PushButton2_Action();

    platform::StaticText* Label;
    platform::EditField* PassField;
    platform::PushButton* PushButton1;
    platform::PushButton* PushButton2;

protected:
    void Event_Open() override;
    // The close button and the window manager count as Cancel.
    void closeRequested() override;

private:
    void CreateControls();
};
