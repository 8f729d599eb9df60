#include "core/Inspection/DMGInspectionRules.hpp"

#include <cmath>
#include <sstream>

#include "core/Inspection/InspectionFieldCatalogue.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {
using ID = InspectionFieldID;
using S = InspectionStatus;

InspectionField dmgField(ID id, std::string value, S status,
                         std::optional<std::string> detail = std::nullopt) {
  return InspectionFieldCatalogue::field(id, InspectionFileKind::dmg, std::move(value), status,
                                         std::move(detail));
}
} // namespace

InspectionField DMGInspectionRules::dmgSignature(const CodeSign::Verification& check,
                                                 const CodeSignDetails& details) {
  if (check.valid()) {
    std::string value = "Valid";
    if (const auto signer = details.signer()) value += " - " + *signer;
    return dmgField(ID::dmgSignature, value, S::pass);
  }
  return dmgField(ID::dmgSignature,
                  check.notSigned() ? "The DMG itself is not signed."
                                    : "The DMG signature is not valid.",
                  S::warning, check.text());
}

InspectionField DMGInspectionRules::mountability(bool mounted) {
  if (mounted) return dmgField(ID::mountability, "Mounted successfully (read-only).", S::pass);
  return dmgField(ID::mountability, "The DMG could not be mounted for analysis.", S::warning,
                  "The DMG may be damaged, encrypted, busy or blocked by macOS.");
}

InspectionField DMGInspectionRules::appBundle(const std::optional<std::filesystem::path>& app,
                                              bool mounted) {
  if (!mounted)
    return dmgField(ID::appBundle, "Could not be checked because the DMG did not mount.", S::fail);
  if (!app) return dmgField(ID::appBundle, "No .app bundle was found inside this DMG.", S::fail);
  return dmgField(ID::appBundle, "Found " + app->filename().string(), S::pass);
}

std::string
DMGInspectionRules::architectures(const std::optional<std::vector<std::string>>& names) {
  if (!names || names->empty()) return "Could not be determined.";
  std::vector<std::string> shown;
  for (const auto& name : *names) {
    if (name == "arm64")
      shown.push_back("Apple silicon (arm64)");
    else if (name == "x86_64")
      shown.push_back("Intel (x86_64)");
    else
      shown.push_back(name);
  }
  return text::joined(shown, ", ");
}

std::vector<InspectionField>
DMGInspectionRules::bundleFacts(const AppBundleInfo& info,
                                const std::optional<std::vector<std::string>>& architectures) {
  return {
      dmgField(ID::appVersion, info.shortVersion.value_or("Not specified."), S::info),
      dmgField(ID::minimumSystem,
               info.minimumSystemVersion ? "macOS " + *info.minimumSystemVersion : "Not specified.",
               S::info),
      dmgField(ID::architectures, DMGInspectionRules::architectures(architectures), S::info),
  };
}

InspectionField DMGInspectionRules::appSignature(const CodeSign::Verification& check) {
  if (check.valid()) return dmgField(ID::appSignature, "Valid (deep and strict).", S::pass);
  return dmgField(ID::appSignature, "Signature validation failed.", S::fail, check.text());
}

std::vector<InspectionField> DMGInspectionRules::signatureDetails(const CodeSignDetails& details) {
  std::vector<InspectionField> fields;

  if (const auto signer = details.signer())
    fields.push_back(
        dmgField(ID::developer, *signer, details.developerIDApplication() ? S::pass : S::warning));
  else
    fields.push_back(dmgField(ID::developer, "Could not be determined.", S::warning));

  if (details.teamIdentifier)
    fields.push_back(dmgField(ID::teamIdentifier, *details.teamIdentifier, S::info));
  else
    fields.push_back(dmgField(ID::teamIdentifier, "Not found.", S::warning));

  if (details.identifier)
    fields.push_back(dmgField(ID::identifier, *details.identifier, S::pass));
  else
    fields.push_back(dmgField(ID::identifier, "No app identifier found.", S::warning));

  if (details.timestamp)
    fields.push_back(dmgField(ID::timestamp, "Present " + *details.timestamp, S::pass));
  else
    fields.push_back(dmgField(ID::timestamp, "No secure timestamp.", S::warning));

  if (details.hardenedRuntime())
    fields.push_back(dmgField(ID::hardenedRuntime, "Enabled.", S::pass));
  else
    fields.push_back(
        dmgField(ID::hardenedRuntime, "Not enabled (required for notarization).", S::warning));
  return fields;
}

