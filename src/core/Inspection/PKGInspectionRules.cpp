#include "core/Inspection/PKGInspectionRules.hpp"

#include "core/Inspection/InspectionFieldCatalogue.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {
using ID = InspectionFieldID;
using S = InspectionStatus;

InspectionField pkgField(ID id, std::string value, S status,
                         std::optional<std::string> detail = std::nullopt) {
  return InspectionFieldCatalogue::field(id, InspectionFileKind::pkg, std::move(value), status,
                                         std::move(detail));
}

InspectionField pkgWeighted(ID id, std::string value, S status, int weight,
                            std::optional<std::string> detail = std::nullopt) {
  return InspectionFieldCatalogue::weightedField(id, InspectionFileKind::pkg, std::move(value),
                                                 status, weight, std::move(detail));
}
} // namespace

std::vector<InspectionField>
PKGInspectionRules::signatureFields(const PackageSignatureFacts& facts) {
  std::vector<InspectionField> fields;
  fields.push_back(pkgField(ID::packageSignature, facts.isSigned ? "Valid." : "Missing or invalid.",
                            facts.isSigned ? S::pass : S::fail, facts.output));
  fields.push_back(facts.signer ? pkgField(ID::developer, *facts.signer, S::pass)
                                : pkgField(ID::developer, "Could not be determined.", S::warning));
  fields.push_back(facts.teamIdentifier
                       ? pkgField(ID::teamIdentifier, *facts.teamIdentifier, S::info)
                       : pkgField(ID::teamIdentifier, "Not found.", S::warning));
  fields.push_back(facts.trustedTimestamp
                       ? pkgField(ID::timestamp, "Trusted timestamp present.", S::pass)
                       : pkgField(ID::timestamp, "No trusted timestamp found.", S::warning));
  return fields;
}

InspectionField PKGInspectionRules::fileGatekeeper(const Gatekeeper::Assessment& assessment) {
  const auto output = assessment.text();
  if (assessment.accepted())
    return pkgField(ID::fileGatekeeper,
                    std::string("Accepted") +
                        (assessment.notarized() ? " - Notarized Developer ID" : "") + ".",
                    S::pass, output);
  return pkgField(ID::fileGatekeeper, "Rejected by Gatekeeper.", S::fail, output);
}

InspectionField PKGInspectionRules::fileStapled(const Stapler::Validation& validation) {
  if (validation.validated())
    return pkgField(ID::fileStapled, "Yes - installs even without internet.", S::pass,
                    validation.text());
  return pkgField(ID::fileStapled, "No ticket stapled.", S::warning, validation.text());
}

InspectionField PKGInspectionRules::notarization(bool gatekeeperNotarized, bool stapled) {
  if (gatekeeperNotarized || stapled)
    return pkgField(ID::notarization, "Apple notarized this package.", S::pass);
  return pkgField(ID::notarization, "No notarization proof was found.", S::warning);
}

InspectionField
PKGInspectionRules::internalVisibility(const std::optional<ProcessOutcome>& expansion) {
  if (!expansion)
    return pkgField(ID::internalVisibility, "The package could not be fully expanded.", S::warning,
                    "The package could not be read.");
  if (expansion->status == 0)
    return pkgField(ID::internalVisibility, "The package was fully expanded and inspected.",
                    S::pass);
  return pkgField(ID::internalVisibility, "The package could not be fully expanded.", S::warning,
                  expansion->combined());
}

InspectionField PKGInspectionRules::identifier(const std::optional<std::string>& identifier) {
  if (identifier) return pkgField(ID::identifier, *identifier, S::pass);
  return pkgField(ID::identifier, "No package identifier found.", S::info);
}

std::vector<InspectionField>
PKGInspectionRules::installerFields(const std::optional<InstallerScriptScan>& scan) {
  if (!scan)
    return {pkgWeighted(ID::installerScripts, "Scripts could not be inspected.", S::warning, 0),
            pkgWeighted(ID::privilegedCommands, "Analysis unavailable.", S::warning, 0),
            pkgWeighted(ID::sensitiveActions, "Analysis unavailable.", S::warning, 0)};

  std::vector<InspectionField> fields;
  if (scan->names.empty()) {
    fields.push_back(pkgWeighted(ID::installerScripts, "No installer scripts.", S::pass, 0));
  } else {
    std::vector<std::string> names;
    for (const auto& name : scan->names)
      names.push_back(text::printable(name));
    fields.push_back(pkgField(ID::installerScripts, "Installer scripts run during install.",
                              S::warning, text::joined(names, ", ")));
  }
  fields.push_back(scan->privileged
                       ? pkgField(ID::privilegedCommands,
                                  "Privileged commands or sensitive paths detected.", S::warning)
                       : pkgWeighted(ID::privilegedCommands, "None detected.", S::pass, 0));
  fields.push_back(
      scan->sensitive ? pkgField(ID::sensitiveActions, "System-level changes detected.", S::warning)
                      : pkgWeighted(ID::sensitiveActions, "None detected.", S::pass, 0));
  return fields;
}

} // namespace halyard
