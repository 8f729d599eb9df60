#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "DesignTestSupport.hpp"
#include "core/Design/DesignTemplate.hpp"
#include "core/Design/DesignTemplateMedia.hpp"
#include "core/Support/HalyardCoreLog.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

StickerItem fileSticker(const FileURL& url) {
  StickerItem sticker;
  sticker.id = "00000000-0000-4000-8000-000000000001";
  sticker.asset = {"a", "Picture", StickerSource::file(url)};
  return sticker;
}

FileURL url(const std::string& path) {
  return FileURL::fromPath(path);
}

class DesignTemplateMediaTest : public ::testing::Test {
protected:
  void SetUp() override {
    HalyardCoreLog::note = [this](const std::string& message) { notes.push_back(message); };
  }
  void TearDown() override { HalyardCoreLog::note = nullptr; }

  designtest::CacheFolderOverride cache;
  std::vector<std::string> notes;
};

} // namespace

TEST_F(DesignTemplateMediaTest, RestoresIntoAFreshFolderOfTheCache) {
  const std::vector<EmbeddedDesignerMedia> embedded = {
      {"  Logo \n", "png", std::string("\x89PNG\0data", 9)},
      {" \t ", "GIF", "GIF89a"},
      {"../../../escape", "sh/../x", "#!/bin/sh"},
  };
  const auto restored = DesignTemplateMedia::restoreToCache(embedded);
  ASSERT_EQ(restored.size(), 3u);

  const fs::path root = cache.path() / "Brineworks" / "Halyard" / "DesignerTemplateImportedMedia";
  EXPECT_EQ(DesignTemplateMedia::cacheRoot(), root);
  const fs::path folder = restored[0].path().parent_path();
  EXPECT_EQ(folder.parent_path(), root);
  EXPECT_EQ(folder.filename().string().size(), 36u); // a UUID

  EXPECT_EQ(restored[0].path().filename(), "1_Logo.png");
  EXPECT_EQ(contents(restored[0].path()), embedded[0].data);
  EXPECT_EQ(restored[1].path().filename(), "2_EmbeddedMedia_2.GIF");
  // Names from the document cannot leave the folder.
  EXPECT_EQ(restored[2].path().parent_path(), folder);
  EXPECT_EQ(restored[2].path().filename(), "3_.._.._.._escape.sh_.._x");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);

  // Every call makes a new folder; nothing to restore makes none.
  EXPECT_NE(DesignTemplateMedia::restoreToCache(embedded)[0].path().parent_path(), folder);
  EXPECT_TRUE(DesignTemplateMedia::restoreToCache({}).empty());
  EXPECT_TRUE(notes.empty());
}

TEST_F(DesignTemplateMediaTest, CacheThatCannotBePreparedIsNotedAndGivesNothing) {
  fs::create_directories(cache.path() / "Brineworks");
  std::ofstream(cache.path() / "Brineworks" / "Halyard") << "a file where a folder belongs";
  EXPECT_TRUE(DesignTemplateMedia::restoreToCache({{"Logo", "png", "x"}}).empty());
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("Designer template media cache could not be prepared: ", 0), 0u)
      << notes[0];
}

TEST_F(DesignTemplateMediaTest, ItemThatCannotBeWrittenIsNotedAndSkipped) {
  const std::string longName(300, 'n'); // longer than a file name may be
  const auto restored =
      DesignTemplateMedia::restoreToCache({{longName, "png", "x"}, {"Badge", "png", "y"}});
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_EQ(restored[0].path().filename(), "2_Badge.png");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("Embedded media " + longName + " could not be restored: ", 0), 0u);
}

TEST_F(DesignTemplateMediaTest, EmbedTakesReadableFilesOnly) {
  TemporaryFolder folder("Halyard_DesignTest_");
  std::ofstream(folder.path() / "Logo.PNG") << "png bytes";
  std::ofstream(folder.path() / "README") << "no extension";
  fs::create_directory(folder.path() / "Folder.png");
  const auto embedded = DesignTemplateMedia::embed({
      url((folder.path() / "Logo.PNG").string()),
      url((folder.path() / "missing.png").string()),
      *FileURL::make("https://example.com/remote.png"),
      url((folder.path() / "Folder.png").string()),
      url((folder.path() / "README").string()),
  });
  ASSERT_EQ(embedded.size(), 2u);
  EXPECT_EQ(embedded[0], (EmbeddedDesignerMedia{"Logo", "PNG", "png bytes"}));
  EXPECT_EQ(embedded[1], (EmbeddedDesignerMedia{"README", "bin", "no extension"}));
}

