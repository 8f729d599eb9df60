#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Import/ImportedAppKind.hpp"

namespace halyard {

// What a scan of an imported app found and decided.
struct CodeSignScanResult {
  std::filesystem::path appURL;
  ImportedAppKind appKind = ImportedAppKind::nativeSimple;
  PreparationRequirement requirement = PreparationRequirement::none;
  int nestedExecutableCount = 0; // executables in MacOS and Helpers, code in Frameworks
  int frameworkCount = 0;        // .framework bundles in Frameworks
  int dylibCount = 0;            // .dylib, .so and .node files in Frameworks
  int pluginCount = 0;           // plug-in-like bundles in PlugIns, XPCServices, LoginItems
  int helperCount = 0;           // those bundles again, plus executables in Helpers
  bool hasValidSignature = false;
  bool hasAdHocSignature = false;
  std::optional<std::string> signatureIssue;
  std::vector<std::string> issues;
  std::vector<std::filesystem::path> detectedPaths; // every counted item, once, sorted by path
};

} // namespace halyard
