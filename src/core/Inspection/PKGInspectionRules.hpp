#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Inspection/InspectionField.hpp"
#include "core/Inspection/InspectionRunner.hpp"
#include "core/Inspection/InstallerScriptScanner.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/PKG/PackageSignatureFacts.hpp"
#include "core/Signing/Gatekeeper.hpp"

namespace halyard {

// How the tools' answers about a PKG become report fields. Pure functions of the outcomes.
struct PKGInspectionRules {
  // packageSignature, developer, teamIdentifier, timestamp.
  static std::vector<InspectionField> signatureFields(const PackageSignatureFacts& facts);

  static InspectionField fileGatekeeper(const Gatekeeper::Assessment& assessment);
  static InspectionField fileStapled(const Stapler::Validation& validation);
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
