#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "BosunRun.hpp"
#include "StandInRoot.hpp"
#include "core/Design/StickerPictureLoader.hpp"

using bosun::testing::BosunSandbox;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
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

// `inspect --preview` of a DMG bosun built draws the window the dry run of the same release drew:
// read back from the volume's .DS_Store, background picture and app bundle (icon included).
TEST(StartPreview, InspectingTheBuiltDMGDrawsTheWindowOfTheDryRun) {
  StandInRoot stand;
  const fs::path release = stand.work() / "Release";
  fs::create_directories(release);
  const fs::path app = release / "Sample.app";
  fs::rename(stand.makeApp("Sample"), app);
  // The icon: one PNG image in an icon family file, named by the Info.plist.
  const std::string png =
      bosun::testing::fileContents(fs::path(TEST_DATA_DIR) / "design" / "symbols.png");
  const auto bigEndian = [](std::size_t value) {
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 8), static_cast<char>(value)};
  };
  bosun::testing::writeFile(app / "Contents" / "Resources" / "Icon.icns",
                            "icns" + bigEndian(png.size() + 16) + "ic10" +
                                bigEndian(png.size() + 8) + png);
  std::string info = bosun::testing::fileContents(app / "Contents" / "Info.plist");
  info.replace(info.find("<dict>") + 6, 0, "<key>CFBundleIconFile</key><string>Icon</string>");
  bosun::testing::writeFile(app / "Contents" / "Info.plist", info);

  const std::vector<std::string> plain{"--no-sign", "--no-notarize", "--window", "small"};
  auto dryRun = std::vector<std::string>{"start", release.string(), "--dry-run", "--preview",
                                         (stand.work() / "dry.png").string()};
  dryRun.insert(dryRun.end(), plain.begin(), plain.end());
  ASSERT_TRUE(stand.bosun(dryRun).exitedWith(0));
  auto build = std::vector<std::string>{"start", release.string()};
  build.insert(build.end(), plain.begin(), plain.end());
  const RunResult built = stand.bosun(build);
  ASSERT_TRUE(built.exitedWith(0)) << built.standardError;
  const RunResult inspected = stand.bosun({"inspect", (release / "Release.dmg").string(),
                                           "--preview", (stand.work() / "inspected.png").string()});
  // The unsigned app is a failed check (14), not a failed preview.
  EXPECT_TRUE(inspected.exitedWith(14)) << inspected.standardError;
  EXPECT_TRUE(bosun::testing::contains(
      inspected.standardOutput, "Window background: Background picture .support/background.png."));
  EXPECT_TRUE(bosun::testing::contains(inspected.standardOutput,
                                       "Icon placement: Every icon lies inside the window."));

  const auto dry = halyard::StickerPictureLoader::load(stand.work() / "dry.png");
  const auto read = halyard::StickerPictureLoader::load(stand.work() / "inspected.png");
  ASSERT_TRUE(dry && read);
  ASSERT_EQ(read->pixelWidth(), dry->pixelWidth());
  ASSERT_EQ(read->pixelHeight(), dry->pixelHeight());
  long long differing = 0;
  for (int row = 0; row < dry->pixelHeight(); ++row)
    for (int column = 0; column < dry->pixelWidth(); ++column) {
      const uint32_t a = dry->pixel(column, row);
      const uint32_t b = read->pixel(column, row);
      for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > 8) {
          ++differing;
          break;
        }
      }
    }
  EXPECT_LE(differing, 50) << differing << " pixels differ";
}

} // namespace
