#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Inspection/InspectionField.hpp"
#include "core/Inspection/InspectionRunner.hpp"
#include "core/Inspection/InstallerScriptScanner.hpp"

namespace halyard {

// What `pkgutil --check-signature` says about a package.
struct PackageSignatureFacts {
  bool isSigned = false;
  std::string output; // the combined output
  std::optional<std::string> signer;
  std::optional<std::string> teamIdentifier;
  bool trustedTimestamp = false;
  std::optional<std::string> packageIdentifier;

  static PackageSignatureFacts from(const ProcessOutcome& check);

  bool operator==(const PackageSignatureFacts&) const = default;
};

// How the tools' answers about a PKG become report fields. Pure functions of the outcomes.
struct PKGInspectionRules {
  // The first line that is a "Developer ID Installer:" name, or the text after "1. " or
  // "Signer:"; none when no line qualifies.
  static std::optional<std::string> signerName(std::string_view output);
  // A ten-character upper-case team identifier in parentheses at the end of a signer's name.
  static std::optional<std::string> teamIdentifierInName(std::string_view signer);

  // packageSignature, developer, teamIdentifier, timestamp.
  static std::vector<InspectionField> signatureFields(const PackageSignatureFacts& facts);

  static InspectionField fileGatekeeper(const ProcessOutcome& assessment);
  static InspectionField fileStapled(const ProcessOutcome& validation);
  static InspectionField notarization(bool gatekeeperNotarized, bool stapled);

  // `expansion` is none when the package could not be read (and was not expanded).
  static InspectionField internalVisibility(const std::optional<ProcessOutcome>& expansion);
  static InspectionField identifier(const std::optional<std::string>& identifier);

  // installerScripts, privilegedCommands, sensitiveActions; none: the scripts could not be
  // inspected.
  static std::vector<InspectionField>
  installerFields(const std::optional<InstallerScriptScan>& scan);
};

} // namespace halyard
