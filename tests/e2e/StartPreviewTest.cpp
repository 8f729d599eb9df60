#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "BosunRun.hpp"

using bosun::testing::BosunSandbox;
using bosun::testing::RunResult;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.push_back(entry.path().lexically_relative(folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

// Width and height from a PNG's header: the signature, then the IHDR chunk's length and type,
// then two big-endian 32-bit numbers.
std::pair<uint32_t, uint32_t> pngSize(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_GE(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  const auto number = [&](size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
      value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
  };
  return {number(16), number(20)};
}

// The preview is the DMG's window at twice its size (compact is 960 × 600 points, and the title
// bar 28), with the default artwork and with a template, and the release folder is left as it was.
TEST(StartPreview, WritesTheWindowAtTwiceItsSizeAndNothingElse) {
  struct Case {
    bool withTemplate;
    std::pair<uint32_t, uint32_t> size;
  };
  for (const Case& test : {Case{false, {1920, 1256}}, Case{true, {1920, 1256}}}) {
    BosunSandbox sandbox;
    const fs::path releases = sandbox.home() / "Releases";
    fs::create_directories(releases / "MyApp.app" / "Contents");
    if (test.withTemplate)
      fs::copy_file(fs::path(TEST_DATA_DIR) / "design" / "showcase.hyd", releases / "Look.hyd");
    const auto before = listing(releases);

    const RunResult result = sandbox.run({"start", "Releases", "--no-sign", "--no-notarize",
                                          "--dry-run", "--preview", "window.png"});
    ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
    const fs::path preview = sandbox.home() / "window.png";
    EXPECT_EQ(result.outputLines(),
              (std::vector<std::string>{preview.string(), "Dry run: nothing was changed."}));
    EXPECT_EQ(pngSize(preview), test.size);
    EXPECT_EQ(listing(releases), before);
  }
}

} // namespace
