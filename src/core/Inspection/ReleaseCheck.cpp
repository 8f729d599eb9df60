#include "core/Inspection/ReleaseCheck.hpp"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>

#include "core/Notarization/Stapler.hpp"
#include "core/PKG/Packages.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcessResult.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

struct CheckRun {
  int32_t status;
  std::string output;      // both streams, in the order written
  std::string explanation; // the runner's text when the run did not finish
};

CheckRun runMerged(const char* executable, std::vector<std::string> arguments, double limit) {
  const auto result = ProcessRunner::run(AppleTools::request(
      AppleTools::Runner::releaseCheck, executable, std::move(arguments), limit));
  return {result.status, result.standardOutput, text::trimmed(result.standardError)};
}

using text::contains;
using text::containsIgnoringCase;

std::string pathText(const std::filesystem::path& file) {
  return file.string();
}

std::string lastComponent(const std::filesystem::path& file) {
  // "MyApp.app/" names the same file as "MyApp.app".
  if (!file.has_filename() && file.has_parent_path()) return file.parent_path().filename().string();
  return file.filename().string();
}

Gatekeeper::Kind gatekeeperKind(ReleaseCheck::Kind kind) {
  switch (kind) {
  case ReleaseCheck::Kind::app:
    return Gatekeeper::Kind::execute;
  case ReleaseCheck::Kind::dmg:
    return Gatekeeper::Kind::open;
  case ReleaseCheck::Kind::pkg:
    break;
  }
  return Gatekeeper::Kind::install;
}

// Runs the check, turning anything unexpected (no memory, no thread for the runner) into a
// failed status: the checks never throw.
template <typename Check> ReleaseCheckStatus guarded(Check&& check) {
  try {
    return check();
  } catch (const std::exception& error) {
    return ReleaseCheckStatus::failed(error.what());
  } catch (...) {
    return ReleaseCheckStatus::failed("The check could not be run");
  }
}

} // namespace

