#pragma once

#include "platform/ImplicitInstance.h"
#include "platform/Window.h"

class QPlainTextEdit;

namespace platform {
class PushButton;
} // namespace platform

// The whole privacy notice, opened by touching its first paragraph on the form: the organiser's text,
// scrollable, closed by OK (or by the idle reset, as its OK would).
class NoticeWindow final : public platform::Window
{
    Q_OBJECT
public:
    NoticeWindow();
    ~NoticeWindow() override;

    static NoticeWindow& instance() { return platform::ImplicitInstance<NoticeWindow>::get(); }

    // Modal; returns once the window has closed. Larger text for the full-screen kiosk.
    void Display(const QString& text, int textSize);

    void OKButton_Action();

    QPlainTextEdit* NoticeArea;
    platform::PushButton* OKButton;
};
