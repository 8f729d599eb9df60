#pragma once

// A fresh stand-in root for the disk-image families, with TMPDIR pointing at an empty folder and
// the core log hooks collected. Every test ends by checking that no image is left attached
// (`hdiutil info -plist`) and nothing is left in the temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/DiskImage/ModernDiskImageTool.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard::testing {

class DiskImageStandInTest : public ::testing::Test {
protected:
  TemporaryFolder base{"DiskImageStandIn_"};
  std::filesystem::path root = base.path() / "root";
  std::filesystem::path temporary = base.path() / "tmp";
  std::filesystem::path work = base.path() / "work";
  std::vector<std::string> notes;
  std::vector<std::string> debugs;

  void SetUp() override {
    ::unsetenv("BOSUN_TOOL_ROOT"); // macsim itself is not a platform tool
    std::filesystem::create_directories(temporary);
    std::filesystem::create_directories(work);
    CoreCommand::run(MACSIM_BINARY, {"init", root.string(), "--macos", "27.0"}, 60);
    ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
    if (const char* value = std::getenv("TMPDIR")) savedTemporary_ = value;
    ::setenv("TMPDIR", temporary.c_str(), 1);
    HalyardCoreLog::note = [this](const std::string& text) { notes.push_back(text); };
    HalyardCoreLog::debug = [this](const std::string& text) { debugs.push_back(text); };
  }

  void TearDown() override {
    for (const auto& name : knobs_)
      ::unsetenv(name.c_str());
    ModernDiskImageTool().ejectRemaining();
    EXPECT_EQ(attachedImages(), std::vector<std::string>{}) << "an image was left attached";
    EXPECT_TRUE(std::filesystem::is_empty(temporary)) << "something was left in TMPDIR";
    HalyardCoreLog::note = nullptr;
    HalyardCoreLog::debug = nullptr;
    if (savedTemporary_)
      ::setenv("TMPDIR", savedTemporary_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
    ::unsetenv("BOSUN_TOOL_ROOT");
  }

  // Sets a MACSIM_ knob until the end of the test (or until clearKnobs).
  void knob(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
    knobs_.push_back(name);
  }
  void clearKnobs() {
    for (const auto& name : knobs_)
      ::unsetenv(name.c_str());
    knobs_.clear();
  }

  // The image paths that `hdiutil info -plist` lists.
  std::vector<std::string> attachedImages() const {
    const auto info = PropertyList::parseToolOutput(CoreCommand::captureData(
        AppleTools::hdiutil, {"info", "-plist"}, AppleTools::quickQueryLimit));
    std::vector<std::string> images;
    for (plist_t image : PropertyList::elements(info.arrayItem("images")))
      images.push_back(PropertyList::string(image, "image-path").value_or("?"));
    return images;
  }

  // The notes that start with `prefix`.
  std::vector<std::string> notesStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& text : notes)
      if (text.rfind(prefix, 0) == 0) found.push_back(text);
    return found;
  }

private:
  std::optional<std::string> savedTemporary_;
  std::vector<std::string> knobs_;
};

} // namespace halyard::testing
