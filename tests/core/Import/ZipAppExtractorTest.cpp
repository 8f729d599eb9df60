#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include "core/Import/ImportStandIns.hpp"
#include "core/Import/ZipAppExtractor.hpp"

namespace fs = std::filesystem;
using namespace halyard;

namespace {

struct Member {
  std::string name;
  std::string content;    // a file's bytes
  std::string linkTarget; // a symbolic link when not empty
};

// A ZIP archive written with libarchive, entries exactly as named (no clean-up of the names).
void writeZip(const fs::path& file, const std::vector<Member>& members) {
  archive* writer = archive_write_new();
  archive_write_set_format_zip(writer);
  ASSERT_EQ(archive_write_open_filename(writer, file.c_str()), ARCHIVE_OK);
  for (const auto& member : members) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, member.name.c_str());
    if (!member.linkTarget.empty()) {
      archive_entry_set_filetype(entry, AE_IFLNK);
      archive_entry_set_symlink(entry, member.linkTarget.c_str());
      archive_entry_set_perm(entry, 0755);
    } else if (!member.name.empty() && member.name.back() == '/') {
      archive_entry_set_filetype(entry, AE_IFDIR);
      archive_entry_set_perm(entry, 0755);
    } else {
      archive_entry_set_filetype(entry, AE_IFREG);
      archive_entry_set_perm(entry, 0644);
      archive_entry_set_size(entry, static_cast<la_int64_t>(member.content.size()));
    }
    archive_write_header(writer, entry);
    if (!member.content.empty())
      archive_write_data(writer, member.content.data(), member.content.size());
    archive_entry_free(entry);
  }
  archive_write_close(writer);
  archive_write_free(writer);
}

Member info(const std::string& app) {
  return {app + "/Contents/Info.plist", "<plist version=\"1.0\"><dict/></plist>\n", ""};
}

} // namespace

class ZipAppExtractorTest : public halyard::testing::ImportStandIns {
protected:
  // Extracts the members into a fresh folder and returns what findApp makes of it, relative.
  std::optional<fs::path> unpack(const std::vector<Member>& members) {
    const auto zip = work() / ("archive" + std::to_string(++count_) + ".zip");
    const auto folder = work() / ("out" + std::to_string(count_));
    writeZip(zip, members);
    fs::create_directories(folder);
    ZipAppExtractor::extract(zip, folder);
    const auto app = ZipAppExtractor::findApp(folder);
    if (!app) return std::nullopt;
    return app->lexically_relative(folder);
  }
  int count_ = 0;
};

TEST_F(ZipAppExtractorTest, FindsTheAppPeopleWouldSee) {
  // A Finder-made archive: the metadata copy under __MACOSX comes first in every order.
  EXPECT_EQ(unpack({info("__MACOSX/Build/Mail.app"),
                    {"__MACOSX/Build/._Mail.app", "AD", ""},
                    info("Build/Mail.app")}),
            fs::path("Build/Mail.app"));
  // A link named like an app is no candidate, even though it is the shallowest.
  EXPECT_EQ(unpack({{"Shortcut.app", "", "Store/Real.app"}, info("Store/Real.app")}),
            fs::path("Store/Real.app"));
  // The top-level app wins over a deeper one; equally deep ones go by the Finder's order.
  EXPECT_EQ(unpack({info("Deeper/Alpha.app"), info("Zeta.app")}), fs::path("Zeta.app"));
  EXPECT_EQ(unpack({info("Beta.app"), info("alpha.app")}), fs::path("alpha.app"));
  // No Info.plist, or only inside a hidden folder: no app.
  EXPECT_EQ(unpack({{"Empty.app/Contents/", "", ""}, info(".hidden/Hidden.app")}), std::nullopt);

  // A tree that kept __MACOSX as a folder (as an unpacker other than ditto leaves it).
  const auto folder = work() / "tree";
  for (const auto* relative : {"__MACOSX/Mail.app", "Sub/Mail.app"}) {
    fs::create_directories(folder / relative / "Contents");
    std::ofstream(folder / relative / "Contents/Info.plist") << "<plist/>";
  }
  EXPECT_EQ(ZipAppExtractor::findApp(folder), folder / "Sub/Mail.app");
  EXPECT_EQ(ZipAppExtractor::findApp(work() / "missing"), std::nullopt);
}

// ditto's trimmed words, or the fixed text when it printed none.
TEST_F(ZipAppExtractorTest, FailuresCarryDittosMessage) {
  const auto folder = work() / "out";
  fs::create_directories(folder);
  std::ofstream(work() / "corrupt.zip") << "not an archive at all";
  try {
    ZipAppExtractor::extract(work() / "corrupt.zip", folder);
    FAIL() << "extracted";
  } catch (const ZipAppExtractor::ExtractionError& error) {
    EXPECT_STREQ(error.what(), "ditto: Couldn't read PKZip signature");
  }
  EXPECT_STREQ(ZipAppExtractor::ExtractionError::dittoFailed("").what(),
               "The archive could not be extracted.");
}
