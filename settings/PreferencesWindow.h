#pragma once

#include "platform/ImplicitInstance.h"
#include "platform/Window.h"

namespace platform {
class CheckBox;
class EditField;
class PopupMenu;
class PushButton;
class StaticText;
} // namespace platform

// Where the operator sets the password, the default country and full-screen mode.
class PreferencesWindow final : public platform::Window
{
    Q_OBJECT
public:
    PreferencesWindow();
    ~PreferencesWindow() override;

    static PreferencesWindow& instance() { return platform::ImplicitInstance<PreferencesWindow>::get(); }

    void SaveBtn_Action();
    void CancelBtn_Action();
    // Stores the settings, writes the settings file, closes the window and re-lays the form out.
    void SaveValues();

    platform::StaticText* DefaultCountry;
    platform::PopupMenu* CountryPopUp;
    platform::StaticText* DefaultCountry1;
    platform::EditField* Passwordfield;
    platform::CheckBox* FullScreenCB;
    platform::PushButton* SaveBtn;
    platform::PushButton* CancelBtn;
    platform::StaticText* SignUpCount;
    platform::StaticText* KeyboardNote;
    platform::StaticText* SyncStatus;

protected:
    void Event_Open() override;

private:
    void CreateControls();
    // How many sign-ups the data file holds and where it is, or why that cannot be said.
    void ShowSignUpCount();
    // With --touch and no on-screen keyboard: why.
    void ShowKeyboardNote();
    // The notes shown, below the buttons.
    void PlaceNotes();
};
