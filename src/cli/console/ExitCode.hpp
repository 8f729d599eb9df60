#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace bosun {

// The stable exit codes of the program. The numbers are part of the external interface: scripts
// and CI systems test them, so a number is never reused or changed.
enum class ExitCode : std::int32_t {
  success = 0,
  failure = 1,
  usage = 2,
  configuration = 3,
  credentials = 4,
  input = 5,
  signing = 10,
  notarization = 11,
  stapling = 12,
  build = 13,
  verification = 14,
  timeout = 20,
  cancelled = 130,
};

// Every case, in the order of the exit-code table.
inline constexpr std::array<ExitCode, 13> kAllExitCodes = {
    ExitCode::success,     ExitCode::failure, ExitCode::usage,        ExitCode::configuration,
    ExitCode::credentials, ExitCode::input,   ExitCode::signing,      ExitCode::notarization,
    ExitCode::stapling,    ExitCode::build,   ExitCode::verification, ExitCode::timeout,
    ExitCode::cancelled,
};

// The process exit status of a code.
constexpr int exitCodeNumber(ExitCode code) {
  return static_cast<int>(code);
}

// The lower-case case name ("success", "usage", ...), also the "class" of a JSON error event.
std::string_view exitCodeName(ExitCode code);

// The one-sentence description shown by `bosun help exit-codes`.
std::string_view exitCodeSummary(ExitCode code);

// The code with this number, or no value for an unassigned number.
std::optional<ExitCode> exitCodeFromNumber(std::int64_t number);

} // namespace bosun
