#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// The shared runner: one tool, argument vector, standard input the null device (or the given
// text, after which it is closed), both streams
// captured completely, and a time limit after which the child is sent SIGTERM (nothing more) and
// the caller gets status -2 ("Timed out after N seconds.") at once; the child is still reaped in
// the background. `executable` is the platform path, mapped through ToolRoot::path. The child is
// registered with ProcessRegistry and reported to the processExited hook when it ends. Never
// throws.
struct ToolProcess {
  static ToolProcessResult run(const std::filesystem::path& executable,
                               const std::vector<std::string>& arguments, double timeout,
                               const std::optional<std::string>& standardInput = std::nullopt);
};

} // namespace halyard
