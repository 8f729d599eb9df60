#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// One entitlement an app was signed with: its key and its value rendered as text.
struct AppEntitlement {
  std::string key;
  std::string value;

  // The plain-words title of a known key, or the key itself.
  std::string title() const;
  // Any value but "false".
  bool isEnabled() const;
  // An enabled entitlement that relaxes a protection of the hardened runtime or the sandbox.
  bool isRisky() const;

  // The title of a key in the table of 32 known keys, or none.
  static std::optional<std::string_view> knownTitle(std::string_view key);
  // One of the 8 keys that relax a security protection.
  static bool isRiskyKey(std::string_view key);

  bool operator==(const AppEntitlement&) const = default;
};

} // namespace halyard
