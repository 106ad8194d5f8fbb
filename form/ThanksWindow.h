#pragma once

#include "platform/ImplicitInstance.h"
#include "platform/Window.h"

namespace platform {
class Canvas;
class PushButton;
class StaticText;
class Timer;
} // namespace platform

// Thanks the visitor after a sign-up and closes by itself after 15 seconds: the pause between one
// visitor and the next. Each reference after a close makes a new window with a fresh timer.
class ThanksWindow final : public platform::Window
{
    Q_OBJECT
public:
    ThanksWindow();
    ~ThanksWindow() override;

    static ThanksWindow& instance() { return platform::ImplicitInstance<ThanksWindow>::get(); }

    // Modal; returns once the window has closed.
    void Display();

    void PushButton1_Action();
    void ThanksTimer_Action();

    platform::StaticText* StaticText1;
    platform::PushButton* PushButton1;
    platform::Canvas* Canvas1;
    platform::Timer* ThanksTimer;

private:
    void Layout();
    void CreateControls();
};
