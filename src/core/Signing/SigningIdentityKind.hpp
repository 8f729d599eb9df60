#pragma once

#include <string_view>

namespace halyard {

// The two kinds of Developer ID identity the tool signs with.
enum class SigningIdentityKind { application, installer };

// What an identity's name begins with (colon included, no trailing blank).
constexpr std::string_view prefix(SigningIdentityKind kind) {
  return kind == SigningIdentityKind::application ? "Developer ID Application:"
                                                  : "Developer ID Installer:";
}

// The policy `security find-identity -p` filters by.
constexpr std::string_view policy(SigningIdentityKind kind) {
  return kind == SigningIdentityKind::application ? "codesigning" : "basic";
}

} // namespace halyard
