#pragma once

#include "platform/Controls.h"

#include <QFrame>

namespace platform {

// A notice over a window's controls, in the designs' look (black on white, a thin frame): a headline
// and a line below it. It takes no input: a touch on it reaches what lies beneath, and the window keeps
// the focus. It belongs to the window and goes with it.
class Notice final : public QFrame
{
    Q_OBJECT
public:
    explicit Notice(QWidget* window);

    // Shows the texts in the middle of the window's content, above its controls, in text `size`
    // (see Fonts.h; 0 the default).
    void display(const QString& headline, const QString& line, int size);

    StaticText* Headline;
    StaticText* Line;
};

} // namespace platform
