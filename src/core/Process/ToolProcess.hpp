#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// The shared runner: one tool, argument vector, standard input the null device, both streams
// captured completely, and a time limit after which the child is sent SIGTERM and the caller
// gets status -2 ("Timed out after N seconds.") at once. Never throws.
struct ToolProcess {
  static ToolProcessResult run(const std::filesystem::path& executable,
                               const std::vector<std::string>& arguments, double timeout);
};

} // namespace halyard
