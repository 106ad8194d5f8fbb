#include "form/Window1.h"

#include "app/App.h"
#include "app/MenuBar1.h"
#include "core/Lists.h"
#include "platform/Design.h"
#include "platform/EditField.h"

namespace {

using platform::ControlDesign;
using platform::FontFamily;
using Kind = ControlDesign::Kind;
using Align = ControlDesign::Align;

constexpr auto Verdana = FontFamily::Verdana;
constexpr auto System = FontFamily::System;

// The strip beneath the box that holds the privacy notice (Window1_Notice.cpp).
constexpr int kNoticeStripHeight = 48;

const platform::WindowDesign kWindow = [] {
    platform::WindowDesign w;
    w.title = "Quillmore";
    w.width = 357;
    w.height = 453;
    w.resizeable = true;
    w.closeButton = true;
    w.minimizeButton = true;
    w.maximizeButton = false;
    w.menuBarVisible = true;
    w.backColor = QColor(0xFF, 0xFF, 0xFF);
    return w;
}();

// With a privacy notice the window is taller by the strip beneath the box that shows it; nothing in the
// design moves.
platform::WindowDesign windowDesign()
{
    platform::WindowDesign w = kWindow;
    if (App::instance().commandLine.notice)
        w.height += kNoticeStripHeight;
    return w;
}

constexpr const char* kNameMask = "&&&&&&&&&&&&&&&&&&&&&&&&&"; // 25 places
constexpr const char* kBox = "FormBox";

// Creation order; every control but the box is framed by the box.
// clang-format off
const ControlDesign kControls[] = {
    {.name = "FormBox", .kind = Kind::GroupBox, .left = 11, .top = 14, .width = 331, .height = 428},
    {.name = "EmailField", .kind = Kind::EditField, .left = 27, .top = 57, .width = 260, .height = 20, .parent = kBox},
    {.name = "FirstNameField", .kind = Kind::EditField, .left = 27, .top = 97, .width = 132, .height = 20, .mask = kNameMask, .parent = kBox},
    {.name = "LastNameField", .kind = Kind::EditField, .left = 162, .top = 97, .width = 132, .height = 20, .mask = kNameMask, .parent = kBox},
    {.name = "CountryField", .kind = Kind::PopupMenu, .left = 88, .top = 123, .width = 143, .height = 20, .rows = lists::countries, .parent = kBox},
    {.name = "CityField", .kind = Kind::EditField, .left = 27, .top = 163, .width = 159, .height = 20, .parent = kBox},
    {.name = "PostCodeField", .kind = Kind::EditField, .left = 198, .top = 163, .width = 121, .height = 20, .mask = "#####", .parent = kBox},
    {.name = "CellField", .kind = Kind::EditField, .left = 27, .top = 200, .width = 121, .height = 20, .parent = kBox},
    {.name = "CellCarrierPopUp", .kind = Kind::PopupMenu, .left = 152, .top = 200, .width = 121, .height = 20, .rows = lists::carriers, .parent = kBox},
    {.name = "AOLScreenNameField", .kind = Kind::EditField, .left = 27, .top = 241, .width = 121, .height = 20, .parent = kBox},
    {.name = "GenderPopUp", .kind = Kind::PopupMenu, .left = 156, .top = 241, .width = 99, .height = 20, .rows = lists::genders, .parent = kBox},
    {.name = "YearBornPopUp", .kind = Kind::PopupMenu, .left = 258, .top = 241, .width = 77, .height = 20, .rows = lists::years, .parent = kBox},
    {.name = "MySpaceURLField", .kind = Kind::EditField, .left = 188, .top = 286, .width = 131, .height = 20, .parent = kBox},
    {.name = "FirstNameLabel", .kind = Kind::StaticText, .left = 27, .top = 81, .width = 100, .height = 12, .text = "First Name", .font = Verdana, .parent = kBox},
    {.name = "LastNameLabel", .kind = Kind::StaticText, .left = 164, .top = 81, .width = 100, .height = 12, .text = "Last Name", .font = Verdana, .parent = kBox},
    {.name = "CityLabel", .kind = Kind::StaticText, .left = 26, .top = 147, .width = 100, .height = 15, .text = "City", .font = Verdana, .parent = kBox},
    {.name = "CountryLabel", .kind = Kind::StaticText, .left = 22, .top = 123, .width = 64, .height = 15, .text = "Country", .font = Verdana, .align = Align::Right, .parent = kBox},
    {.name = "ZipLabel", .kind = Kind::StaticText, .left = 198, .top = 147, .width = 135, .height = 15, .text = "Zip / Postal Code ", .font = Verdana, .parent = kBox},
    {.name = "CellLabel", .kind = Kind::StaticText, .left = 27, .top = 185, .width = 100, .height = 12, .text = "Cell", .font = Verdana, .parent = kBox},
    {.name = "EmailLabel", .kind = Kind::StaticText, .left = 27, .top = 42, .width = 100, .height = 15, .text = "Email", .font = Verdana, .parent = kBox},
    {.name = "SaveButton", .kind = Kind::PushButton, .left = 223, .top = 319, .width = 108, .height = 20, .text = "Sign Me Up", .parent = kBox},
    {.name = "ClearButton", .kind = Kind::PushButton, .left = 131, .top = 319, .width = 80, .height = 20, .text = "Clear", .parent = kBox},
    {.name = "CarrierLabel", .kind = Kind::StaticText, .left = 156, .top = 185, .width = 100, .height = 12, .text = "Cell Carrier", .font = Verdana, .parent = kBox},
    {.name = "AolScreenLabel", .kind = Kind::StaticText, .left = 27, .top = 226, .width = 118, .height = 12, .text = "AOL Screen Name", .font = System, .parent = kBox},
    {.name = "GenderLabel", .kind = Kind::StaticText, .left = 161, .top = 226, .width = 71, .height = 12, .text = "Gender", .font = System, .parent = kBox},
    {.name = "MySpaceLabel", .kind = Kind::StaticText, .left = 31, .top = 268, .width = 136, .height = 18, .text = "MySpace Username", .font = System, .parent = kBox},
    {.name = "QuillmoreLogo", .kind = Kind::Canvas, .left = 16, .top = 375, .width = 218, .height = 54, .parent = kBox},
    {.name = "QuillmoreLabel", .kind = Kind::StaticText, .left = 15, .top = 351, .width = 320, .height = 20, .text = "Fan list powered by www.quillmore.com", .font = System, .parent = kBox},
    {.name = "BirthYearLabel", .kind = Kind::StaticText, .left = 258, .top = 226, .width = 71, .height = 12, .text = "Birth Year", .font = System, .parent = kBox},
    {.name = "MyspaceUrl", .kind = Kind::StaticText, .left = 16, .top = 285, .width = 173, .height = 20, .text = "http://www.myspace.com/", .font = System, .align = Align::Right, .parent = kBox},
};
// clang-format on

} // namespace

