#pragma once

#include <string>

#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// Where the active developer directory has a tool (notarytool, stapler), as `xcrun --find TOOL`
// answers: a path, no such tool, or no answer within the limit.
struct DeveloperToolLocation {
  enum class Kind { found, missing, timedOut };
  static constexpr double limit = 30; // seconds

  Kind kind = Kind::missing;
  std::string path; // when found

  static DeveloperToolLocation find(const std::string& tool);
  // The answer of one `xcrun --find` run: a path only when it exited 0 and printed one.
  static DeveloperToolLocation read(const ToolProcessResult& result);
};

} // namespace halyard
