#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "cli/console/ExitCode.hpp"

namespace bosun {

struct ParsedArguments;

// `bosun update [--check]`: fetches the release manifest, records the check for the daily
// notice, and, when a newer release runs on this Mac, downloads and verifies it and replaces the
// running executable in one rename.
//
// Exit codes: up to date and --check 0; a blocked release, a copy that must not or cannot replace
// itself, and a server or network failure 1 (failure); a download whose checksum or signature
// does not match 10 (signing).
struct UpdateCommand {
  static ExitCode run(const ParsedArguments& parsed);

  // The running executable with symbolic links resolved, or no value.
  static std::optional<std::filesystem::path> runningExecutable();
  // Throws the CLIError that keeps `executable` from replacing itself with `latest`: a Homebrew
  // copy, a copy inside the desktop app, or a folder this user cannot write to.
  static void checkReplaceable(const std::filesystem::path& executable, const std::string& latest);
  // Copies `verified` beside `executable` under a hidden partial name, makes it executable and
  // renames it over `executable`. Throws CLIError (failure) and leaves no temporary file.
  // `temporaryChosen` learns the temporary name before the copy starts.
  static void
  install(const std::filesystem::path& verified, const std::filesystem::path& executable,
          const std::function<void(const std::filesystem::path&)>& temporaryChosen = {});
};

} // namespace bosun
