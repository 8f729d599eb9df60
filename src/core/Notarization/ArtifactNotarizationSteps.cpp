#include "core/Notarization/ArtifactNotarizationSteps.hpp"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

std::string orFallback(std::string text, std::string_view fallback) {
  return text.empty() ? std::string(fallback) : text;
}

[[noreturn]] void fail(ArtifactNotarizationSteps::Case failure, std::string text) {
  throw ArtifactNotarizationCoordinatorError(failure, std::move(text));
}

} // namespace

std::string ArtifactNotarizationSteps::joinedOutput(const ToolProcessResult& run) {
  return text::joinedOutput(run.standardError, run.standardOutput);
}

std::string ArtifactNotarizationSteps::joinedWithBlankLine(const std::vector<std::string>& parts) {
  std::vector<std::string> present;
  std::copy_if(parts.begin(), parts.end(), std::back_inserter(present),
               [](const std::string& part) { return !part.empty(); });
  return text::joined(present, "\n\n");
}

std::string ArtifactNotarizationSteps::checkedOutput(const ToolProcessResult& run, Case failure,
                                                     std::string_view fallback) {
  std::string output = joinedOutput(run);
  if (run.status != 0) fail(failure, orFallback(std::move(output), fallback));
  return output;
}

std::string ArtifactNotarizationSteps::staplingOutput(const ToolProcessResult& run) {
  std::string output = joinedOutput(run);
  if (run.status == ToolProcessResult::timedOutStatus) {
    fail(Case::timeout,
         orFallback(std::move(output), "Stapling timed out before it could finish."));
  }
  if (run.status != 0) {
    fail(Case::staplingFailed,
         orFallback(std::move(output), "stapler exited with status " + std::to_string(run.status) +
                                           " and printed nothing."));
  }
  return output;
}

std::string ArtifactNotarizationSteps::validationOutput(ArtifactKind kind,
                                                        const ToolProcessResult& staple,
                                                        const ToolProcessResult& check) {
  const std::string combined = joinedWithBlankLine({joinedOutput(staple), joinedOutput(check)});
  if (staple.status == ToolProcessResult::timedOutStatus ||
      check.status == ToolProcessResult::timedOutStatus) {
    const char* note =
        kind == ArtifactKind::dmg ? dmgValidationTimeoutNote : pkgValidationTimeoutNote;
    return joinedWithBlankLine({combined, note});
  }
  if (staple.status == 0 && check.status == 0) return combined;
  // Only what failed is told, each with what checked it: a passing check's words ("The validate
  // action worked!") would read as the reason.
  const auto told = [](const char* what, const ToolProcessResult& run) {
    const std::string output = joinedOutput(run);
    return output.empty() ? std::string(what) + " (status " + std::to_string(run.status) + ")."
                          : std::string(what) + ": " + output;
  };
  std::vector<std::string> failures;
  if (staple.status != 0) failures.push_back(told("The stapled ticket did not validate", staple));
  if (check.status != 0) {
    failures.push_back(told(kind == ArtifactKind::dmg ? "Gatekeeper rejected the DMG"
                                                      : "The package signature check failed",
                            check));
  }
  fail(Case::validationFailed, joinedWithBlankLine(failures));
}

std::optional<std::string>
ArtifactNotarizationSteps::applicationIdentity(const std::optional<std::string>& raw) {
  if (!raw) return std::nullopt;
  std::string identity = text::trimmed(*raw);
  if (identity.empty()) return std::nullopt;
  return identity;
}

std::string
ArtifactNotarizationSteps::normalizedInstallerIdentity(const std::optional<std::string>& raw) {
  const auto identity = applicationIdentity(raw);
  if (!identity) return {};
  if (text::lowercasedASCII(*identity).find(text::lowercasedASCII(installerPrefix)) !=
      std::string::npos) {
    return *identity;
  }
  return std::string(installerPrefix) + ": " + *identity;
}

ArtifactKind ArtifactNotarizationSteps::detectArtifactKind(const std::filesystem::path& file) {
  const std::string extension = text::lowercasedASCII(file.extension().string());
  if (extension == ".dmg") return ArtifactKind::dmg;
  if (extension == ".pkg") return ArtifactKind::pkg;
  fail(Case::unsupportedArtifactType, unsupportedTypeText);
}

std::string ArtifactNotarizationSteps::digest(const ToolProcessResult& run) {
  const std::string output = text::trimmed(run.standardOutput);
  const size_t end = output.find_first_of(" \t\n");
  const std::string first = output.substr(0, end);
  const bool hexadecimal =
      !first.empty() && std::all_of(first.begin(), first.end(),
                                    [](unsigned char c) { return std::isxdigit(c) != 0; });
  return run.status == 0 && hexadecimal ? first : unavailableDigest;
}

std::string ArtifactNotarizationSteps::timeoutText(const std::string& executable,
                                                   const std::vector<std::string>& arguments) {
  std::vector<std::string> parts{executable};
  parts.insert(parts.end(), arguments.begin(), arguments.end());
  return "Process timed out: " + text::joined(parts, " ");
}

} // namespace halyard
