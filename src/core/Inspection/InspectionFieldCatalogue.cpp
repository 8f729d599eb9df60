#include "core/Inspection/InspectionFieldCatalogue.hpp"

#include <utility>

namespace halyard {

InspectionFieldCatalogue::Entry InspectionFieldCatalogue::entry(InspectionFieldID id,
                                                                InspectionFileKind kind) {
  using C = InspectionCategoryID;
  using ID = InspectionFieldID;
  const bool pkg = kind == InspectionFileKind::pkg;
  switch (id) {
  case ID::accessibility:
    return {C::file, "File accessibility", 10};
  case ID::fileSize:
    return {C::file, "File size", 0};
  case ID::sha256:
    return {C::file, "SHA-256", 0};
  case ID::quarantine:
    return {C::file, "Quarantine attribute", 0};
  case ID::mountability:
    return {C::contents, "Mountability", 10};
  case ID::appBundle:
    return {C::contents, "App bundle", 10};
  case ID::appVersion:
    return {C::contents, "Version", 0};
  case ID::minimumSystem:
    return {C::contents, "Minimum macOS", 0};
  case ID::architectures:
    return {C::contents, "Architectures", 0};
  case ID::dmgSignature:
    return {C::signing, "DMG signature", 5};
  case ID::appSignature:
    return {C::signing, "App signature", 20};
  case ID::packageSignature:
    return {C::signing, "Package signature", 20};
  case ID::developer:
    return {C::signing, "Developer", 10};
  case ID::teamIdentifier:
    return {C::signing, "Team ID", 0};
  case ID::identifier:
    return pkg ? Entry{C::contents, "Package identifier", 2}
               : Entry{C::signing, "App identifier", 7};
  case ID::timestamp:
    return {C::signing, "Secure timestamp", 5};
  case ID::hardenedRuntime:
    return {C::signing, "Hardened Runtime", 5};
  case ID::entitlements:
    return {C::signing, "Entitlements", 0};
  case ID::appGatekeeper:
    return {C::trust, "Gatekeeper (app)", 10};
  case ID::fileGatekeeper:
    return pkg ? Entry{C::trust, "Gatekeeper", 10} : Entry{C::trust, "Gatekeeper (DMG)", 5};
  case ID::notarization:
    return {C::trust, "Notarization", 10};
  case ID::appStapled:
    return {C::trust, "Ticket stapled to the app", 3};
  case ID::fileStapled:
    return {C::trust, pkg ? "Ticket stapled" : "Ticket stapled to the DMG", 5};
  case ID::installerScripts:
    return {C::installer, "Installer scripts", 8};
  case ID::privilegedCommands:
    return {C::installer, "Privileged commands", 8};
  case ID::sensitiveActions:
    return {C::installer, "Sensitive actions", 7};
  case ID::internalVisibility:
    return {C::contents, "Internal package visibility", 0};
  case ID::windowBackground:
    return {C::contents, "Window background", 0};
  case ID::iconPlacement:
    return {C::contents, "Icon placement", 0};
  }
  return {C::file, "", 0};
}

std::string_view InspectionFieldCatalogue::categoryTitle(InspectionCategoryID id) {
  switch (id) {
  case InspectionCategoryID::file:
    return "File";
  case InspectionCategoryID::contents:
    return "Contents";
  case InspectionCategoryID::signing:
    return "Signing";
  case InspectionCategoryID::trust:
    return "Gatekeeper & Notarization";
  case InspectionCategoryID::installer:
    return "Installer Behavior";
  }
  return "";
}

InspectionField InspectionFieldCatalogue::field(InspectionFieldID id, InspectionFileKind kind,
                                                std::string value, InspectionStatus status,
                                                std::optional<std::string> detail) {
  return weightedField(id, kind, std::move(value), status, entry(id, kind).weight,
                       std::move(detail));
}

InspectionField InspectionFieldCatalogue::weightedField(InspectionFieldID id,
                                                        InspectionFileKind kind, std::string value,
                                                        InspectionStatus status, int weight,
                                                        std::optional<std::string> detail) {
  return InspectionField(id, std::string(entry(id, kind).title), std::move(value),
                         std::move(detail), status, weight);
}

} // namespace halyard
