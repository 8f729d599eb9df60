#pragma once

#include <concepts>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// How a component runs one tool. The tool families (Gatekeeper, Packages) build the command line
// and read what comes back; the caller says how the child runs: a component's settings from the
// catalogue with a time limit, or its own function (a runner with further settings of its own, a
// stand-in in tests).
class ToolRun {
public:
  using Function = std::function<ToolProcessResult(const char* executable,
                                                   const std::vector<std::string>& arguments)>;

  // ProcessRunner with the component's settings (AppleTools::request) and this time limit.
  ToolRun(AppleTools::Runner runner, double timeout);

  template <typename F>
  requires(!std::same_as<F, ToolRun> &&
           std::is_invocable_r_v<ToolProcessResult, const F&, const char*,
                                 const std::vector<std::string>&>) ToolRun(F function)
      : function_(std::move(function)) {}

  ToolProcessResult operator()(const char* executable,
                               const std::vector<std::string>& arguments) const {
    return function_(executable, arguments);
  }

private:
  Function function_;
};

} // namespace halyard
