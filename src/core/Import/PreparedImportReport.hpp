#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/Import/ImportedAppKind.hpp"

namespace halyard {

// The record of a finished import: what the scan found, what was done, and the app to package
// next (`appURL`).
struct PreparedImportReport {
  std::filesystem::path appURL;
  ImportedAppKind appKind = ImportedAppKind::nativeSimple;
  PreparationRequirement requirement = PreparationRequirement::none;
  int nestedExecutableCount = 0;
  int frameworkCount = 0;
  int dylibCount = 0;
  int pluginCount = 0;
  int helperCount = 0;
  std::vector<std::string> issues;
  std::vector<std::string> performedSteps;
  bool isReadyForNextStep = false;

  // The private folder that holds the prepared working copy (Halyard_Prepared_Imports/<UUID>),
  // when the import made one. The caller owns it and removes it with releaseWorkingCopy once
  // the app has been packaged (or the run ends). Not part of the JSON.
  std::optional<std::filesystem::path> workingCopyFolder;

  // Removes the working copy folder, if any, with everything in it; errors are ignored. Safe to
  // call more than once.
  void releaseWorkingCopy();

  // The first issue that is not blank, or none.
  std::optional<std::string> primaryIssue() const;
  bool hasIssues() const { return primaryIssue().has_value(); }
  std::string preparationSummary() const;
  // "3 nested executables, 1 frameworks, 2 dylibs, 0 plugins, 0 helpers".
  std::string detectedContentSummary() const;
};

// The JSON keys are the field names; kind and requirement as their raw values, appURL as a file
// URL string. Decoding throws nlohmann::json exceptions on missing keys or unknown raw values.
void to_json(nlohmann::json& json, const PreparedImportReport& report);
void from_json(const nlohmann::json& json, PreparedImportReport& report);

} // namespace halyard
