#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file) << bytes;
}

std::string read(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::stringstream content;
  content << stream.rdbuf();
  return content.str();
}

size_t entries(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(AtomicFileCopyTest, ReplacesTheTargetAndLeavesNothingBeside) {
  const TemporaryFolder folder("AtomicFileCopyTest_");
  write(folder.path() / "new.pkg", "new bytes");
  write(folder.path() / "A.pkg", "old");

  AtomicFileCopy copy(folder.path() / "new.pkg", folder.path() / "A.pkg");
  EXPECT_EQ(copy.temporaryPath().parent_path(), folder.path());
  EXPECT_FALSE(copy.commit());
  EXPECT_EQ(read(folder.path() / "A.pkg"), "new bytes");
  EXPECT_EQ(entries(folder.path()), 2u);
}

TEST(AtomicFileCopyTest, AFailedCopyLeavesTheTargetAsItWas) {
  const TemporaryFolder folder("AtomicFileCopyTest_");
  write(folder.path() / "A.pkg", "old");

  // The source is missing.
  EXPECT_TRUE(AtomicFileCopy(folder.path() / "gone.pkg", folder.path() / "A.pkg").commit());
  EXPECT_EQ(read(folder.path() / "A.pkg"), "old");

  // The target is a folder with content: it is neither replaced nor emptied.
  fs::create_directory(folder.path() / "B.pkg");
  write(folder.path() / "B.pkg" / "inside", "kept");
  EXPECT_TRUE(AtomicFileCopy(folder.path() / "A.pkg", folder.path() / "B.pkg").commit());
  EXPECT_EQ(read(folder.path() / "B.pkg" / "inside"), "kept");
  EXPECT_EQ(entries(folder.path()), 2u);
}

} // namespace
} // namespace halyard
