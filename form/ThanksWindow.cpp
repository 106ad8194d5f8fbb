#include "form/ThanksWindow.h"

#include "app/App.h"
#include "platform/Controls.h"
#include "platform/Design.h"

namespace {

using platform::ControlDesign;
using Kind = ControlDesign::Kind;

const platform::WindowDesign kWindow = [] {
    platform::WindowDesign w;
    w.title = "Thanks!";
    w.width = 450;
    w.height = 122;
    w.resizeable = false;
    w.closeButton = true;
    w.minimizeButton = true;
    w.maximizeButton = false;
    w.menuBarVisible = true;
    return w;
}();

// clang-format off
const ControlDesign kControls[] = {
    {.name = "StaticText1", .kind = Kind::StaticText, .left = 33, .top = 21, .width = 417, .height = 27, .text = "Your info has been submitted. Thank you!", .align = ControlDesign::Align::Centre},
    {.name = "PushButton1", .kind = Kind::PushButton, .left = 343, .top = 87, .width = 91, .height = 20, .text = "OK", .isDefault = true},
    {.name = "Canvas1", .kind = Kind::Canvas, .left = 29, .top = 7, .width = 60, .height = 54},
};
// clang-format on

constexpr int kPeriodMs = 15000;
constexpr int kRepeating = 2;

} // namespace

ThanksWindow::ThanksWindow()
    : platform::Window(kWindow)
{
    Layout();
    CreateControls();
}

ThanksWindow::~ThanksWindow() = default;

void ThanksWindow::Layout()
{
    setObjectName(QStringLiteral("ThanksWindow"));
}

void ThanksWindow::CreateControls()
{
    platform::buildControls(*this, kControls);
    StaticText1 = &control<platform::StaticText>("StaticText1");
    PushButton1 = &control<platform::PushButton>("PushButton1");
    Canvas1 = &control<platform::Canvas>("Canvas1");
    Canvas1->setBackdrop(logo());

    // The count starts with the window; its first firing closes the window, which stops it.
    ThanksTimer = new platform::Timer(this);
    ThanksTimer->setObjectName(QStringLiteral("ThanksTimer"));
    ThanksTimer->setPeriod(kPeriodMs);
    ThanksTimer->setMode(kRepeating);

    connect(PushButton1, &platform::PushButton::Action, this, &ThanksWindow::PushButton1_Action);
    connect(ThanksTimer, &platform::Timer::Action, this, &ThanksWindow::ThanksTimer_Action);
}

void ThanksWindow::Display()
{
    ShowModal();
}

void ThanksWindow::PushButton1_Action()
{
    Close();
}

void ThanksWindow::ThanksTimer_Action()
{
    Close();
}
