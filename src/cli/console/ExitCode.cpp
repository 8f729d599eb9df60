#include "cli/console/ExitCode.hpp"

namespace bosun {

std::string_view exitCodeName(ExitCode code) {
  switch (code) {
  case ExitCode::success:
    return "success";
  case ExitCode::failure:
    return "failure";
  case ExitCode::usage:
    return "usage";
  case ExitCode::configuration:
    return "configuration";
  case ExitCode::credentials:
    return "credentials";
  case ExitCode::input:
    return "input";
  case ExitCode::signing:
    return "signing";
  case ExitCode::notarization:
    return "notarization";
  case ExitCode::stapling:
    return "stapling";
  case ExitCode::build:
    return "build";
  case ExitCode::verification:
    return "verification";
  case ExitCode::timeout:
    return "timeout";
  case ExitCode::cancelled:
    return "cancelled";
  }
  return "failure";
}

std::string_view exitCodeSummary(ExitCode code) {
  switch (code) {
  case ExitCode::success:
    return "Everything requested succeeded.";
  case ExitCode::failure:
    return "Unexpected error.";
  case ExitCode::usage:
    return "Invalid command, option or argument.";
  case ExitCode::configuration:
    return "Configuration missing or invalid. Run `bosun setup` or `bosun doctor`.";
  case ExitCode::credentials:
    return "Signing identity or notarization credentials missing or rejected.";
  case ExitCode::input:
    return "Input folder, app, template or output problem.";
  case ExitCode::signing:
    return "Code signing or signature verification failed.";
  case ExitCode::notarization:
    return "Apple notarization failed or was rejected.";
  case ExitCode::stapling:
    return "Stapling or staple validation failed.";
  case ExitCode::build:
    return "Building the DMG or PKG failed.";
  case ExitCode::verification:
    return "The file was checked and at least one check did not pass.";
  case ExitCode::timeout:
    return "A step took too long and was stopped.";
  case ExitCode::cancelled:
    return "Cancelled (Ctrl-C or SIGTERM).";
  }
  return "Unexpected error.";
}

std::optional<ExitCode> exitCodeFromNumber(std::int64_t number) {
  for (ExitCode code : kAllExitCodes) {
    if (exitCodeNumber(code) == number) return code;
  }
  return std::nullopt;
}

} // namespace bosun
