#include "cli/console/CLIError.hpp"

#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Signing/SigningIdentityListingError.hpp"
#include "core/Support/CancellationError.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {
constexpr const char* kCancelledMessage = "Cancelled.";

ExitCode artifactNotarizationCode(halyard::ArtifactNotarizationCoordinatorError::Case errorCase) {
  using Case = halyard::ArtifactNotarizationCoordinatorError::Case;
  switch (errorCase) {
  case Case::unsupportedArtifactType:
  case Case::missingArtifact:
    return ExitCode::input;
  case Case::signingFailed:
    return ExitCode::signing;
  case Case::notarizationFailed:
    return ExitCode::notarization;
  case Case::staplingFailed:
  case Case::validationFailed:
    return ExitCode::stapling;
  case Case::timeout:
    return ExitCode::timeout;
  }
  return ExitCode::failure;
}
} // namespace

CLIError::CLIError(ExitCode code, std::string message, std::optional<std::string> hint)
    : halyard::Error("Bosun.cli", exitCodeNumber(code), message), code_(code),
      message_(std::move(message)), hint_(std::move(hint)) {}

CLIError CLIError::from(const std::exception& error, ExitCode defaultCode) {
  if (const auto* cliError = dynamic_cast<const CLIError*>(&error)) return *cliError;
  if (dynamic_cast<const halyard::CancellationError*>(&error) != nullptr ||
      halyard::ProcessRegistry::shared().isCancelling()) {
    return CLIError(ExitCode::cancelled, kCancelledMessage);
  }
  if (const auto* artifactError =
          dynamic_cast<const halyard::ArtifactNotarizationCoordinatorError*>(&error)) {
    // notarytool's words for a keychain profile that does not exist: missing credentials, not
    // a notarization that failed.
    if (artifactError->isMissingKeychainProfile()) {
      return CLIError(ExitCode::credentials, artifactError->description(),
                      "Create the profile with `bosun setup`, or check the --profile name.");
    }
    return CLIError(artifactNotarizationCode(artifactError->errorCase()),
                    artifactError->description());
  }
  // The app-bundle notarization errors get their own rule here when that component arrives.
  if (const auto* coreError = dynamic_cast<const halyard::Error*>(&error)) {
    if (coreError->domain() == halyard::CoreCommandError::domainName &&
        coreError->code() == halyard::CoreCommandError::timeoutCode) {
      return CLIError(ExitCode::timeout, coreError->description());
    }
  }
  if (const auto* listingError =
          dynamic_cast<const halyard::SigningIdentityListingError*>(&error)) {
    return CLIError(listingError->errorCase() ==
                            halyard::SigningIdentityListingError::Case::timedOut
                        ? ExitCode::timeout
                        : ExitCode::configuration,
                    listingError->description());
  }
  return CLIError(defaultCode, error.what());
}

CLIError CLIError::identityNotFound(const std::string& subject, const std::string& configured,
                                    const std::vector<std::string>& installed,
                                    std::string hintWhenNone) {
  return CLIError(ExitCode::credentials,
                  "The " + subject + " \"" + configured + "\" was not found in your keychain.",
                  installed.empty() ? std::move(hintWhenNone)
                                    : "Available: " + halyard::text::joined(installed, "; "));
}

CLIError CLIError::from(const std::exception_ptr& error, ExitCode defaultCode) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::exception& caught) {
    return from(caught, defaultCode);
  } catch (...) {
  }
  if (halyard::ProcessRegistry::shared().isCancelling()) {
    return CLIError(ExitCode::cancelled, kCancelledMessage);
  }
  return CLIError(defaultCode, "Unexpected error.");
}

} // namespace bosun
