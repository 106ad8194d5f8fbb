#pragma once

#include "platform/ImplicitInstance.h"
#include "platform/Window.h"

#include <optional>

namespace platform {
class Canvas;
class CheckBox;
class EditField;
class FittedText;
class GroupBox;
class MenuItem;
using QuitMenuItem = MenuItem;
using PrefsMenuItem = MenuItem;
class PopupMenu;
class PushButton;
class StaticText;
} // namespace platform

// The sign-up form: the kiosk's main window and the only one a visitor uses.
class Window1 final : public platform::Window
{
    Q_OBJECT
public:
    Window1();
    ~Window1() override;

    // The form window: the open one, or a new one.
    static Window1& instance() { return platform::ImplicitInstance<Window1>::get(); }

    // Field behaviour: Window1_Fields.cpp.
    void FirstNameField_ValidationError(const QString& text, int position);
    void CountryField_Change();
    void ClearButton_Action();
    void ResetWindowData();
    // True when the form shows what ResetWindowData leaves: nothing to clear.
    bool WindowDataIsReset() const;

    // Sign-up and its e-mail check: Window1_SignUp.cpp.
    void SaveButton_Action();
    [[nodiscard]] static QString ValidateEmail(const QString& address);
    // "Did you mean ann@gmail.com?" for a domain that looks mistyped: the address chosen goes into
    // EmailField. False when the visitor chose neither.
    [[nodiscard]] bool ConfirmEmailDomain();

    // The privacy notice, when the kiosk has one (Window1_Notice.cpp): touched, it opens in full.
    void NoticeLabel_Action();

    // The default country and, in full-screen mode, the kiosk layout: Window1_Kiosk.cpp (the layout
    // itself, a pure function, is in core/KioskLayout.cpp).
    void ResetWindowPrefs();

    // The rest is in Window1.cpp, with the window's design and its table of controls.

    // The items of the window's own menu bar, by name.
    platform::MenuItem* EditMenu() const;
    platform::PrefsMenuItem* EditPref() const;
    platform::MenuItem* EditSelectAll() const;
    platform::MenuItem* UntitledMenu0() const;
    platform::MenuItem* EditClear() const;
    platform::MenuItem* EditPaste() const;
    platform::MenuItem* EditCopy() const;
    platform::MenuItem* EditCut() const;
    platform::MenuItem* UntitledMenu1() const;
    platform::MenuItem* EditUndo() const;
    platform::MenuItem* FileMenu() const;
    platform::QuitMenuItem* FileQuit() const;

    // The controls, by name.
    platform::GroupBox* FormBox;
    platform::EditField* EmailField;
    platform::EditField* FirstNameField;
    platform::EditField* LastNameField;
    platform::PopupMenu* CountryField;
    platform::EditField* CityField;
    platform::EditField* PostCodeField;
    platform::EditField* CellField;
    platform::PopupMenu* CellCarrierPopUp;
    platform::EditField* AOLScreenNameField;
    platform::PopupMenu* GenderPopUp;
    platform::PopupMenu* YearBornPopUp;
    platform::EditField* MySpaceURLField;
    platform::StaticText* FirstNameLabel;
    platform::StaticText* LastNameLabel;
    platform::StaticText* CityLabel;
    platform::StaticText* CountryLabel;
    platform::StaticText* ZipLabel;
    platform::StaticText* CellLabel;
    platform::StaticText* EmailLabel;
    platform::PushButton* SaveButton;
    platform::PushButton* ClearButton;
    platform::StaticText* CarrierLabel;
    platform::StaticText* AolScreenLabel;
    platform::StaticText* GenderLabel;
    platform::StaticText* MySpaceLabel;
    platform::Canvas* QuillmoreLogo;
    platform::StaticText* QuillmoreLabel;
    platform::StaticText* BirthYearLabel;
    platform::StaticText* MyspaceUrl;
    // Beneath the form, only with --privacy: the notice's first paragraph, and with --require-consent
    // the box a visitor ticks to agree to it. Null without.
    platform::FittedText* NoticeLabel = nullptr;
    platform::CheckBox* ConsentBox = nullptr;

protected:
    void Event_Open() override;
    void Event_Resized() override;
    // Closing the form is a request to quit the kiosk.
    void closeRequested() override;

private:
    void Layout();
    void CreateControls();
    void AddMenuHandlers();
    bool Preferences_Action();
    void makeAccessible();
    void setUpCityAndPostCodeForCountry(); // Window1_Fields.cpp
    void createNotice();                   // Window1_Notice.cpp
    // The window is still on its way to full screen: the height is that of the screen below the menu bar.
    void placeNoticeForKiosk(const QRect& box, int contentHeight);

    // Touch screens (Window1_Touch.cpp): what each field asks the on-screen keyboard for, and the form moving up while
    // the keyboard would cover the focused field.
    void followOnScreenKeyboard();
    void keepFocusedFieldAboveKeyboard();
    void moveFormBoxTo(int top);
    std::optional<int> m_boxTopWithoutKeyboard; // while the form stands moved up
};
