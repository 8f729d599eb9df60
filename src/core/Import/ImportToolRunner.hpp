#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// The tool runs of the bundle scanner and the import engine: the shared runner with a time limit,
// and a child that outlives it is sent SIGTERM, then SIGINT, then SIGKILL, a quarter second
// apart. A time-out gives status -2, no standard output and as standard error
// "The <step> step timed out after <limit> seconds while running: <tool> <arguments>".
struct ImportToolRunner {
  std::string step; // "scan" or "preparation"
  double timeout = 60;

  ToolProcessResult run(const std::filesystem::path& executable,
                        const std::vector<std::string>& arguments) const;

  // `run` for the tool families' interfaces; this runner must outlive the result.
  ToolRun bound() const {
    return [this](const char* executable, const std::vector<std::string>& arguments) {
      return run(executable, arguments);
    };
  }
};

} // namespace halyard
