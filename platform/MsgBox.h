#pragma once

#include <QString>

namespace platform {

// A modal box with the text and an OK button; returns when it has been dismissed.
void MsgBox(const QString& text);

} // namespace platform
