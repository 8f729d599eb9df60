#pragma once

#include <filesystem>
#include <string>

#include "cli/console/ExitCode.hpp"
#include "core/Inspection/ReleaseCheck.hpp"

namespace bosun {

struct ParsedArguments;

// `bosun verify <file.app | file.dmg | file.pkg> [--deep]`: the three release checks (signed with
// the right certificate, notarized, ticket stapled), for an app optionally preceded by a deep,
// strict signature verification. One check line per question on standard error, one summary line
// on standard output (or one "summary" event in JSON mode); `verification` when anything failed.
struct VerifyCommand {
  // The deep verification's limit; a bundle large enough to need longer is stopped.
  static constexpr double deepVerificationTimeLimit = 900;

  // What the arguments name, once checked.
  struct Target {
    std::filesystem::path path; // as typed, less any trailing separators
    std::string fileName;       // its last component
    halyard::ReleaseCheck::Kind kind;
    bool deep;
  };

  // Checks the arguments in order (one positional argument, an existing file, a known
  // extension, --deep only for an app) and throws the CLIError of the first that fails.
  static Target checkedTarget(const ParsedArguments& parsed);

  static ExitCode run(const ParsedArguments& parsed);
};

} // namespace bosun
