#pragma once

#include "StateStore.hpp"

#include <optional>
#include <string>
#include <vector>

namespace macsim {

// The authentication options every notarytool command takes, checked as the service would:
// a keychain profile that exists, an API key file that holds a private key, or an Apple ID
// with its team and password.
struct NotaryCredentials {
  std::optional<std::string> keychainProfile;
  std::optional<std::string> keyPath, keyID, issuer;
  std::optional<std::string> appleID, teamID, password;

  // Consumes the option at `arguments[i]` (and its value); false when it is not one of them.
  bool consume(const std::vector<std::string>& arguments, size_t& i);
  // Throws ToolFailure with notarytool's wording when they cannot be used.
  void check(const StateStore& store) const;
  static std::string offlineError();
};

} // namespace macsim
