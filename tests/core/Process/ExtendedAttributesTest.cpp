// xattr's four uses against the stand-in, and its hexadecimal form read and written by hand.
#include "core/Process/ExtendedAttributes.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

TEST(ExtendedAttributesTest, ReadsWritesAndClearsThroughTheStandIn) {
  bosun::testing::StandInRootInForce stand;
  const ToolRun run{AppleTools::Runner::shared, AppleTools::quickQueryLimit};
  const std::filesystem::path folder = stand.work() / "Demo.app", file = folder / "Info.plist";
  std::filesystem::create_directories(folder);
  std::ofstream(file) << "x";
  EXPECT_EQ(ExtendedAttributes::readBytes(file, "com.apple.FinderInfo", run), std::nullopt);

  stand.toolOK("/usr/bin/xattr",
               {"-w", "com.apple.quarantine", "0083;65a1;Safari;", file.string()});
  EXPECT_EQ(ExtendedAttributes::read(file, "com.apple.quarantine", run), "0083;65a1;Safari;");
  const std::string bytes("\0\x0a\xff\x04", 4);
  ASSERT_EQ(ExtendedAttributes::writeBytes(folder, "com.apple.FinderInfo", bytes, run).status, 0);
  EXPECT_EQ(ExtendedAttributes::readBytes(folder, "com.apple.FinderInfo", run), bytes);

  ASSERT_EQ(ExtendedAttributes::clearRecursively(folder, run).status, 0);
  EXPECT_EQ(ExtendedAttributes::read(file, "com.apple.quarantine", run), std::nullopt);
  EXPECT_EQ(ExtendedAttributes::clearRecursively(stand.work() / "absent", run).status, 1);
}

TEST(ExtendedAttributesTest, HexTextIsUpperCasePairsReadBackAcrossWhiteSpace) {
  EXPECT_EQ(ExtendedAttributes::hexText(std::string("\0\x0a\xff", 3)), "00 0A FF");
  EXPECT_EQ(ExtendedAttributes::bytesOfHexText(" 00 0a\nFF\t"), std::string("\0\x0a\xff", 3));
  for (const char* broken : {"0 0", "0g", "abc"})
    EXPECT_EQ(ExtendedAttributes::bytesOfHexText(broken), std::nullopt) << broken;
}

} // namespace
} // namespace halyard
