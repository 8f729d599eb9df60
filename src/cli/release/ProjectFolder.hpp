#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/settings/ParsedArguments.hpp"

namespace bosun {

// The inputs of a release, found from the argument of `start`: the release folder, the app (or
// ZIP of it) to release, an optional Designer template and the license documents.
struct ProjectFolder {
  std::filesystem::path folder;    // absolute, without "." or ".." components
  std::filesystem::path appSource; // the app bundle or ZIP archive
  bool isZip = false;              // appSource ends in ".zip" (any letter case)
  std::optional<std::filesystem::path> templateURL;
  std::vector<std::filesystem::path> legalDocuments;

  // Resolves a folder, an app or a ZIP (the current folder when `path` is absent) with the rules
  // of discovery: exactly one app, else exactly one ZIP; one template by extension unless chosen
  // or turned off; license documents by name unless --no-license. Every failure is a CLIError
  // `input` that names the option resolving it.
  static ProjectFolder resolve(const std::optional<std::string>& path,
                               const ParsedArguments& arguments);
  // The same with the current folder and the home folder given.
  static ProjectFolder resolve(const std::optional<std::string>& path,
                               const ParsedArguments& arguments,
                               const std::filesystem::path& currentFolder,
                               const std::filesystem::path& home);
};

// The files' names, joined by ", " (as messages and the plan list them).
std::string fileNamesJoined(const std::vector<std::filesystem::path>& paths);

} // namespace bosun