InspectionField DMGInspectionRules::appGatekeeper(const Gatekeeper::Assessment& assessment) {
  const auto output = assessment.text();
  if (assessment.accepted())
    return dmgField(ID::appGatekeeper,
                    std::string("Accepted") +
                        (assessment.notarized() ? " - Notarized Developer ID" : "") + ".",
                    S::pass, output);
  return dmgField(ID::appGatekeeper, "Rejected by Gatekeeper.", S::fail, output);
}

InspectionField DMGInspectionRules::appStapled(const Stapler::Validation& validation) {
  if (validation.validated())
    return dmgField(ID::appStapled, "Yes - the app opens even without internet.", S::pass);
  return dmgField(ID::appStapled, "No ticket stapled to the app.", S::warning);
}

std::vector<InspectionField> DMGInspectionRules::unavailableAppFields(const std::string& reason) {
  const auto value = "Unavailable because " + reason + ".";
  return {dmgField(ID::appSignature, value, S::info), dmgField(ID::appGatekeeper, value, S::info)};
}

InspectionField DMGInspectionRules::fileGatekeeper(const Gatekeeper::Assessment& assessment,
                                                   bool dmgSigned, bool dmgNotarized) {
  const auto output = assessment.text();
  if (assessment.accepted())
    return dmgField(ID::fileGatekeeper,
                    std::string("Accepted") + (dmgNotarized ? " - Notarized Developer ID" : "") +
                        ".",
                    S::pass, output);
  return dmgField(ID::fileGatekeeper,
                  dmgSigned ? "Not accepted." : "Not assessed because the DMG is not signed.",
                  S::warning, output);
}

InspectionField DMGInspectionRules::notarization(bool appNotarized, bool dmgNotarized) {
  const auto line = [](bool notarized) {
    return notarized ? "notarized" : "no notarization found";
  };
  return dmgField(ID::notarization,
                  appNotarized || dmgNotarized ? "Apple notarized this release."
                                               : "No notarization proof was found.",
                  appNotarized || dmgNotarized ? S::pass : S::warning,
                  std::string("App: ") + line(appNotarized) + "\nDMG: " + line(dmgNotarized));
}

InspectionField DMGInspectionRules::fileStapled(const Stapler::Validation& validation) {
  if (validation.validated())
    return dmgField(ID::fileStapled, "Yes - the DMG opens even without internet.", S::pass);
  return dmgField(ID::fileStapled, "No ticket stapled to the DMG.", S::warning);
}

std::vector<InspectionField> DMGInspectionRules::windowFields(const VolumeWindow& window) {
  const auto field = [](ID id, std::string value, S status,
                        std::optional<std::string> detail = std::nullopt) {
    return dmgField(id, std::move(value), status, std::move(detail));
  };
  std::vector<InspectionField> fields;
  if (window.layout == VolumeWindow::Layout::malformed) {
    fields.push_back(field(ID::windowBackground,
                           "The window layout file could not be read; the Finder shows its "
                           "defaults (a plain white window).",
                           S::warning, window.layoutProblem));
  } else if (window.layout == VolumeWindow::Layout::missing) {
    fields.push_back(field(ID::windowBackground,
                           "No window layout file; the Finder shows its defaults (a plain white "
                           "window).",
                           S::info));
  } else if (window.backgroundPath) {
    fields.push_back(
        field(ID::windowBackground, "Background picture " + *window.backgroundPath + ".", S::pass));
  } else if (window.backgroundMissing) {
    fields.push_back(field(ID::windowBackground,
                           "The background picture the layout names is not on the volume.",
                           S::warning));
  } else {
    fields.push_back(field(ID::windowBackground, "No background picture.", S::info));
  }

  const auto& scene = window.scene;
  const std::string geometry = "Window " + std::to_string(std::lround(scene.windowSize.width)) +
                               " x " + std::to_string(std::lround(scene.windowSize.height)) +
                               " points, icons " + std::to_string(std::lround(scene.iconSize)) +
                               " points.";
  if (window.offWindowItems.empty()) {
    fields.push_back(
        field(ID::iconPlacement, "Every icon lies inside the window.", S::pass, geometry));
  } else {
    const bool one = window.offWindowItems.size() == 1;
    fields.push_back(field(ID::iconPlacement,
                           (one ? "The icon of " : "The icons of ") +
                               text::joined(window.offWindowItems, ", ") +
                               (one ? " lies" : " lie") + " outside the window.",
                           S::warning, geometry));
  }
  return fields;
}

} // namespace halyard
