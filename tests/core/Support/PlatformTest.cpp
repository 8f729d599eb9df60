#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <fstream>

#include "core/Support/Error.hpp"
#include "core/Support/Platform.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;

TEST(Platform, FileFactsOfAFreshFile) {
  TemporaryFolder folder("Halyard_Test_");
  const auto file = folder.path() / "fresh";
  std::ofstream(file) << "x";
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(Platform::fileNumber(file), static_cast<std::uint64_t>(info.st_ino));

  const auto created = Platform::creationTime(file);
  if (!created) GTEST_SKIP() << "no birth times on this file system";
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  EXPECT_LE(created->seconds, now);
  EXPECT_GT(created->seconds, now - 600);
  EXPECT_GE(created->nanoseconds, 0);
  EXPECT_LT(created->nanoseconds, 1000000000);
}

TEST(Platform, MissingFilesFailAndProcfsHasNoBirthTime) {
  for (auto query : {+[] { Platform::creationTime("/nonexistent/file"); },
                     +[] { Platform::fileNumber("/nonexistent/file"); }}) {
    try {
      query();
      ADD_FAILURE() << "no failure";
    } catch (const Error& error) {
      EXPECT_EQ(error.domain(), "Halyard.platform");
      EXPECT_EQ(error.code(), ENOENT);
      EXPECT_NE(std::string(error.what()).find("/nonexistent/file"), std::string::npos);
    }
  }
#if defined(__linux__)
  EXPECT_FALSE(Platform::creationTime("/proc").has_value());
  EXPECT_FALSE(Platform::volumeName("/").has_value());
#endif
}