TEST_F(DesignTemplateMediaTest, RemapFollowsPositionsThenExistingFilesThenNames) {
  TemporaryFolder folder("Halyard_DesignTest_");
  const auto existing = folder.path() / "Here.png";
  std::ofstream(existing) << "x";
  const FileURL a = url("/gone/designer/A.png");
  const FileURL b = url("/gone/designer/Logo.PNG");
  const FileURL restoredA = url("/cache/1_A.png");
  const FileURL restoredLogo = url("/cache/2_Logo.png");
  const FileURL restoredOther = url("/cache/3_Other.jpg");

  const std::vector<StickerItem> stickers = {
      fileSticker(a),                        // mapped by position
      fileSticker(b),                        // not in the map: found by name, any case
      fileSticker(url(existing.string())),   // exists: left alone
      fileSticker(url("/gone/Unknown.png")), // nothing matches: left alone
      fileSticker(url("/gone/Other.png")),   // same base name, other extension: left alone
  };
  auto symbol = fileSticker(a);
  symbol.asset.source = StickerSource::sfSymbol("arrow.right");

  const auto remapped =
      DesignTemplateMedia::remap(stickers, {a}, {restoredA, restoredLogo, restoredOther});
  EXPECT_EQ(*remapped[0].asset.source.fileURL(), restoredA);
  EXPECT_EQ(*remapped[1].asset.source.fileURL(), restoredLogo);
  EXPECT_EQ(remapped[2], stickers[2]);
  EXPECT_EQ(remapped[3], stickers[3]);
  EXPECT_EQ(remapped[4], stickers[4]);
  EXPECT_EQ(DesignTemplateMedia::remap({symbol}, {a}, {restoredA})[0], symbol);
  EXPECT_EQ(DesignTemplateMedia::remap(stickers, {a, b}, {}), stickers);
}

TEST_F(DesignTemplateMediaTest, RemapDoesNotPairAcrossAnItemLeftOutOfTheDocument) {
  // B could not be read when the template was saved, so only A and C were embedded: position 2
  // holds C's restored file, which must not become B's picture.
  const FileURL a = url("/gone/A.png");
  const FileURL b = url("/gone/B.png");
  const FileURL c = url("/gone/C.png");
  const auto remapped = DesignTemplateMedia::remap({fileSticker(b), fileSticker(c)}, {a, b, c},
                                                   {url("/cache/1_A.png"), url("/cache/2_C.png")});
  EXPECT_EQ(*remapped[0].asset.source.fileURL(), b);
  EXPECT_EQ(*remapped[1].asset.source.fileURL(), url("/cache/2_C.png"));
}

TEST_F(DesignTemplateMediaTest, RestoredTemplatePointsStickersAtTheCache) {
  const auto design = DesignTemplate::load(fs::path(TEST_DATA_DIR) / "design" / "showcase.hyd");
  ASSERT_EQ(design.missingMedia().size(), 1u);
  EXPECT_EQ(design.missingMedia()[0].path(), "/nonexistent/designer/Media/Logo.PNG");

  const auto restored = design.restored();
  EXPECT_TRUE(restored.missingMedia().empty());
  const FileURL* picture = nullptr;
  for (const auto& sticker : restored.canvas.stickers) {
    if (sticker.asset.source.fileURL() != nullptr) picture = sticker.asset.source.fileURL();
  }
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->path().filename(), "1_Logo.png");
  EXPECT_EQ(contents(picture->path()), design.embeddedMedia[0].data);
  // Only the stickers change.
  EXPECT_EQ(restored.canvas.gradient, design.canvas.gradient);
  EXPECT_EQ(restored.embeddedMedia, design.embeddedMedia);
  EXPECT_EQ(restored.importedMedia, design.importedMedia);
}
