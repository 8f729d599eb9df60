#include "core/Import/PreparedImportReport.hpp"

#include <nlohmann/json.hpp>

#include "core/Support/FileURL.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

void PreparedImportReport::releaseWorkingCopy() {
  if (!workingCopyFolder) return;
  std::error_code ignored;
  std::filesystem::remove_all(*workingCopyFolder, ignored);
  workingCopyFolder.reset();
}

std::optional<std::string> PreparedImportReport::primaryIssue() const {
  for (const auto& issue : issues) {
    auto trimmed = text::trimmed(issue);
    if (!trimmed.empty()) return trimmed;
  }
  return std::nullopt;
}

std::string PreparedImportReport::preparationSummary() const {
  switch (requirement) {
  case PreparationRequirement::none:
    return isReadyForNextStep
               ? "No import preparation was required."
               : "No import preparation was required, but the app is not yet marked ready.";
  case PreparationRequirement::verifyOnly:
    return isReadyForNextStep ? "Import scan and verification completed successfully."
                              : "Import scan completed, but verification did not fully succeed.";
  case PreparationRequirement::prepareAndResign:
    return isReadyForNextStep
               ? "Import preparation and re-signing completed successfully."
               : "Import preparation ran, but the app is not yet ready for the next step.";
  }
  return "";
}

std::string PreparedImportReport::detectedContentSummary() const {
  return std::to_string(nestedExecutableCount) + " nested executables, " +
         std::to_string(frameworkCount) + " frameworks, " + std::to_string(dylibCount) +
         " dylibs, " + std::to_string(pluginCount) + " plugins, " + std::to_string(helperCount) +
         " helpers";
}

void to_json(nlohmann::json& json, const PreparedImportReport& report) {
  // An app bundle is a folder, and a folder's file URL ends with a slash.
  auto url = FileURL::fromPath(report.appURL).absoluteString();
  if (url.empty() || url.back() != '/') url += '/';
  json = nlohmann::json{{"appURL", url},
                        {"appKind", rawValue(report.appKind)},
                        {"requirement", rawValue(report.requirement)},
                        {"nestedExecutableCount", report.nestedExecutableCount},
                        {"frameworkCount", report.frameworkCount},
                        {"dylibCount", report.dylibCount},
                        {"pluginCount", report.pluginCount},
                        {"helperCount", report.helperCount},
                        {"issues", report.issues},
                        {"performedSteps", report.performedSteps},
                        {"isReadyForNextStep", report.isReadyForNextStep}};
}

void from_json(const nlohmann::json& json, PreparedImportReport& report) {
  const auto url = FileURL::make(json.at("appURL").get<std::string>());
  if (!url || !url->isFileURL())
    throw nlohmann::json::other_error::create(501, "appURL is not a file URL", &json);
  auto path = url->path();
  if (path.has_parent_path() && !path.has_filename()) path = path.parent_path();
  report.appURL = path;
  const auto kind = importedAppKindFromRawValue(json.at("appKind").get<std::string>());
  const auto requirement =
      preparationRequirementFromRawValue(json.at("requirement").get<std::string>());
  if (!kind || !requirement)
    throw nlohmann::json::other_error::create(501, "unknown appKind or requirement", &json);
  report.appKind = *kind;
  report.requirement = *requirement;
  json.at("nestedExecutableCount").get_to(report.nestedExecutableCount);
  json.at("frameworkCount").get_to(report.frameworkCount);
  json.at("dylibCount").get_to(report.dylibCount);
  json.at("pluginCount").get_to(report.pluginCount);
  json.at("helperCount").get_to(report.helperCount);
  json.at("issues").get_to(report.issues);
  json.at("performedSteps").get_to(report.performedSteps);
  json.at("isReadyForNextStep").get_to(report.isReadyForNextStep);
  report.workingCopyFolder.reset();
}

} // namespace halyard
