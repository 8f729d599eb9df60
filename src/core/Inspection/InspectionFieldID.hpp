#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace halyard {

// Which fact an inspection field reports. The raw values are the case names.
enum class InspectionFieldID {
  accessibility,
  fileSize,
  sha256,
  quarantine,
  mountability,
  appBundle,
  appVersion,
  minimumSystem,
  architectures,
  dmgSignature,
  appSignature,
  packageSignature,
  developer,
  teamIdentifier,
  identifier,
  timestamp,
  hardenedRuntime,
  entitlements,
  appGatekeeper,
  fileGatekeeper,
  notarization,
  appStapled,
  fileStapled,
  installerScripts,
  privilegedCommands,
  sensitiveActions,
  internalVisibility,
  // The DMG's window as the Finder opens it.
  windowBackground,
  iconPlacement,
};

inline constexpr std::size_t inspectionFieldIDCount = 29;

// Every identifier, in declaration order.
const std::array<InspectionFieldID, inspectionFieldIDCount>& allInspectionFieldIDs();

std::string_view rawValue(InspectionFieldID id);

// The identifier whose raw value is `raw` exactly, or none.
std::optional<InspectionFieldID> inspectionFieldIDFromRawValue(std::string_view raw);

} // namespace halyard
