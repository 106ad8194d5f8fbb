#include "form/NoticeWindow.h"

#include "platform/Controls.h"
#include "platform/Design.h"
#include "platform/Fonts.h"

#include <QPlainTextEdit>

namespace {

using platform::ControlDesign;
using Kind = ControlDesign::Kind;

// The form's look: white, the same fonts, one button.
const platform::WindowDesign kWindow = [] {
    platform::WindowDesign w;
    w.title = "Privacy Notice";
    w.width = 440;
    w.height = 420;
    w.resizeable = false;
    w.closeButton = true;
    w.minimizeButton = false;
    w.maximizeButton = false;
    w.menuBarVisible = true;
    w.backColor = QColor(0xFF, 0xFF, 0xFF);
    return w;
}();

// clang-format off
const ControlDesign kControls[] = {
    {.name = "OKButton", .kind = Kind::PushButton, .left = 330, .top = 384, .width = 98, .height = 28, .text = "OK", .isDefault = true},
};
// clang-format on

constexpr QRect kTextArea(12, 12, 416, 362);

} // namespace

NoticeWindow::NoticeWindow()
    : platform::Window(kWindow)
{
    setObjectName(QStringLiteral("NoticeWindow"));
    platform::buildControls(*this, kControls);
    OKButton = &control<platform::PushButton>("OKButton");

    // Read-only, wrapped at words, with a scroll bar once the text is longer than the window.
    NoticeArea = new QPlainTextEdit(content());
    NoticeArea->setObjectName(QStringLiteral("NoticeArea"));
    NoticeArea->setReadOnly(true);
    NoticeArea->setFrameShape(QFrame::NoFrame);
    NoticeArea->setGeometry(kTextArea);
    NoticeArea->show();

    connect(OKButton, &platform::PushButton::Action, this, &NoticeWindow::OKButton_Action);
}

NoticeWindow::~NoticeWindow() = default;

void NoticeWindow::Display(const QString& text, int textSize)
{
    NoticeArea->setPlainText(text);
    platform::setTextSize(NoticeArea, textSize);
    platform::setTextSize(OKButton, textSize);
    OKButton->setFocus();
    ShowModal();
}

void NoticeWindow::OKButton_Action()
{
    Close();
}
