#pragma once

#include "Keychain.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace macsim {

struct SigningRequest {
  std::optional<SigningIdentity> identity; // none: ad hoc ("--sign -")
  bool force = false;
  std::uint32_t optionFlags = 0; // --options, as CodeDirectory flag bits
  bool timestamp = false;
  bool preserveIdentifier = false;
  bool preserveEntitlements = false;
  bool preserveFlags = false;
  std::optional<std::string> entitlements; // XML property list
  std::optional<std::string> identifier;
  bool deep = false;
};

// Signs bundles and single files the way codesign does: nested code must already be signed
// (or is signed first with --deep), an existing signature is replaced only with --force.
// Failures throw ToolFailure with codesign's wording; `note` receives the informational lines
// ("X: replacing existing signature").
struct CodeSigner {
  static void sign(const std::filesystem::path& path, const SigningRequest& request,
                   const std::function<void(const std::string&)>& note);
};

} // namespace macsim
