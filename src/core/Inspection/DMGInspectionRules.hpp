#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/DMG/VolumeWindow.hpp"
#include "core/Inspection/AppBundleInfo.hpp"
#include "core/Inspection/InspectionField.hpp"
#include "core/Inspection/InspectionRunner.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Signing/Gatekeeper.hpp"

namespace halyard {

// How the tools' answers about a DMG and the app inside it become report fields. Pure functions
// of the outcomes, so every judgement can be checked without the tools.
struct DMGInspectionRules {
  static InspectionField dmgSignature(const CodeSign::Verification& check,
                                      const CodeSignDetails& details);
  static InspectionField mountability(bool mounted);
  // `app` is the bundle found, if any; `mounted` whether the image could be mounted at all.
  static InspectionField appBundle(const std::optional<std::filesystem::path>& app, bool mounted);

  // Version, minimum system and architectures; `architectures` are none when no executable was
  // known or lipo could not read it.
  static std::vector<InspectionField>
  bundleFacts(const AppBundleInfo& info,
              const std::optional<std::vector<std::string>>& architectures);
  static std::string architectures(const std::optional<std::vector<std::string>>& names);

  static InspectionField appSignature(const CodeSign::Verification& check);
  // developer, teamIdentifier, identifier, timestamp, hardenedRuntime from `codesign -dv`.
  static std::vector<InspectionField> signatureDetails(const CodeSignDetails& details);
  static InspectionField appGatekeeper(const Gatekeeper::Assessment& assessment);
  static InspectionField appStapled(const Stapler::Validation& validation);

  // appSignature and appGatekeeper when there is no app; `reason` completes "Unavailable because".
  static std::vector<InspectionField> unavailableAppFields(const std::string& reason);

  static InspectionField fileGatekeeper(const Gatekeeper::Assessment& assessment, bool dmgSigned,
                                        bool dmgNotarized);
  static InspectionField notarization(bool appNotarized, bool dmgNotarized);
  static InspectionField fileStapled(const Stapler::Validation& validation);

  // windowBackground and iconPlacement for the window the volume opens: a background picture
  // passes, a missing one or a layout file that cannot be read is a warning, no picture at all
  // is information; an icon not wholly inside the window is a warning.
  static std::vector<InspectionField> windowFields(const VolumeWindow& window);
};

} // namespace halyard
