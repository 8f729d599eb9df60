#include "core/DMG/DMGCompressionFormat.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "core/Support/TemporaryFolder.hpp"

namespace halyard {
namespace {

using Strings = std::vector<std::string>;

TEST(DMGCompressionFormatTest, CasesCarryTheirCodesArgumentsAndTexts) {
  ASSERT_EQ(DMGCompressionFormats::allCases.size(), 3u);
  EXPECT_EQ(DMGCompressionFormats::allCases[0], DMGCompressionFormat::zlib);
  EXPECT_EQ(DMGCompressionFormats::allCases[1], DMGCompressionFormat::lzfse);
  EXPECT_EQ(DMGCompressionFormats::allCases[2], DMGCompressionFormat::lzma);
  EXPECT_EQ(DMGCompressionFormats::defaultFormat, DMGCompressionFormat::zlib);

  EXPECT_EQ(hdiutilArguments(DMGCompressionFormat::zlib),
            (Strings{"-format", "UDZO", "-imagekey", "zlib-level=9"}));
  EXPECT_EQ(hdiutilArguments(DMGCompressionFormat::lzfse), (Strings{"-format", "ULFO"}));
  EXPECT_EQ(hdiutilArguments(DMGCompressionFormat::lzma), (Strings{"-format", "ULMO"}));

  EXPECT_EQ(title(DMGCompressionFormat::lzfse), "LZFSE");
  EXPECT_EQ(minimumSystem(DMGCompressionFormat::zlib), "any Mac");
  EXPECT_EQ(minimumSystem(DMGCompressionFormat::lzma), "macOS 10.15 or later");
  EXPECT_EQ(summary(DMGCompressionFormat::lzfse),
            "Smaller than zlib and fastest to open. Needs macOS 10.11 or later.");
  EXPECT_EQ(summary(DMGCompressionFormat::lzma),
            "Smallest file, slower to build and open. Needs macOS 10.15 or later.");
}

TEST(DMGCompressionFormatTest, NamesMatchRawValuesAndFormatCodesLeniently) {
  EXPECT_EQ(DMGCompressionFormats::fromName(" UDZO "), DMGCompressionFormat::zlib);
  EXPECT_EQ(DMGCompressionFormats::fromName("\tudzo\n"), DMGCompressionFormat::zlib);
  EXPECT_EQ(DMGCompressionFormats::fromName("zlib"), DMGCompressionFormat::zlib);
  EXPECT_EQ(DMGCompressionFormats::fromName("LZFSE"), DMGCompressionFormat::lzfse);
  EXPECT_EQ(DMGCompressionFormats::fromName("ULMO"), DMGCompressionFormat::lzma);
  EXPECT_EQ(DMGCompressionFormats::fromName("bzip2"), std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::fromName(""), std::nullopt);

  // Raw values are exact.
  EXPECT_EQ(DMGCompressionFormats::fromRawValue("lzma"), DMGCompressionFormat::lzma);
  EXPECT_EQ(DMGCompressionFormats::fromRawValue("LZMA"), std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::fromRawValue("UDZO"), std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::fromRawValue(" zlib"), std::nullopt);
}

TEST(DMGCompressionFormatTest, CodedAsRawValueText) {
  EXPECT_EQ(nlohmann::json(DMGCompressionFormat::lzfse).dump(), "\"lzfse\"");
  EXPECT_EQ(nlohmann::json::parse("\"lzma\"").get<DMGCompressionFormat>(),
            DMGCompressionFormat::lzma);
  EXPECT_THROW((void)nlohmann::json::parse("\"ULMO\"").get<DMGCompressionFormat>(),
               nlohmann::json::exception);
  EXPECT_THROW((void)nlohmann::json::parse("2").get<DMGCompressionFormat>(),
               nlohmann::json::exception);
}

TEST(DMGCompressionFormatTest, SavedChoiceIsReadFromThePreferenceDomain) {
  TemporaryFolder folder("DMGCompressionFormatTest_");
  auto write = [&](const std::string& name, const std::string& bytes) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  auto plist = [](const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body +
           "</dict>\n</plist>\n";
  };

  EXPECT_EQ(DMGCompressionFormats::saved(write(
                "lzfse.plist", plist("<key>Halyard.DMGCompression</key><string>lzfse</string>"))),
            DMGCompressionFormat::lzfse);
  // Only raw values count, unlike names typed on the command line.
  EXPECT_EQ(DMGCompressionFormats::saved(write(
                "code.plist", plist("<key>Halyard.DMGCompression</key><string>ULFO</string>"))),
            std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::saved(write(
                "number.plist", plist("<key>Halyard.DMGCompression</key><integer>1</integer>"))),
            std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::saved(write("other.plist", plist("<key>X</key><true/>"))),
            std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::saved(write("garbage.plist", "\x01\x02 not a plist")),
            std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::saved(folder.path() / "missing.plist"), std::nullopt);
  EXPECT_EQ(DMGCompressionFormats::saved(folder.path()), std::nullopt);
}

} // namespace
} // namespace halyard
