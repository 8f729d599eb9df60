#pragma once

#include <cstdint>
#include <string>

namespace halyard {

// What one tool run produced. `status` is the exit status; -1 means the tool could not be
// started and -2 that its time limit ran out (standardError then explains). A child ended by a
// signal reports 128 + the signal number, as a shell would (SIGTERM: 143, SIGKILL: 137), so that
// such an end never reads as success nor collides with the two synthetic statuses.
struct ToolProcessResult {
  static constexpr int32_t launchFailedStatus = -1;
  static constexpr int32_t timedOutStatus = -2;

  int32_t status = 0;
  std::string standardOutput;
  std::string standardError;

  bool succeeded() const { return status == 0; }

  // Both streams trimmed, empty ones dropped, standard output first, joined by one "\n".
  std::string combined() const;
};

} // namespace halyard