std::optional<std::string> ReleaseCheck::firstMeaningfulLine(std::string_view output) {
  size_t start = 0;
  while (start <= output.size()) {
    auto end = output.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = output.size();
    auto line = text::trimmed(output.substr(start, end - start));
    if (!line.empty() && !line.starts_with("Processing:")) return line;
    if (end == output.size()) break;
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<ReleaseCheckStatus>
ReleaseCheck::signatureVerificationFailure(int32_t status, std::string_view output) {
  if (status == 0) return std::nullopt;
  if (containsIgnoringCase(output, "not signed at all"))
    return ReleaseCheckStatus::failed("Not signed");
  return ReleaseCheckStatus::failed(
      firstMeaningfulLine(output).value_or("The signature is invalid"));
}

ReleaseCheckStatus ReleaseCheck::signingAuthorityStatus(std::string_view output) {
  if (contains(output, "Authority=Developer ID Application")) return ReleaseCheckStatus::passed();
  return ReleaseCheckStatus::failed("Not signed with a Developer ID Application certificate");
}

ReleaseCheckStatus ReleaseCheck::packageSigningStatus(const PackageSignatureFacts& signature) {
  if (!signature.isSigned) return ReleaseCheckStatus::failed("Not signed");
  if (signature.developerIDInstaller) return ReleaseCheckStatus::passed();
  return ReleaseCheckStatus::failed("Not signed with a Developer ID Installer certificate");
}

ReleaseCheckStatus ReleaseCheck::notarizationStatus(const Gatekeeper::Assessment& assessment) {
  if (assessment.accepted() && assessment.notarized()) return ReleaseCheckStatus::passed();
  if (assessment.unnotarizedDeveloperID())
    return ReleaseCheckStatus::failed("Signed, but Apple has no notarization ticket for it");
  if (assessment.rejected) return ReleaseCheckStatus::failed("Gatekeeper rejects it");
  return ReleaseCheckStatus::failed(
      firstMeaningfulLine(assessment.text()).value_or("Not notarized"));
}

ReleaseCheckStatus ReleaseCheck::staplingStatus(const Stapler::Validation& validation) {
  if (validation.validated()) return ReleaseCheckStatus::passed();
  if (validation.noTicket()) return ReleaseCheckStatus::failed("No ticket stapled");
  return ReleaseCheckStatus::failed(
      firstMeaningfulLine(validation.run.standardOutput).value_or("No ticket stapled"));
}

std::optional<ReleaseCheckStatus> ReleaseCheck::unfinishedRunFailure(int32_t status,
                                                                     std::string_view toolName,
                                                                     std::string_view explanation,
                                                                     double toolTimeLimit) {
  const std::string tool(toolName);
  if (status == ToolProcessResult::launchFailedStatus) {
    const auto why = text::trimmed(explanation);
    return ReleaseCheckStatus::failed(why.empty() ? "Could not run " + tool
                                                  : "Could not run " + tool + ": " + why);
  }
  if (status == ToolProcessResult::timedOutStatus)
    return ReleaseCheckStatus::failed(tool + " did not finish within " +
                                      fmt::format("{:g}", toolTimeLimit) +
                                      " seconds and was stopped");
  return std::nullopt;
}

ReleaseCheckStatus ReleaseCheck::checkSigning(const std::filesystem::path& file, double limit) {
  return guarded([&] {
    const auto verification = runMerged(
        AppleTools::codesign, {"--verify", "--strict", "--verbose=2", pathText(file)}, limit);
    if (auto failure =
            unfinishedRunFailure(verification.status, "codesign", verification.explanation, limit))
      return *failure;
    if (auto failure = signatureVerificationFailure(verification.status, verification.output))
      return *failure;

    const auto details = runMerged(AppleTools::codesign, {"-dvv", pathText(file)}, limit);
    if (auto failure = unfinishedRunFailure(details.status, "codesign", details.explanation, limit))
      return *failure;
    return signingAuthorityStatus(details.output);
  });
}

ReleaseCheckStatus ReleaseCheck::checkPackageSigning(const std::filesystem::path& file,
                                                     double limit) {
  return guarded([&] {
    const auto signature =
        Packages::checkSignature(file, {AppleTools::Runner::releaseCheck, limit});
    if (auto failure = unfinishedRunFailure(signature.run.status, "pkgutil",
                                            signature.run.standardError, limit))
      return *failure;
    return packageSigningStatus(signature);
  });
}

ReleaseCheckStatus ReleaseCheck::checkNotarization(const std::filesystem::path& file, Kind kind,
                                                   double limit) {
  return guarded([&] {
    const auto assessment =
        Gatekeeper::assess(gatekeeperKind(kind), file, {AppleTools::Runner::releaseCheck, limit});
    if (auto failure = unfinishedRunFailure(assessment.run.status, "spctl",
                                            assessment.run.standardError, limit))
      return *failure;
    return notarizationStatus(assessment);
  });
}

ReleaseCheckStatus ReleaseCheck::checkStapling(const std::filesystem::path& file, double limit) {
  return guarded([&] {
    const auto validation = Stapler::validate(file, {AppleTools::Runner::releaseCheck, limit});
    if (auto failure = unfinishedRunFailure(validation.run.status, "stapler",
                                            validation.run.standardError, limit))
      return *failure;
    return staplingStatus(validation);
  });
}

ReleaseCheckResult ReleaseCheck::run(const std::filesystem::path& file, Kind kind, double limit) {
  ReleaseCheckResult result;
  result.fileName = lastComponent(file);
  result.signing = kind == Kind::pkg ? checkPackageSigning(file, limit) : checkSigning(file, limit);
  result.notarization = checkNotarization(file, kind, limit);
  result.stapling = checkStapling(file, limit);
  try {
    HalyardCoreLog::noteMessage("Release check: " + result.logLine());
  } catch (...) {
    // A failing log hook must not turn the finished checks into an error.
  }
  return result;
}

} // namespace halyard