Window1::Window1()
    : platform::Window(windowDesign())
{
    Layout();
    CreateControls();
    createNotice();
    AddMenuHandlers();
    followOnScreenKeyboard();
}

Window1::~Window1() = default;

void Window1::Layout()
{
    setObjectName(QStringLiteral("Window1"));
    setMenuBar(new MenuBar1);
}

void Window1::CreateControls()
{
    platform::buildControls(*this, kControls);

    FormBox = &control<platform::GroupBox>("FormBox");
    EmailField = &control<platform::EditField>("EmailField");
    FirstNameField = &control<platform::EditField>("FirstNameField");
    LastNameField = &control<platform::EditField>("LastNameField");
    CountryField = &control<platform::PopupMenu>("CountryField");
    CityField = &control<platform::EditField>("CityField");
    PostCodeField = &control<platform::EditField>("PostCodeField");
    CellField = &control<platform::EditField>("CellField");
    CellCarrierPopUp = &control<platform::PopupMenu>("CellCarrierPopUp");
    AOLScreenNameField = &control<platform::EditField>("AOLScreenNameField");
    GenderPopUp = &control<platform::PopupMenu>("GenderPopUp");
    YearBornPopUp = &control<platform::PopupMenu>("YearBornPopUp");
    MySpaceURLField = &control<platform::EditField>("MySpaceURLField");
    FirstNameLabel = &control<platform::StaticText>("FirstNameLabel");
    LastNameLabel = &control<platform::StaticText>("LastNameLabel");
    CityLabel = &control<platform::StaticText>("CityLabel");
    CountryLabel = &control<platform::StaticText>("CountryLabel");
    ZipLabel = &control<platform::StaticText>("ZipLabel");
    CellLabel = &control<platform::StaticText>("CellLabel");
    EmailLabel = &control<platform::StaticText>("EmailLabel");
    SaveButton = &control<platform::PushButton>("SaveButton");
    ClearButton = &control<platform::PushButton>("ClearButton");
    CarrierLabel = &control<platform::StaticText>("CarrierLabel");
    AolScreenLabel = &control<platform::StaticText>("AolScreenLabel");
    GenderLabel = &control<platform::StaticText>("GenderLabel");
    MySpaceLabel = &control<platform::StaticText>("MySpaceLabel");
    QuillmoreLogo = &control<platform::Canvas>("QuillmoreLogo");
    QuillmoreLabel = &control<platform::StaticText>("QuillmoreLabel");
    BirthYearLabel = &control<platform::StaticText>("BirthYearLabel");
    MyspaceUrl = &control<platform::StaticText>("MyspaceUrl");

    QuillmoreLogo->setBackdrop(logo());
    makeAccessible();

    // Wired after the design is applied, so the starting selection raises no Change.
    connect(FirstNameField, &platform::EditField::ValidationError, this, &Window1::FirstNameField_ValidationError);
    connect(CountryField, &platform::PopupMenu::Change, this, &Window1::CountryField_Change);
    connect(SaveButton, &platform::PushButton::Action, this, &Window1::SaveButton_Action);
    connect(ClearButton, &platform::PushButton::Action, this, &Window1::ClearButton_Action);
}

