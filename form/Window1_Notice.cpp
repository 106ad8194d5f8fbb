#include "form/Window1.h"

#include "app/App.h"
#include "form/NoticeWindow.h"
#include "platform/Controls.h"
#include "platform/Design.h"
#include "platform/FittedText.h"
#include "platform/Geometry.h"

namespace {

using platform::ControlDesign;
using Kind = ControlDesign::Kind;

// Beneath the box, in the strip the window gains for it: the first paragraph of the notice over the
// box's width, or beside the box a visitor ticks to agree to it. Three lines of the default size.
// clang-format off
const ControlDesign kNotice[] = {
    {.name = "NoticeLabel", .kind = Kind::FittedText, .left = 15, .top = 446, .width = 324, .height = 48},
};
const ControlDesign kNoticeAndConsent[] = {
    {.name = "ConsentBox", .kind = Kind::CheckBox, .left = 15, .top = 446, .width = 20, .height = 20},
    {.name = "NoticeLabel", .kind = Kind::FittedText, .left = 37, .top = 446, .width = 302, .height = 48},
};
// clang-format on

// In the kiosk layout: below the box, as wide as the box, as many lines of 14 points as the screen
// holds below it, up to three.
constexpr int kKioskGap = 6;
constexpr int kKioskTextSize = 14;
constexpr int kKioskLines = 3;
constexpr int kKioskBoxSide = 24;

} // namespace

void Window1::createNotice()
{
    const CommandLine& options = App::instance().commandLine;
    if (!options.notice)
        return;
    if (options.requireConsent) {
        platform::buildControls(*this, kNoticeAndConsent);
        ConsentBox = &control<platform::CheckBox>("ConsentBox");
        // Read out as what the visitor agrees to.
        ConsentBox->setAccessibleName(options.notice->shortNotice);
    } else {
        platform::buildControls(*this, kNotice);
    }
    NoticeLabel = &control<platform::FittedText>("NoticeLabel");
    NoticeLabel->setText(options.notice->shortNotice);

    connect(NoticeLabel, &platform::FittedText::Action, this, &Window1::NoticeLabel_Action);
}

void Window1::placeNoticeForKiosk(const QRect& box, int contentHeight)
{
    if (!NoticeLabel)
        return;
    platform::setTextSize(NoticeLabel, kKioskTextSize);
    const int top = box.bottom() + 1 + kKioskGap;
    const int lineHeight = NoticeLabel->fontMetrics().lineSpacing();
    const int room = contentHeight - top;
    const int height = std::clamp(room / lineHeight, 1, kKioskLines) * lineHeight;
    int left = box.left() + 10;
    if (ConsentBox) {
        // The box itself as large as its place, for a finger on a touch screen.
        ConsentBox->setStyleSheet(
            QStringLiteral("QCheckBox::indicator { width: %1px; height: %1px; }").arg(kKioskBoxSide - 2));
        platform::setGeometryInWindow(
            ConsentBox, QRect(left, top + (lineHeight - kKioskBoxSide) / 2, kKioskBoxSide, kKioskBoxSide));
        left += kKioskBoxSide + 8;
    }
    platform::setGeometryInWindow(NoticeLabel, QRect(left, top, box.right() - 10 - left, height));
}

void Window1::NoticeLabel_Action()
{
    const CommandLine& options = App::instance().commandLine;
    NoticeWindow::instance().Display(options.notice->text, FullScreen() ? kKioskTextSize : 0);
}
