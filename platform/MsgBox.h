#pragma once

#include <QLatin1StringView>
#include <QString>

namespace platform {

// A modal box with the text and an OK button; returns when it has been dismissed.
void MsgBox(const QString& text);

// The object name of every box MsgBox shows, so that other parts of the platform can find them.
inline constexpr QLatin1StringView kMsgBoxName("MsgBox");

} // namespace platform
