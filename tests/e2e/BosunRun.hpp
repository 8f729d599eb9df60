#pragma once

// The built `bosun` run as a child process in a fresh home folder, for end-to-end tests.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/Support/TemporaryFolder.hpp"
#include "support/ChildRun.hpp"

namespace bosun::testing {

// A fresh home folder for a series of runs of the built `bosun`, removed at the end.
class BosunSandbox {
public:
  BosunSandbox() : home_("BosunE2E_") { std::filesystem::create_directories(home_.path() / "tmp"); }

  const std::filesystem::path& home() const { return home_.path(); }

  RunOptions options(std::vector<std::string> arguments) const {
    RunOptions result;
    result.executable = BOSUN_BINARY;
    result.arguments = std::move(arguments);
    result.baseEnvironment = scrubbedEnvironment(home());
    result.workingDirectory = home();
    return result;
  }

  RunResult run(std::vector<std::string> arguments,
                std::map<std::string, std::string> environment = {}) const {
    RunOptions runOptions = options(std::move(arguments));
    runOptions.environment = std::move(environment);
    return runProgram(runOptions);
  }

private:
  halyard::TemporaryFolder home_;
};

} // namespace bosun::testing
