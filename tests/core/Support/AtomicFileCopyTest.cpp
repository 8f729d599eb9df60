#include <gtest/gtest.h>

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

} // namespace
} // namespace halyard
