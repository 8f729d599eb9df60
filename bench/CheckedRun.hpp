#pragma once

#include <exception>
#include <map>
#include <string>
#include <vector>

#include "support/ChildRun.hpp"

namespace bosun::bench {

// A set-up step of a benchmark: the program run through the tests' child-process helper with
// exactly `environment`; true when it exits 0.
inline bool runChecked(const std::string& program, const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment) {
  bosun::testing::RunOptions options;
  options.executable = program;
  options.arguments = arguments;
  options.baseEnvironment = environment;
  try {
    return bosun::testing::runProgram(options).exitedWith(0);
  } catch (const std::exception&) {
    return false;
  }
}

} // namespace bosun::bench
