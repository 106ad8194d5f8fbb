#pragma once

#include <QString>

// The form's e-mail check, apart from any window: "1" for an address it takes, else the reason.
namespace email {

// "no value supplied" for an empty text, "invalid address" without an at sign, "invalid formatting"
// without a dot somewhere after the first one, else "1".
[[nodiscard]] QString verdict(const QString& address);

} // namespace email
