#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace macsim::testing {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// A fresh stand-in root (`macsim init`) in a temporary folder, and a way to run its tools
// through their links as the product does: absolute path, argument vector, no shell.
class StandInFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // `tool` is a personality name ("codesign", "hdiutil", ...); runs ROOT/<its path>.
  RunResult run(const std::string& tool, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment = {},
                const std::string& input = "") const;
  RunResult macsim(const std::vector<std::string>& arguments) const;
  RunResult xcrun(const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment = {}) const {
    return run("xcrun", arguments, environment);
  }

  // A small app: Contents/Info.plist, a universal main executable and one resource file.
  // With `withNested` it also holds a framework, a dylib, a helper app and a helper tool.
  std::filesystem::path makeApp(const std::string& name, bool withNested = false) const;
  void writeFile(const std::filesystem::path& path, const std::string& text) const;
  std::string readFile(const std::filesystem::path& path) const;
  std::string addIdentity(const std::string& name) const; // returns the hash

  static constexpr const char* developerID = "Developer ID Application: Example Corp (A1B2C3D4E5)";
  static constexpr const char* installerID = "Developer ID Installer: Example Corp (A1B2C3D4E5)";

  std::filesystem::path base; // the temporary folder
  std::filesystem::path root; // the stand-in root inside it
  std::filesystem::path work; // a scratch folder for inputs and outputs
};

// Runs an executable with an argument vector and captures both streams.
RunResult spawn(const std::string& executable, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment, const std::string& input);

} // namespace macsim::testing
