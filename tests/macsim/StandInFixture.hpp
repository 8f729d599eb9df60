#pragma once

// The stand-ins' own tests: the shared stand-in root, its tools called by name.

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include "StandInRoot.hpp"

namespace macsim::testing {

using bosun::testing::RunResult;

// The member names of an archive, read with libarchive as any archive tool would.
inline std::vector<std::string> archiveMemberNames(const std::string& bytes) {
  std::vector<std::string> names;
  struct archive* archive = archive_read_new();
  archive_read_support_format_all(archive);
  archive_read_support_filter_all(archive);
  if (archive_read_open_memory(archive, bytes.data(), bytes.size()) == ARCHIVE_OK) {
    struct archive_entry* entry = nullptr;
    while (archive_read_next_header(archive, &entry) == ARCHIVE_OK)
      names.push_back(archive_entry_pathname(entry));
  }
  archive_read_free(archive);
  return names;
}

class StandInFixture : public ::testing::Test {
protected:
  // `tool` is a personality name ("codesign", "hdiutil", ...).
  RunResult run(const std::string& tool, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment = {},
                const std::optional<std::string>& input = std::nullopt) const {
    return stand.tool(tool, arguments, environment, input);
  }
  RunResult xcrun(const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment = {}) const {
    return run("xcrun", arguments, environment);
  }
  RunResult macsim(const std::vector<std::string>& arguments) const {
    return stand.macsim(arguments, {{"BOSUN_TOOL_ROOT", root.string()}});
  }

  // A small app (a universal main executable, one resource file); with `withNested` it also
  // holds a framework, a dylib, a helper app and a helper tool.
  std::filesystem::path makeApp(const std::string& name, bool withNested = false) const {
    return stand.makeApp(name, {"com.example." + name, "1.2", {"x86_64", "arm64"}, withNested});
  }
  void writeFile(const std::filesystem::path& path, const std::string& text) const {
    bosun::testing::writeFile(path, text);
  }
  std::string readFile(const std::filesystem::path& path) const {
    return bosun::testing::fileContents(path);
  }
  std::string addIdentity(const std::string& name) const { return stand.addIdentity(name); }
  // Signs as a release does (hardened runtime, secure timestamp), with --deep when asked.
  void signForRelease(const std::filesystem::path& app, bool deep = false,
                      const std::string& identity = developerID) const {
    stand.signApp(app, identity, {}, deep);
  }

  static constexpr const char* developerID = bosun::testing::StandInRoot::application;
  static constexpr const char* installerID = bosun::testing::StandInRoot::installer;

  bosun::testing::StandInRoot stand;
  const std::filesystem::path base = stand.home(); // the temporary folder
  const std::filesystem::path root = stand.root(); // the stand-in root inside it
  const std::filesystem::path work = stand.work(); // a scratch folder for inputs and outputs
};

} // namespace macsim::testing
