#pragma once

#include <QString>

#include <optional>

namespace email {

// The address a visitor probably meant, when the domain of `address` is a letter or two away from a
// well-known mail domain (gmial.com) or ends in a known slip of the fingers (.con for .com); nothing
// for a well-known domain, a domain that is near none, or text without an at sign. The part before the
// at sign stays as typed; the domain is compared regardless of letter case.
[[nodiscard]] std::optional<QString> suggestion(const QString& address);

} // namespace email
