#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "core/Support/AtomicFile.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/UUID.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {
std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}
} // namespace

TEST(UUID, IsUpperCaseVersion4) {
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  const auto a = UUID::randomString();
  EXPECT_TRUE(std::regex_match(a, form)) << a;
  EXPECT_NE(a, UUID::randomString());
}

TEST(TemporaryFolder, IsPrivateNamedByPrefixAndRemovedWithItsContent) {
  fs::path kept;
  {
    TemporaryFolder folder("Halyard_Test_");
    kept = folder.path();
    EXPECT_EQ(kept.filename().string().rfind("Halyard_Test_", 0), 0u);
    struct stat info {};
    ASSERT_EQ(::stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    fs::create_directories(kept / "a" / "b");
    std::ofstream(kept / "a" / "b" / "file") << "x";
  }
  EXPECT_FALSE(fs::exists(kept));
}

TEST(TemporaryFolder, ReleasedFolderStaysAndMissingParentIsAnError) {
  fs::path released;
  {
    TemporaryFolder folder("Halyard_Test_");
    released = folder.release();
  }
  EXPECT_TRUE(fs::is_directory(released));
  fs::remove_all(released);
  EXPECT_THROW(TemporaryFolder(fs::path("/nonexistent/folder"), "x"), Error);
}

TEST(AtomicFile, ReplacesTheTargetOnlyOnCommit) {
  TemporaryFolder folder("Halyard_Test_");
  const auto target = folder.path() / "config.json";
  AtomicFile::writeAll(target, "old", 0600);
  {
    AtomicFile file(target, 0600);
    file.write("new but abandoned");
  }
  EXPECT_EQ(contents(target), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

  AtomicFile::writeAll(target, "new", 0600);
  EXPECT_EQ(contents(target), "new");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(AtomicFile, UnwritableFolderKeepsThePreviousFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TemporaryFolder folder("Halyard_Test_");
  const auto target = folder.path() / "file";
  AtomicFile::writeAll(target, "old");
  ::chmod(folder.path().c_str(), 0500);
  EXPECT_THROW(AtomicFile::writeAll(target, "new"), Error);
  ::chmod(folder.path().c_str(), 0700);
  EXPECT_EQ(contents(target), "old");
}

TEST(AtomicFile, FailedReplacementLeavesTheOldEntryAndNoDebris) {
  TemporaryFolder folder("Halyard_Test_");
  const auto target = folder.path() / "occupied";
  fs::create_directories(target / "inside");
  EXPECT_THROW(AtomicFile::writeAll(target, "new"), Error);
  EXPECT_TRUE(fs::is_directory(target / "inside"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}
