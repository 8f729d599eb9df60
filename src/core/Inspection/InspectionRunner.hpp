#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// The result of one tool run of the inspection: status, both outputs and their combined text.
using ProcessOutcome = ToolProcessResult;

// The inspection's own tool runner. It never throws: a tool that cannot start gives status -1
// with the reason, a tool that runs past its limit is stopped and gives status -2, the output it
// wrote so far and "Timed out after N seconds.".
struct InspectionRunner {
  // How the inspection runs a tool; tests substitute their own.
  using Function = std::function<ProcessOutcome(
      const std::filesystem::path& executable, const std::vector<std::string>& arguments,
      double timeout, const std::optional<std::string>& standardInput)>;

  // The time limits of the inspection's tool runs, in seconds.
  static constexpr double queryLimit = 90;             // one question about a file
  static constexpr double listingLimit = 30;           // `hdiutil info`
  static constexpr double detachLimit = 60;            // `hdiutil detach`
  static constexpr double expansionLimit = 300;        // `pkgutil --expand-full`
  static constexpr double deepVerificationLimit = 600; // `codesign --verify --deep`

  // `executable` is a platform path such as /usr/bin/codesign.
  static ProcessOutcome run(const std::filesystem::path& executable,
                            const std::vector<std::string>& arguments, double timeout,
                            const std::optional<std::string>& standardInput = std::nullopt);

  // `run` as a Function.
  static Function standard();

  // `run` with this time limit and no standard input, for the tool families' interfaces; `run`
  // must outlive the result.
  static ToolRun bound(const Function& run, double timeout);
};

} // namespace halyard
