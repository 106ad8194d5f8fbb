#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// A modal box with the text and an OK button; returns when it has been dismissed.
void MsgBox(const QString& text);
// A modal box with the text and a button for each choice, in order, the first the default. Returns the
// index of the button pressed, or nothing when the box was closed some other way: Escape, its close
// button, or dismissMsgBoxes.
[[nodiscard]] std::optional<int> MsgBox(const QString& text, const QStringList& choices);

// The object name of every box MsgBox shows, so that other parts of the platform can find them.
inline constexpr QLatin1StringView kMsgBoxName("MsgBox");

} // namespace platform
