#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/console/Console.hpp"
#include "cli/console/ExitCode.hpp"
#include "core/Process/DeveloperToolLocation.hpp"
#include "core/Signing/KeychainStatus.hpp"

namespace bosun {

class ConfigurationResolver;
struct ParsedArguments;

// `bosun doctor [folder] [--offline]`: checks everything a release needs before one is attempted
// (the system, the platform tools, the configuration files, the signing identities and the
// notarization credentials) and lists every effective setting with its source. It changes
// nothing. Every check runs; the exit code is that of the first finding that carries one, so a
// script can use doctor as a gate.
//
// Text mode: one check line per finding on standard error as it is found, then the settings
// listing on standard output. JSON mode: one "doctor" event with "exitCode", "class",
// "findings" (objects with "area", "label", "status", "detail") and "settings", an object that
// maps each setting's key to {"value" (absent when unset), "source"}.
//
// No tool it runs can make it hang: each has a time limit, and a tool past it becomes a failed
// finding that names the tool, with the exit code `timeout`.
struct DoctorCommand {
  struct Finding {
    std::string area; // "system", "tools", "config", "identities" or "credentials"
    std::string label;
    Console::Mark mark;
    std::string detail;
    std::optional<ExitCode> code; // the exit code this finding imposes, if any

    bool operator==(const Finding&) const = default;
  };

  // The tools that must exist in /usr/bin or /usr/sbin, in the order they are checked.
  static constexpr const char* requiredTools[] = {"codesign", "hdiutil",      "ditto",
                                                  "pkgbuild", "productbuild", "productsign",
                                                  "spctl",    "pkgutil"};
  // The developer tools found through `xcrun --find`.
  static constexpr const char* developerTools[] = {"notarytool", "stapler"};

  // An identity check (area "identities"): none configured is `failed` with `credentials` when
  // the release needs the identity, else `skipped`; a configured name passes when some
  // available identity contains it (case-insensitive), else it is not installed (`credentials`).
  static Finding identityFinding(std::string_view label,
                                 const std::optional<std::string>& configured,
                                 const std::vector<std::string>& available, bool required);

  // A developer tool's finding: passed with its path, else not found (`configuration`), or a
  // time-out.
  static Finding developerToolFinding(const std::string& tool,
                                      const halyard::DeveloperToolLocation& location);

  // The "Keychain" finding: passed when the keychain can be read without a prompt; otherwise a
  // warning with the tool's words and how to unlock it (no exit code: a signing identity may
  // live in another keychain), or a time-out.
  static Finding keychainFinding(const halyard::KeychainStatus& keychain);

  // With an update feed configured: the feed (a well-formed feed, or none yet), the download URL
  // (an https folder) and the signing key (readable; only its public half is shown). Relative
  // feed paths are taken from the release folder. Nothing without a feed.
  static std::vector<Finding> updateFeedFindings(const ConfigurationResolver& configuration,
                                                 const std::filesystem::path& releaseFolder);

  // The code of the first finding that has one, else `success`.
  static ExitCode exitCode(const std::vector<Finding>& findings);

  // The settings listing of text mode: the heading, then one line per setting in table order.
  static std::vector<std::string> settingsListing(const ConfigurationResolver& configuration);

  // The "doctor" event's fields (without "event" and "time").
  static nlohmann::json payload(const std::vector<Finding>& findings,
                                const ConfigurationResolver& configuration);

  static ExitCode run(const ParsedArguments& parsed);
};

} // namespace bosun
