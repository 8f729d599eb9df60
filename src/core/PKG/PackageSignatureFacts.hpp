#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// What `pkgutil --check-signature` says about a package.
struct PackageSignatureFacts {
  ToolProcessResult run; // as the tool's runner gave it
  bool isSigned = false; // exit status 0 and no "no signature"
  std::string output;    // the combined output
  std::optional<std::string> signer;
  std::optional<std::string> teamIdentifier;
  bool trustedTimestamp = false;
  std::optional<std::string> packageIdentifier;
  // The output names a Developer ID Installer certificate.
  bool developerIDInstaller = false;

  static PackageSignatureFacts from(ToolProcessResult check);

  // The first line that is a "Developer ID Installer:" name, or the text after "1. " or
  // "Signer:"; none when no line qualifies.
  static std::optional<std::string> signerName(std::string_view output);
  // A ten-character upper-case team identifier in parentheses at the end of a signer's name.
  static std::optional<std::string> teamIdentifierInName(std::string_view signer);
};

} // namespace halyard
