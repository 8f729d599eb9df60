#include "core/Inspection/InspectionFieldID.hpp"

namespace halyard {

namespace {
using ID = InspectionFieldID;

constexpr std::array<ID, inspectionFieldIDCount> allIDs{
    ID::accessibility,      ID::fileSize,         ID::sha256,
    ID::quarantine,         ID::mountability,     ID::appBundle,
    ID::appVersion,         ID::minimumSystem,    ID::architectures,
    ID::dmgSignature,       ID::appSignature,     ID::packageSignature,
    ID::developer,          ID::teamIdentifier,   ID::identifier,
    ID::timestamp,          ID::hardenedRuntime,  ID::entitlements,
    ID::appGatekeeper,      ID::fileGatekeeper,   ID::notarization,
    ID::appStapled,         ID::fileStapled,      ID::installerScripts,
    ID::privilegedCommands, ID::sensitiveActions, ID::internalVisibility,
    ID::windowBackground,   ID::iconPlacement,
};

constexpr std::array<std::string_view, inspectionFieldIDCount> rawValues{
    "accessibility",      "fileSize",         "sha256",
    "quarantine",         "mountability",     "appBundle",
    "appVersion",         "minimumSystem",    "architectures",
    "dmgSignature",       "appSignature",     "packageSignature",
    "developer",          "teamIdentifier",   "identifier",
    "timestamp",          "hardenedRuntime",  "entitlements",
    "appGatekeeper",      "fileGatekeeper",   "notarization",
    "appStapled",         "fileStapled",      "installerScripts",
    "privilegedCommands", "sensitiveActions", "internalVisibility",
    "windowBackground",   "iconPlacement",
};
} // namespace

const std::array<InspectionFieldID, inspectionFieldIDCount>& allInspectionFieldIDs() {
  return allIDs;
}

std::string_view rawValue(InspectionFieldID id) {
  return rawValues.at(static_cast<std::size_t>(id));
}

std::optional<InspectionFieldID> inspectionFieldIDFromRawValue(std::string_view raw) {
  for (std::size_t i = 0; i < rawValues.size(); ++i) {
    if (rawValues[i] == raw) return allIDs[i];
  }
  return std::nullopt;
}

} // namespace halyard