// Screen readers announce each field by its label, and Tab follows the reading order.
void Window1::makeAccessible()
{
    const std::pair<platform::StaticText*, QWidget*> labelled[] = {
        {EmailLabel, EmailField},     {FirstNameLabel, FirstNameField}, {LastNameLabel, LastNameField},
        {CountryLabel, CountryField}, {CityLabel, CityField},           {ZipLabel, PostCodeField},
        {CellLabel, CellField},       {CarrierLabel, CellCarrierPopUp}, {AolScreenLabel, AOLScreenNameField},
        {GenderLabel, GenderPopUp},   {BirthYearLabel, YearBornPopUp},  {MySpaceLabel, MySpaceURLField},
    };
    for (const auto& [label, field] : labelled) {
        label->setBuddy(field);
        if (qobject_cast<platform::EditField*>(field))
            field->setAccessibleName(label->text());
    }

    const QWidget* order[] = {EmailField,    FirstNameField,  LastNameField,    CountryField,       CityField,
                              PostCodeField, CellField,       CellCarrierPopUp, AOLScreenNameField, GenderPopUp,
                              YearBornPopUp, MySpaceURLField, ClearButton,      SaveButton};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void Window1::AddMenuHandlers()
{
    addMenuHandler(QStringLiteral("Preferences"), [this] { return Preferences_Action(); });
}

// No item bears this name (the Preferences item is "EditPref"), so the command reaches the application.
bool Window1::Preferences_Action()
{
    return false;
}

void Window1::Event_Open()
{
    ResetWindowPrefs();
}

// Neither a new window size nor a new screen size lays the form out again.
void Window1::Event_Resized()
{
}

void Window1::closeRequested()
{
    platform::Application::current()->requestQuit();
}

// clang-format off
#define WINDOW1_MENU_ITEM(Name) \
    platform::MenuItem* Window1::Name() const { return menuBar()->item(QStringLiteral(#Name)); }
WINDOW1_MENU_ITEM(EditMenu)
WINDOW1_MENU_ITEM(EditPref)
WINDOW1_MENU_ITEM(EditSelectAll)
WINDOW1_MENU_ITEM(UntitledMenu0)
WINDOW1_MENU_ITEM(EditClear)
WINDOW1_MENU_ITEM(EditPaste)
WINDOW1_MENU_ITEM(EditCopy)
WINDOW1_MENU_ITEM(EditCut)
WINDOW1_MENU_ITEM(UntitledMenu1)
WINDOW1_MENU_ITEM(EditUndo)
WINDOW1_MENU_ITEM(FileMenu)
WINDOW1_MENU_ITEM(FileQuit)
#undef WINDOW1_MENU_ITEM
// clang-format on
