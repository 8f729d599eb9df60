#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "StandInRoot.hpp"

using bosun::testing::fileContents;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
namespace fs = std::filesystem;

namespace {

// Whole runs of each command under the stand-ins, compared with the transcripts kept in
// tests/golden: everything a user sees, in order, with the exit status. Paths of the run and
// what changes from run to run (identifiers, times, digests) are replaced by placeholders.
// BOSUN_UPDATE_GOLDEN=1 writes the transcripts from the runs instead; read the difference before
// committing it.
class GoldenRuns : public ::testing::Test {
protected:
  StandInRoot stand;
  fs::path release;

  void SetUp() override {
    stand.addReleaseSetUp();
    release = stand.makeReleaseFolder();
    std::ofstream(release / "License.txt") << "You may use Sample on any Mac you own.\n";
  }

  std::string normalised(std::string text) const {
    const std::pair<std::string, std::string> paths[] = {
        {stand.root().string(), "<root>"},
        {stand.work().string(), "<work>"},
        {stand.home().string(), "<home>"},
    };
    for (const auto& [path, placeholder] : paths) {
      for (size_t at = text.find(path); at != std::string::npos; at = text.find(path, at))
        text.replace(at, path.size(), placeholder);
    }
    const std::pair<std::regex, std::string> patterns[] = {
        {std::regex("[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}"),
         "<id>"},
        {std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}[T ][0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]+)?Z?"),
         "<time>"},
        {std::regex("[0-9]{1,2} [A-Z][a-z]{2} [0-9]{4} at [0-9]{2}:[0-9]{2}:[0-9]{2}"), "<time>"},
        {std::regex("\\b[0-9a-f]{64}\\b"), "<digest>"},
        // The default number of signing jobs follows the machine's processors.
        {std::regex("(signingJobs +)[0-9]+"), "$1<jobs>"},
    };
    for (const auto& [pattern, placeholder] : patterns)
      text = std::regex_replace(text, pattern, placeholder);
    return text;
  }

  // Runs `bosun ARGUMENTS` in the work folder and appends its transcript.
  void run(std::string& transcript, const std::vector<std::string>& arguments) const {
    const RunResult result = stand.bosun(arguments);
    std::string line = "$ bosun";
    for (const auto& argument : arguments)
      line += " " + argument;
    transcript += normalised(line) + "\n--- standard output\n" + normalised(result.standardOutput) +
                  "--- standard error\n" + normalised(result.standardError) + "--- exit " +
                  (result.signal ? "signal " + std::to_string(result.signal)
                                 : std::to_string(result.status)) +
                  "\n\n";
  }

  void compare(const std::string& name, const std::string& transcript) const {
    const fs::path file = fs::path(SOURCE_ROOT) / "tests" / "golden" / (name + ".txt");
    if (const char* update = std::getenv("BOSUN_UPDATE_GOLDEN"); update && *update == '1') {
      std::ofstream(file, std::ios::binary | std::ios::trunc) << transcript;
      return;
    }
    EXPECT_EQ(transcript, fileContents(file))
        << "differs from " << file << "; BOSUN_UPDATE_GOLDEN=1 rewrites it";
  }
};

TEST_F(GoldenRuns, AReleaseAndItsFile) {
  std::string transcript;
  const std::vector<std::string> identity = {"--identity", "A1B2C3D4E5", "--profile",
                                             StandInRoot::profile};
  auto with = [&identity](std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), identity.begin(), identity.end());
    return arguments;
  };
  run(transcript, with({"start", "Release", "--dry-run", "--verbose"}));
  run(transcript, with({"start", "Release"}));
  run(transcript, {"verify", "Release/Release.dmg"});
  run(transcript, {"inspect", "Release/Release.dmg"});
  run(transcript,
      with({"start", "Release", "--format", "pkg", "--installer-identity", "A1B2C3D4E5"}));
  run(transcript, {"verify", "Release/Release.pkg"});
  run(transcript, {"start", "Release", "--no-sign", "--no-notarize", "--overwrite"});
  run(transcript, with({"start", "Release", "--json", "--no-notarize", "--overwrite"}));
  run(transcript, with({"notarize", "Release/Release.dmg", "--json"}));
  compare("release", transcript);
}

TEST_F(GoldenRuns, RefusalsAndTheirHints) {
  std::string transcript;
  run(transcript, {"start", "Release", "--no-sign"});
  run(transcript, {"start", "Release", "--identity", "Nobody", "--profile", StandInRoot::profile});
  run(transcript, {"start", "Missing"});
  compare("refusals", transcript);
}

TEST_F(GoldenRuns, DoctorAndSetup) {
  std::string transcript;
  run(transcript, {"doctor", "Release", "--offline"});
  run(transcript, {"setup", "--identity", "A1B2C3D4E5", "--profile", StandInRoot::profile});
  run(transcript, {"setup", "--show"});
  // Offline, the credentials are named and not checked with Apple.
  run(transcript, {"doctor", "Release", "--offline"});
  compare("machine", transcript);
}

} // namespace
