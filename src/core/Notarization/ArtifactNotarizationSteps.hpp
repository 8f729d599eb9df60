#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Notarization/ArtifactKind.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"
#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// The decisions of the artifact coordinator, kept apart from the tool runs so that each rule can
// be checked with made-up results: what a finished step returns or which error it throws, how
// validation outputs combine, how identities are read, which kind a file is.
//
// Every failure text is the step's joined output (trimmed standard error, a line feed, trimmed
// standard output) or, when the tool printed nothing, the step's own fixed sentence.
struct ArtifactNotarizationSteps {
  using Case = ArtifactNotarizationCoordinatorError::Case;

  static constexpr const char* dmgValidationTimeoutNote =
      "DMG validation timed out after notarization. Halyard will continue because notarization "
      "and stapling already completed.";
  static constexpr const char* pkgValidationTimeoutNote =
      "PKG validation timed out after notarization. Halyard will continue because notarization "
      "and stapling already completed.";
  static constexpr const char* pkgSigningSkipped =
      "PKG signing skipped. No Developer ID Installer identity was provided.";
  static constexpr const char* unsupportedTypeText =
      "Only DMG and PKG standalone artifacts are supported by this coordinator. ZIP imports should "
      "already be extracted to a single app bundle before reaching this flow.";
  static constexpr const char* installerPrefix = "Developer ID Installer";
  static constexpr const char* unavailableDigest = "<unavailable>";

  static std::string joinedOutput(const ToolProcessResult& run);

  // The parts that are not empty, separated by a blank line.
  static std::string joinedWithBlankLine(const std::vector<std::string>& parts);

  // A step with one way to fail: the joined output on status 0, else `failure` with the output
  // or `fallback`.
  static std::string checkedOutput(const ToolProcessResult& run, Case failure,
                                   std::string_view fallback);

  // `stapler staple`: `timeout` at the limit, `staplingFailed` otherwise.
  static std::string staplingOutput(const ToolProcessResult& run);

  // `stapler validate` and the kind's second check, both always run. The two joined outputs are
  // combined with a blank line between them. A time-out of either is not a failure: the combined
  // text is returned with the kind's note after a blank line. Otherwise both must have succeeded,
  // else `validationFailed`.
  static std::string validationOutput(ArtifactKind kind, const ToolProcessResult& staple,
                                      const ToolProcessResult& check);

  // The identity to sign a DMG with: trimmed; none when absent or blank.
  static std::optional<std::string> applicationIdentity(const std::optional<std::string>& raw);

  // The identity to sign a PKG with: empty when absent or blank; the trimmed text when it holds
  // "Developer ID Installer" in any letter case; else that prefix, ": " and the trimmed text.
  static std::string normalizedInstallerIdentity(const std::optional<std::string>& raw);

  // By extension, in any letter case: .dmg or .pkg; anything else is unsupportedArtifactType.
  static ArtifactKind detectArtifactKind(const std::filesystem::path& file);

  // The hexadecimal digest at the start of `shasum` output, or "<unavailable>".
  static std::string digest(const ToolProcessResult& run);

  // The standard error of a run stopped at its time limit: "Process timed out: " and the
  // command line.
  static std::string timeoutText(const std::string& executable,
                                 const std::vector<std::string>& arguments);
};

} // namespace halyard
