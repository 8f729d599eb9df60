#include <gtest/gtest.h>

#include "cli/commands/UpdateCompatibility.hpp"
#include "cli/commands/UpdateNotice.hpp"

namespace bosun {
namespace {

using Architectures = std::optional<std::vector<std::string>>;

TEST(UpdateCompatibility, MatchesProcessorAndSystem) {
  struct ArchitectureCase {
    Architectures list;
    bool appleSilicon;
    bool meets;
  };
  const std::vector<ArchitectureCase> architectures = {
      {std::nullopt, false, true},
      {std::vector<std::string>{}, true, true},
      {std::vector<std::string>{"universal"}, false, true},
      {std::vector<std::string>{"arm64"}, true, true},
      {std::vector<std::string>{"arm64"}, false, false},
      {std::vector<std::string>{"x86_64"}, true, false},
      {std::vector<std::string>{"x86_64", "arm64"}, false, true},
  };
  for (const auto& test : architectures)
    EXPECT_EQ(UpdateCompatibility::meetsArchitecture(test.list, test.appleSilicon), test.meets);

  struct SystemCase {
    std::optional<std::string> minimum;
    std::string running;
    bool meets;
  };
  const std::vector<SystemCase> systems = {
      {std::nullopt, "0.0.0", true},
      {"14.6", "14.6", true},
      {"14.6", "14.6.1", true},
      {"14.6", "14.5.9", false},
      {"14.6", "15", true},
      {"14.10", "14.9", false},
      {"14", "14.0.0", true},
      {"14.6.1", "14.6", false},
      // A minimum nobody can read allows no system at all.
      {"sixteen", "26.1", false},
      {"99999999999999999999999", "26.1", false},
  };
  for (const auto& test : systems) {
    SCOPED_TRACE(test.minimum.value_or("none") + " on " + test.running);
    EXPECT_EQ(UpdateCompatibility::meetsSystem(test.minimum, test.running), test.meets);
  }

  // The system message comes first when both apply.
  halyard::BosunRelease release;
  release.version = "2.0";
  release.minimumSystemVersion = "26.0";
  release.architectures = std::vector<std::string>{"arm64"};
  EXPECT_EQ(UpdateCompatibility::blockedMessage(release, "15.5", false),
            "Bosun 2.0 needs macOS 26.0 or later. This Mac runs macOS 15.5, so the update isn't "
            "offered.");
  EXPECT_EQ(UpdateCompatibility::blockedMessage(release, "26.1", true), std::nullopt);
  release.version = "2.0\x1b[2J";
  release.minimumSystemVersion = "sixteen\n";
  EXPECT_EQ(UpdateCompatibility::blockedMessage(release, "26.1", true),
            "Bosun 2.0\\x1b[2J names its minimum macOS as \"sixteen\\x0a\", so Bosun can't tell "
            "whether this Mac can run it, and the update isn't offered.");
}

TEST(UpdateNotice, ChecksAgainAfterADayOrWhenTheClockWentBack) {
  const auto now = std::chrono::system_clock::now();
  using std::chrono::hours;
  using std::chrono::seconds;
  EXPECT_TRUE(UpdateNotice::isDue(std::nullopt, now));
  EXPECT_FALSE(UpdateNotice::isDue(UpdateNotice::Cache{now - seconds(86399), "1"}, now));
  EXPECT_TRUE(UpdateNotice::isDue(UpdateNotice::Cache{now - seconds(86400), "1"}, now));
  EXPECT_TRUE(UpdateNotice::isDue(UpdateNotice::Cache{now + hours(2), "1"}, now));
}

} // namespace
} // namespace bosun
