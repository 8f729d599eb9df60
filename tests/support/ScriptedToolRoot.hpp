#pragma once

// A throw-away tool root whose tools are small shell scripts written by the test, for what the
// stand-in tools cannot show: the exact command lines a component runs, in order. Anything a real
// tool could answer (output, failures, delays) comes from the stand-ins and their MACSIM_ knobs.
// Installing one points BOSUN_TOOL_ROOT at it; the previous value comes back afterwards.

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/Support/TemporaryFolder.hpp"

namespace halyard::testing {

class ScriptedToolRoot {
public:
  ScriptedToolRoot() : folder_("ScriptedToolRoot_") {
    if (const char* previous = std::getenv("BOSUN_TOOL_ROOT")) previous_ = previous;
    ::setenv("BOSUN_TOOL_ROOT", folder_.path().c_str(), 1);
  }
  ~ScriptedToolRoot() {
    if (previous_)
      ::setenv("BOSUN_TOOL_ROOT", previous_->c_str(), 1);
    else
      ::unsetenv("BOSUN_TOOL_ROOT");
  }
  ScriptedToolRoot(const ScriptedToolRoot&) = delete;
  ScriptedToolRoot& operator=(const ScriptedToolRoot&) = delete;

  const std::filesystem::path& root() const { return folder_.path(); }

  // Writes the tool at its platform path (for example "/usr/bin/codesign") as a script with
  // `body` after the "#!/bin/sh" line.
  void addTool(const std::string& platformPath, const std::string& body) const {
    const auto file = root() / std::filesystem::path(platformPath).relative_path();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    ::chmod(file.c_str(), 0755);
  }

  // A tool that records each of its arguments on a line of its own in `log` (a file name in the
  // root), then runs `body`.
  void addRecordingTool(const std::string& platformPath, const std::string& log,
                        const std::string& body) const {
    addTool(platformPath, "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                              (root() / log).string() + "'; done\n" + body);
  }

  std::vector<std::string> recordedLines(const std::string& log) const {
    std::ifstream stream(root() / log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);)
      lines.push_back(line);
    return lines;
  }

private:
  TemporaryFolder folder_;
  std::optional<std::string> previous_;
};

} // namespace halyard::testing
