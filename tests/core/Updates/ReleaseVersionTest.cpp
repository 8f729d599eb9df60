#include <gtest/gtest.h>

#include "core/Updates/BosunRelease.hpp"
#include "core/Updates/ReleaseVersion.hpp"

namespace halyard {
namespace {

// The reading and comparison themselves are Version's (VersionTest).
TEST(ReleaseVersion, ComparesLenientlyAndTreatsAMissingVersionAsOldest) {
  EXPECT_FALSE(ReleaseVersion::isNewer(std::nullopt, "1.0"));
  EXPECT_TRUE(ReleaseVersion::isNewer("1.0", std::nullopt));
  EXPECT_TRUE(ReleaseVersion::isNewer("1.10", "1.9"));
  EXPECT_FALSE(ReleaseVersion::isNewer("1.2b", "1.1"));
  EXPECT_FALSE(ReleaseVersion::isNewer("1.0", "1"));
}

TEST(BosunRelease, DecodesTheManifestOrFailsWithTheServerMessage) {
  const auto release = BosunRelease::decode(
      R"({"version":"1.2","sha256":"AB","notes":"n","minimumSystemVersion":"14.6",)"
      R"("architectures":["arm64","x86_64"],"unknown":1})");
  EXPECT_EQ(release.version, "1.2");
  EXPECT_EQ(release.sha256, "AB");
  EXPECT_EQ(release.notes, "n");
  EXPECT_EQ(release.minimumSystemVersion, "14.6");
  EXPECT_EQ(release.architectures, (std::vector<std::string>{"arm64", "x86_64"}));
  EXPECT_FALSE(BosunRelease::decode(R"({"version":"1","sha256":"0"})").architectures);

  for (const char* broken : {"", "[]", R"({"version":"1"})", R"({"version":1,"sha256":"0"})",
                             R"({"version":"1","sha256":"0","architectures":"arm64"})"}) {
    SCOPED_TRACE(broken);
    try {
      BosunRelease::decode(broken);
      ADD_FAILURE() << "decoded";
    } catch (const BosunRelease::Failure& failure) {
      EXPECT_EQ(failure.message(), "The Bosun update server did not respond.");
    }
  }
  EXPECT_EQ(BosunRelease::signingRequirement(),
            "=anchor apple generic and certificate leaf[subject.OU] = \"K7Q2M9X4PZ\"");
}

} // namespace
} // namespace halyard
