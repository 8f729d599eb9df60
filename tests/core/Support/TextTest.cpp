#include <gtest/gtest.h>

#include <cstdlib>

#include "core/Support/Text.hpp"
#include "core/Support/ToolRoot.hpp"

using namespace halyard;

TEST(Text, TrimsWhiteSpaceAndLineBreaksOnBothEnds) {
  EXPECT_EQ(text::trimmed(" \t\r\n a b \n\n"), "a b");
  EXPECT_EQ(text::trimmed("\n \t"), "");
}

TEST(Text, JoinedOutputPutsStandardErrorFirst) {
  EXPECT_EQ(text::joinedOutput(" err\n", "out\n"), "err\nout");
  EXPECT_EQ(text::joinedOutput("  \n", "out"), "out");
  EXPECT_EQ(text::joinedOutput("err", ""), "err");
  EXPECT_EQ(text::joinedOutput("", " "), "");
}

TEST(Text, RejectsMalformedUTF8) {
  EXPECT_TRUE(text::isValidUTF8("plain ✓ 𝄞"));
  EXPECT_FALSE(text::isValidUTF8("\xC0\xAF"));         // overlong "/"
  EXPECT_FALSE(text::isValidUTF8("\xED\xA0\x80"));     // surrogate
  EXPECT_FALSE(text::isValidUTF8("\xF4\x90\x80\x80")); // beyond U+10FFFF
  EXPECT_FALSE(text::isValidUTF8("abc\xE2\x9C"));      // cut short
}

TEST(ToolRoot, MapsAbsolutePlatformPathsUnderTheRootOnlyWhenSet) {
  ::unsetenv("BOSUN_TOOL_ROOT");
  EXPECT_EQ(ToolRoot::path("/usr/bin/codesign"), "/usr/bin/codesign");
  ::setenv("BOSUN_TOOL_ROOT", "", 1);
  EXPECT_EQ(ToolRoot::path("/usr/bin/codesign"), "/usr/bin/codesign");
  EXPECT_FALSE(ToolRoot::isActive());
  ::setenv("BOSUN_TOOL_ROOT", "/tmp/root", 1);
  EXPECT_EQ(ToolRoot::path("/usr/bin/codesign"), "/tmp/root/usr/bin/codesign");
  EXPECT_EQ(ToolRoot::path("/Volumes"), "/tmp/root/Volumes");
  EXPECT_EQ(ToolRoot::path("relative/x"), "relative/x");
  ::unsetenv("BOSUN_TOOL_ROOT");
}
