#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "cli/release/SubmissionCache.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace bosun {
namespace {

namespace fs = std::filesystem;

// Only what can be a file name of ours names a submission: nothing that climbs out of the folder.
TEST(SubmissionCacheTest, IdsAreCheckedBeforeTheyBecomeFileNames) {
  for (const char* id : {"2efe2717-52ef-43a5-96dc-0797e4ca1041", "ABC-123"})
    EXPECT_TRUE(SubmissionCache::isSubmissionID(id)) << id;
  for (const char* id : {"", "../x", "a/b", "a b", ".", "x.json",
                         "0123456789012345678901234567890123456789012345678901234567890123456"})
    EXPECT_FALSE(SubmissionCache::isSubmissionID(id)) << id;
}

// What is kept is private, found by id and by target, and gone a day later.
TEST(SubmissionCacheTest, KeptFilesArePrivateAndExpireAfterADay) {
  const halyard::TemporaryFolder home("SubmissionCacheTest_");
  const fs::path uploaded = home.path() / "Sample.dmg";
  std::ofstream(uploaded) << "signed bytes";
  const fs::path folder = home.path() / "cache" / "bosun" / "submissions";

  const SubmissionCache cache(folder);
  const auto kept = cache.keep("fresh-1", uploaded, "/Releases/Sample.dmg");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->sha256, "d6eade346b42f707c1684aa3d3c029ab0809164b8b878fcccf56fe1d83b3dc1d");
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(fs::status(folder / "fresh-1.json").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(cache.find("fresh-1")->file, folder / "fresh-1" / "Sample.dmg");
  EXPECT_EQ(cache.findForTarget("/Releases/Sample.dmg")->id, "fresh-1");
  EXPECT_FALSE(cache.findForTarget("/Releases/Other.dmg"));

  // A record from 25 hours ago goes with its file when the cache is next opened.
  ASSERT_TRUE(cache.keep("stale-1", uploaded, "/Releases/Old.dmg"));
  const auto old = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count() -
                   25 * 3600;
  std::ofstream(folder / "stale-1.json", std::ios::trunc)
      << R"({"id":"stale-1","target":"/Releases/Old.dmg","file":")"
      << (folder / "stale-1" / "Sample.dmg").string() << R"(","sha256":"x","keptAt":)" << old
      << "}";
  const SubmissionCache reopened(folder);
  EXPECT_FALSE(reopened.find("stale-1"));
  EXPECT_FALSE(fs::exists(folder / "stale-1"));
  EXPECT_TRUE(reopened.find("fresh-1"));

  reopened.remove("fresh-1");
  EXPECT_TRUE(fs::is_empty(folder));
}

} // namespace
} // namespace bosun
