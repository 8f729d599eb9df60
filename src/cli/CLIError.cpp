#include "cli/CLIError.hpp"

#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/CancellationError.hpp"

namespace bosun {

namespace {
constexpr const char* kCancelledMessage = "Cancelled.";
constexpr const char* kProcessDomain = "Halyard.process";
constexpr int kTimedOutStatus = -2;
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
  // Errors of the components (artifact and app-bundle notarization) get their own rules here
  // when those components arrive.
  if (const auto* coreError = dynamic_cast<const halyard::Error*>(&error)) {
    if (coreError->domain() == kProcessDomain && coreError->code() == kTimedOutStatus) {
      return CLIError(ExitCode::timeout, coreError->description());
    }
  }
  return CLIError(defaultCode, error.what());
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
