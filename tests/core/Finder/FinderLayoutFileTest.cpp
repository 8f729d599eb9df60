#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

#include "DSStoreTestReader.hpp"
#include "core/Finder/DSStoreWriter.hpp"
#include "core/Finder/FinderAlias.hpp"
#include "core/Finder/FinderLayoutFile.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "support/NoteCapture.hpp"

using namespace halyard;
using namespace finder_test;
namespace fs = std::filesystem;
using FinderLayoutFile::Point;
using FinderLayoutFile::Size;

namespace {

// A binary property list read back with the core's property-list reader (type-strict: a key
// of another type counts as missing).
class ReadPlist {
public:
  explicit ReadPlist(const ByteVector& bytes)
      : list_(PropertyList::parse(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "bplist00");
    if (!PropertyList::isDictionary(list_.node())) throw std::runtime_error("no dict");
  }

  std::size_t size() const { return PropertyList::entries(list_.node()).size(); }
  bool has(const char* key) const { return PropertyList::item(list_.node(), key) != nullptr; }
  bool boolean(const char* key) const { return found(list_.boolean(key), key); }
  std::uint64_t integer(const char* key) const {
    return static_cast<std::uint64_t>(found(list_.integer(key), key));
  }
  double real(const char* key) const { return found(PropertyList::real(list_.node(), key), key); }
  std::string string(const char* key) const { return found(list_.string(key), key); }
  ByteVector data(const char* key) const {
    const auto bytes = found(PropertyList::data(list_.node(), key), key);
    return ByteVector(bytes.begin(), bytes.end());
  }

private:
  template <typename T> static T found(const std::optional<T>& value, const char* key) {
    if (!value) throw std::runtime_error(std::string("missing or mistyped key ") + key);
    return *value;
  }
  PropertyList list_;
};

ByteVector fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return ByteVector((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The Demo volume of the golden files: fixed facts, so the files never depend on the machine.
FileFacts demoFacts() {
  FileFacts facts;
  facts.creationTime = [](const fs::path& path) -> std::optional<Platform::FileTime> {
    if (path == "/Volumes/Demo") return Platform::FileTime{1700000000, 0};
    if (path == "/Volumes/Demo/.support/background.png") return Platform::FileTime{1700000123, 0};
    return std::nullopt;
  };
  facts.fileNumber = [](const fs::path& path) -> std::optional<std::uint64_t> {
    if (path == "/Volumes/Demo") return 2;
    if (path == "/Volumes/Demo/.support") return 18;
    if (path == "/Volumes/Demo/.support/background.png") return 19;
    return std::nullopt;
  };
  facts.volumeName = [](const fs::path&) { return std::optional<std::string>("Demo"); };
  return facts;
}

const ReadRecord& find(const ReadFile& file, const std::string& name, const std::string& code) {
  for (const auto& record : file.records) {
    if (record.nameUTF8 == name && record.code == code) return record;
  }
  throw std::runtime_error("no record " + name + "/" + code);
}

struct Golden {
  const char* fileName;
  std::optional<std::string> background;
  Size window;
  Point app;
  Point folder;
};

const Golden goldens[] = {
    {"plain-660x400.DS_Store", std::nullopt, {660, 400}, {160, 205}, {500, 205}},
    {"background-1600x1000.DS_Store",
     ".support/background.png",
     {1600, 1000},
     {550, 500},
     {1050, 500}},
};

} // namespace

TEST(FinderLayoutFile, WindowSettingsAreABareWindowAtTheFixedOrigin) {
  const ReadPlist plain(FinderLayoutFile::windowSettings({660, 400}));
  EXPECT_EQ(plain.size(), 9u);
  for (const char* key : {"ContainerShowSidebar", "PreviewPaneVisibility", "ShowPathbar",
                          "ShowSidebar", "ShowStatusBar", "ShowTabView", "ShowToolbar"}) {
    EXPECT_FALSE(plain.boolean(key)) << key;
  }
  EXPECT_EQ(plain.integer("SidebarWidth"), 0u);
  EXPECT_EQ(plain.string("WindowBounds"), "{{400, 100}, {660, 400}}");
  EXPECT_EQ(ReadPlist(FinderLayoutFile::windowSettings({659.9, 400.99})).string("WindowBounds"),
            "{{400, 100}, {659, 400}}");
}

TEST(FinderLayoutFile, IconViewSettingsWithAndWithoutBackground) {
  const ReadPlist plain(FinderLayoutFile::iconViewSettings({660, 400}, std::nullopt));
  EXPECT_EQ(plain.size(), 16u);
  EXPECT_EQ(plain.string("arrangeBy"), "none");
  EXPECT_EQ(plain.real("backgroundColorRed"), 1.0);
  EXPECT_EQ(plain.real("backgroundColorGreen"), 1.0);
  EXPECT_EQ(plain.real("backgroundColorBlue"), 1.0);
  EXPECT_EQ(plain.integer("backgroundType"), 0u);
  EXPECT_EQ(plain.real("gridOffsetX"), 0.0);
  EXPECT_EQ(plain.real("gridOffsetY"), 0.0);
  EXPECT_EQ(plain.real("gridSpacing"), 100.0);
  EXPECT_EQ(plain.real("iconSize"), 72.0);
  EXPECT_TRUE(plain.boolean("labelOnBottom"));
  EXPECT_EQ(plain.real("scrollPositionX"), 0.0);
  EXPECT_EQ(plain.real("scrollPositionY"), 0.0);
  EXPECT_TRUE(plain.boolean("showIconPreview"));
  EXPECT_FALSE(plain.boolean("showItemInfo"));
  EXPECT_EQ(plain.real("textSize"), 12.0);
  EXPECT_EQ(plain.integer("viewOptionsVersion"), 1u);
  EXPECT_FALSE(plain.has("backgroundImageAlias"));

  const ReadPlist pictured(FinderLayoutFile::iconViewSettings({1600, 1000}, Bytes{1, 2, 3}));
  EXPECT_EQ(pictured.size(), 17u);
  EXPECT_EQ(pictured.integer("backgroundType"), 2u);
  EXPECT_EQ(pictured.data("backgroundImageAlias"), (ByteVector{1, 2, 3}));
}

TEST(FinderLayoutFile, IconSizeScalesWithTheWindowButNotBelow72) {
  EXPECT_EQ(FinderLayoutFile::iconSize({660, 400}), 72.0); // 57.6 raised
  EXPECT_EQ(FinderLayoutFile::iconSize({1600, 1000}), 144.0);
  EXPECT_EQ(FinderLayoutFile::iconSize({3200, 2000}), 288.0);
  EXPECT_EQ(FinderLayoutFile::iconSize({3200, 1000}), 144.0); // the smaller ratio counts
  EXPECT_DOUBLE_EQ(FinderLayoutFile::iconSize({2000.5, 1300}), 144.0 * 2000.5 / 1600.0);
  EXPECT_EQ(FinderLayoutFile::iconSize({0, 0}), 72.0);
  EXPECT_EQ(FinderLayoutFile::iconSize({std::numeric_limits<double>::quiet_NaN(), 1000}), 72.0);
}

TEST(FinderLayoutFile, IconLocationsRoundHalvesAwayFromZero) {
  EXPECT_EQ(FinderLayoutFile::iconLocation({120.5, 120.4}),
            hexBytes("00 00 00 79 00 00 00 78 FF FF FF FF FF FF 00 00"));
  EXPECT_EQ(FinderLayoutFile::iconLocation({-0.5, -1.5}),
            hexBytes("FF FF FF FF FF FF FF FE FF FF FF FF FF FF 00 00"));
  // Only the low 32 bits of large values are kept.
  EXPECT_EQ(FinderLayoutFile::iconLocation({4294967296.0 + 7, 0}),
            hexBytes("00 00 00 07 00 00 00 00 FF FF FF FF FF FF 00 00"));
}

TEST(FinderLayoutFile, GoldenFilesMatchAndReadBack) {
  const bool regenerate = std::getenv("BOSUN_REGENERATE_GOLDEN") != nullptr;
  for (const auto& golden : goldens) {
    SCOPED_TRACE(golden.fileName);
    const Bytes made = DSStoreWriter::data(
        FinderLayoutFile::records("/Volumes/Demo", "Demo", "Demo.app", golden.background,
                                  golden.window, golden.app, golden.folder, demoFacts()));
    const fs::path path = fs::path(TEST_DATA_DIR) / "finder" / golden.fileName;
    if (regenerate) {
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(made.data()), static_cast<long>(made.size()));
    }
    const ByteVector stored = fileBytes(path);
    EXPECT_TRUE(stored == made) << "differs from the writer's output; regenerate if intended";

    const ReadFile file = readDSStore(stored);
    std::vector<std::string> order;
    for (const auto& record : file.records)
      order.push_back(record.nameUTF8 + "/" + record.code);
    EXPECT_EQ(order, (std::vector<std::string>{"./bwsp", "./icvl", "./icvp", "./vSrn", "./vstl",
                                               "Applications/Iloc", "Demo.app/Iloc"}));
    EXPECT_EQ(find(file, ".", "icvl").typeValue, "icnv");
    EXPECT_EQ(find(file, ".", "vstl").typeValue, "icnv");
    EXPECT_EQ(find(file, ".", "vSrn").longValue, 1u);
    EXPECT_EQ(find(file, "Demo.app", "Iloc").blob, FinderLayoutFile::iconLocation(golden.app));
    EXPECT_EQ(find(file, "Applications", "Iloc").blob,
              FinderLayoutFile::iconLocation(golden.folder));

    const ReadPlist window(find(file, ".", "bwsp").blob);
    const ReadPlist view(find(file, ".", "icvp").blob);
    if (golden.background) {
      EXPECT_EQ(window.string("WindowBounds"), "{{400, 100}, {1600, 1000}}");
      EXPECT_EQ(view.real("iconSize"), 144.0);
      EXPECT_EQ(view.integer("backgroundType"), 2u);
      const ByteVector alias = view.data("backgroundImageAlias");
      EXPECT_EQ(alias, FinderAlias::data("/Volumes/Demo/.support/background.png", "/Volumes/Demo",
                                         "Demo", demoFacts()));
      EXPECT_EQ(readUInt32(alias, 46), 18u);
    } else {
      EXPECT_EQ(window.string("WindowBounds"), "{{400, 100}, {660, 400}}");
      EXPECT_EQ(view.real("iconSize"), 72.0);
      EXPECT_EQ(view.size(), 16u);
    }
  }
}

TEST(FinderLayoutFile, WriteReplacesTheFileAndSendsTheNote) {
  TemporaryFolder folder("Halyard_Test_");
  const fs::path target = folder.path() / ".DS_Store";
  std::ofstream(target) << "an older layout";
  bosun::testing::NoteCapture catcher;

  FinderLayoutFile::write(folder.path(), "My App.app", std::nullopt, {660, 400}, {160, 205},
                          {500, 205});
  const ByteVector written = fileBytes(target);
  ASSERT_EQ(written.size(), 16388u);
  EXPECT_EQ(find(readDSStore(written), "My App.app", "Iloc").blob,
            hexBytes("00 00 00 A0 00 00 00 CD FF FF FF FF FF FF 00 00"));
  // No volume name on this system: the folder's own name stands in.
  EXPECT_EQ(catcher.notes, (std::vector<std::string>{"Finder layout written to .DS_Store for " +
                                                     folder.path().filename().string()}));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(FinderLayoutFile, VolumeNameFallsBackToTheFolderName) {
  FileFacts facts;
  EXPECT_EQ(FinderLayoutFile::volumeName("/Volumes/Installer/", facts), "Installer");
  facts.volumeName = [](const fs::path&) -> std::optional<std::string> {
    throw std::runtime_error("no volume information");
  };
  EXPECT_EQ(FinderLayoutFile::volumeName("/Volumes/Installer", facts), "Installer");
  facts.volumeName = [](const fs::path&) { return std::optional<std::string>("Demo 1.0"); };
  EXPECT_EQ(FinderLayoutFile::volumeName("/Volumes/Installer", facts), "Demo 1.0");
}

TEST(FinderLayoutFile, FailuresLeaveTheFolderUntouchedAndSendNoNote) {
  TemporaryFolder folder("Halyard_Test_");
  const fs::path target = folder.path() / ".DS_Store";
  std::ofstream(target) << "kept";
  bosun::testing::NoteCapture catcher;
  FileFacts noFacts;
  noFacts.creationTime = [](const fs::path&) { return std::optional<Platform::FileTime>(); };
  noFacts.fileNumber = [](const fs::path&) { return std::optional<std::uint64_t>(); };

  EXPECT_THROW(FinderLayoutFile::write(folder.path(), "A.app", ".support/background.png",
                                       {660, 400}, {1, 1}, {2, 2}, noFacts),
               FinderAlias::Failure);
  EXPECT_THROW(FinderLayoutFile::write(folder.path(), std::string(2100, 'a'), std::nullopt,
                                       {660, 400}, {1, 1}, {2, 2}),
               DSStoreWriter::Failure);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (auto [window, app] : {std::pair<Size, Point>{{nan, 400}, {1, 1}},
                             {{660, 1e300}, {1, 1}},
                             {{660, 400}, {std::numeric_limits<double>::infinity(), 1}}}) {
    EXPECT_THROW(FinderLayoutFile::write(folder.path(), "A.app", std::nullopt, window, app, {2, 2}),
                 FinderLayoutFile::Failure);
  }

  EXPECT_EQ(fileBytes(target), textBytes("kept"));
  EXPECT_TRUE(catcher.notes.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(FinderLayoutFile, BackgroundAliasOnARealFolder) {
  TemporaryFolder folder("Halyard_Test_");
  const fs::path volume = fs::canonical(folder.path());
  fs::create_directories(volume / ".support");
  std::ofstream(volume / ".support" / "background.png") << "png";
  if (!Platform::creationTime(volume)) GTEST_SKIP() << "no birth times on this file system";

  // A leading "/" on the relative path still means below the volume root.
  FinderLayoutFile::write(volume, "Demo.app", "/.support/background.png", {1600, 1000}, {550, 500},
                          {1050, 500});
  const ReadFile file = readDSStore(fileBytes(volume / ".DS_Store"));
  const ReadPlist view(find(file, ".", "icvp").blob);
  const ByteVector alias = view.data("backgroundImageAlias");
  EXPECT_EQ(readUInt32(alias, 46),
            static_cast<std::uint32_t>(Platform::fileNumber(volume / ".support")));
  EXPECT_EQ(readUInt16(alias, 4), alias.size());
}
