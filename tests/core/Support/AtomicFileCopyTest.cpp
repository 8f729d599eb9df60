#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& file) {
  std::ifstream stream(file);
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

TEST(AtomicFileCopyTest, ReplacesTheTargetOrLeavesItAsItWas) {
  const TemporaryFolder folder("AtomicFileCopyTest_");
  const auto entries = [&] { return std::distance(fs::directory_iterator(folder.path()), {}); };
  std::ofstream(folder.path() / "new.pkg") << "new bytes";
  std::ofstream(folder.path() / "A.pkg") << "old";

  EXPECT_TRUE(AtomicFileCopy(folder.path() / "gone.pkg", folder.path() / "A.pkg").commit());
  EXPECT_EQ(read(folder.path() / "A.pkg"), "old");

  // A folder with content at the target is neither replaced nor emptied.
  fs::create_directory(folder.path() / "B.pkg");
  std::ofstream(folder.path() / "B.pkg" / "inside") << "kept";
  EXPECT_TRUE(AtomicFileCopy(folder.path() / "new.pkg", folder.path() / "B.pkg").commit());
  EXPECT_EQ(read(folder.path() / "B.pkg" / "inside"), "kept");
  EXPECT_EQ(entries(), 3);

  EXPECT_FALSE(AtomicFileCopy(folder.path() / "new.pkg", folder.path() / "A.pkg").commit());
  EXPECT_EQ(read(folder.path() / "A.pkg"), "new bytes");
  EXPECT_EQ(entries(), 3); // nothing left beside it
}

// A finished file takes the target's place, from the same volume by rename and from another one
// (where rename fails with EXDEV) by a copy beside the target; a failure leaves both where they
// were.
TEST(AtomicFileCopyTest, AFinishedFileReplacesTheTargetFromThisOrAnotherVolume) {
  const TemporaryFolder folder("AtomicFileCopyTest_");
  std::ofstream(folder.path() / "A.dmg") << "old";
  std::ofstream(folder.path() / "finished.dmg") << "new";
  fs::create_directory(folder.path() / "B.dmg");
  std::ofstream(folder.path() / "B.dmg" / "inside") << "kept";

  EXPECT_TRUE(AtomicFileCopy::replace(folder.path() / "finished.dmg", folder.path() / "B.dmg"));
  EXPECT_EQ(read(folder.path() / "B.dmg" / "inside"), "kept");
  EXPECT_EQ(read(folder.path() / "finished.dmg"), "new");

  EXPECT_FALSE(AtomicFileCopy::replace(folder.path() / "finished.dmg", folder.path() / "A.dmg"));
  EXPECT_EQ(read(folder.path() / "A.dmg"), "new");
  EXPECT_FALSE(fs::exists(folder.path() / "finished.dmg"));

  struct stat here {
  }, shared{};
  if (::stat("/dev/shm", &shared) != 0 || ::stat(folder.path().c_str(), &here) != 0 ||
      here.st_dev == shared.st_dev)
    GTEST_SKIP() << "no second volume to move from";
  const TemporaryFolder other("/dev/shm", "AtomicFileCopyTest_");
  std::ofstream(other.path() / "finished.dmg") << "from elsewhere";
  EXPECT_FALSE(AtomicFileCopy::replace(other.path() / "finished.dmg", folder.path() / "A.dmg"));
  EXPECT_EQ(read(folder.path() / "A.dmg"), "from elsewhere");
  EXPECT_TRUE(fs::is_empty(other.path()));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 2); // A.dmg, B.dmg
}

} // namespace
} // namespace halyard
