#pragma once

#include "ToolContext.hpp"

#include <string>
#include <vector>

namespace macsim {

// Chooses the personality from the name the executable was invoked by; "macsim" (or any
// unknown name) runs the set-up commands.
struct Dispatcher {
  static int main(const std::string& invokedAs, const std::vector<std::string>& arguments);
  // Runs one tool in a known root, with the MACSIM_ knobs applied and failures printed.
  static int runTool(const ToolContext& context);
  static bool isTool(const std::string& name);
};

} // namespace macsim
