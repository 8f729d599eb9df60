#pragma once

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/console/ExitCode.hpp"
#include "core/Support/Error.hpp"

namespace bosun {

// The one error type of the front end: the exit code the process ends with, the one-line message
// printed after the failure mark, and an optional hint telling the user what to do. Every
// front-end check that fails throws one, built where the failure is found.
//
// As a halyard::Error its domain is "Bosun.cli" and its numeric code the exit code's number;
// code() here returns the ExitCode itself.
class CLIError : public halyard::Error {
public:
  CLIError(ExitCode code, std::string message, std::optional<std::string> hint = std::nullopt);

  ExitCode code() const noexcept { return code_; }
  const std::string& message() const noexcept { return message_; }
  const std::optional<std::string>& hint() const noexcept { return hint_; }

  // The one place where any error becomes an exit code and a message. First match wins:
  // 1. a CLIError, unchanged;
  // 2. a cancellation (halyard::CancellationError): "cancelled", "Cancelled.";
  // 3. a signal is being handled (ProcessRegistry is cancelling): "cancelled", "Cancelled.";
  // 4. an artifact notarization error: its description, and by case "input" (unsupported type,
  //    missing file), "signing", "notarization", "stapling" (stapling or validation failed) or
  //    "timeout";
  // 5. a halyard::Error of domain "Halyard.process" with code -2 (a tool run timed out):
  //    "timeout" with its description;
  // 6. a signing identity listing that got no answer from `security`: "timeout" when it hung,
  //    "configuration" when it could not start, with its description;
  // 7. anything else: defaultCode with the error's description.
  static CLIError from(const std::exception& error, ExitCode defaultCode);
  // The same for a caught exception of any type (an exception that is not a std::exception
  // becomes defaultCode with "Unexpected error.").
  static CLIError from(const std::exception_ptr& error, ExitCode defaultCode);

  // A configured identity that no installed one answers to (a credentials error): `subject` is
  // "signing identity" or "installer identity"; the hint lists the installed names, or is
  // `hintWhenNone` when there are none.
  static CLIError identityNotFound(const std::string& subject, const std::string& configured,
                                   const std::vector<std::string>& installed,
                                   std::string hintWhenNone);

private:
  ExitCode code_;
  std::string message_;
  std::optional<std::string> hint_;
};

} // namespace bosun
