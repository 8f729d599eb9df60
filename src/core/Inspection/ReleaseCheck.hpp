#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Inspection/ReleaseCheckResult.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/PKG/PackageSignatureFacts.hpp"
#include "core/Signing/Gatekeeper.hpp"

namespace halyard {

// The three questions a user's Mac asks about a finished app, DMG or PKG: signed with the right
// Developer ID certificate, notarized, ticket stapled. Every check runs its tool with both output
// streams merged into one text and decides from the exit status and that text; checks never
// throw, every problem is a failed status with a reason.
struct ReleaseCheck {
  enum class Kind { app, dmg, pkg };

  // A check tool that has not finished after this long is stopped and its check fails, so that
  // a hung tool cannot hold a release or `verify` forever. The tools normally answer in seconds;
  // Gatekeeper's online ticket look-up is the slowest.
  static constexpr double defaultToolTimeLimit = 300;

  // Signing (package signing for a PKG), then notarization, then stapling, one after another;
  // then "Release check: " + the result's log line to the note hook.
  // `toolTimeLimit` applies to each tool run on its own.
  static ReleaseCheckResult run(const std::filesystem::path& file, Kind kind,
                                double toolTimeLimit = defaultToolTimeLimit);

  static ReleaseCheckStatus checkSigning(const std::filesystem::path& file,
                                         double toolTimeLimit = defaultToolTimeLimit);
  static ReleaseCheckStatus checkPackageSigning(const std::filesystem::path& file,
                                                double toolTimeLimit = defaultToolTimeLimit);
  static ReleaseCheckStatus checkNotarization(const std::filesystem::path& file, Kind kind,
                                              double toolTimeLimit = defaultToolTimeLimit);
  static ReleaseCheckStatus checkStapling(const std::filesystem::path& file,
                                          double toolTimeLimit = defaultToolTimeLimit);

  // The first line of `output` that, trimmed, is not empty and does not begin with
  // "Processing:".
  static std::optional<std::string> firstMeaningfulLine(std::string_view output);

  // The decisions, from a finished tool run's exit status and merged output.
  // Signing step 1 (`codesign --verify --strict`): the failure, or none to go on to step 2.
  static std::optional<ReleaseCheckStatus> signatureVerificationFailure(int32_t status,
                                                                        std::string_view output);
  // Signing step 2 (`codesign -dvv`): which certificate signed it.
  static ReleaseCheckStatus signingAuthorityStatus(std::string_view output);
  static ReleaseCheckStatus packageSigningStatus(const PackageSignatureFacts& signature);
  static ReleaseCheckStatus notarizationStatus(const Gatekeeper::Assessment& assessment);
  static ReleaseCheckStatus staplingStatus(const Stapler::Validation& validation);

  // A run that never finished (status -1: could not start, -2: stopped at its time limit) fails
  // its check with a reason naming the tool; `explanation` is the runner's text for a launch
  // failure.
  static std::optional<ReleaseCheckStatus> unfinishedRunFailure(int32_t status,
                                                                std::string_view toolName,
                                                                std::string_view explanation,
                                                                double toolTimeLimit);
};

} // namespace halyard
