#include <gtest/gtest.h>

#include <filesystem>

#include "core/DMG/VolumeWindow.hpp"
#include "core/Design/DesignTestSupport.hpp"
#include "core/Finder/DSStoreWriter.hpp"
#include "core/Finder/FinderLayoutFile.hpp"
#include "core/Inspection/DMGInspectionRules.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

// Fixed answers for the alias record of the background picture in `volume`.
FileFacts factsFor(const fs::path& volume) {
  FileFacts facts;
  facts.creationTime = [](const fs::path&) -> std::optional<Platform::FileTime> {
    return Platform::FileTime{1700000000, 0};
  };
  facts.fileNumber = [](const fs::path&) -> std::optional<std::uint64_t> { return 20; };
  facts.volumeName = [volume](const fs::path&) { return volume.filename().string(); };
  return facts;
}

// The layout file bosun writes, for an 800 × 500 window with the app at `appPos`.
void writeLayout(const fs::path& volume, std::optional<std::string> background,
                 FinderLayoutFile::Point appPos) {
  const Bytes file = DSStoreWriter::data(
      FinderLayoutFile::records(volume, volume.filename().string(), "MyApp.app", background,
                                {800, 500}, appPos, {600, 250}, factsFor(volume)));
  AtomicFile::writeAll(volume / ".DS_Store",
                       std::string(reinterpret_cast<const char*>(file.data()), file.size()));
}

} // namespace

// A volume as bosun builds it, and as other tools or damage leave it: what the window shows and
// what the report says about its background and its icons.
TEST(VolumeWindow, ReadsTheLayoutOrFallsBackToTheFinderDefaults) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> prepare;
    VolumeWindow::Layout layout;
    std::optional<std::string> background;
    std::vector<std::string> offWindow;
    std::string backgroundValue;
    InspectionStatus backgroundStatus;
  };
  const Case cases[] = {
      {"bosun's own layout",
       [](const fs::path& volume) {
         writeLayout(volume, ".support/background.png", {200, 250});
       },
       VolumeWindow::Layout::read,
       ".support/background.png",
       {},
       "Background picture .support/background.png.",
       InspectionStatus::pass},
      {"an icon beyond the right edge",
       [](const fs::path& volume) {
         writeLayout(volume, std::nullopt, {780, 250});
       },
       VolumeWindow::Layout::read,
       std::nullopt,
       {"MyApp.app"},
       "No background picture.",
       InspectionStatus::info},
      {"alias to a missing picture, one in .background",
       [](const fs::path& volume) {
         writeLayout(volume, ".hidden/gone.png", {200, 250});
         fs::create_directories(volume / ".background");
         designtest::writeTwoColourPNG(volume / ".background" / "b.png", 8, 8, 4, 0, 0, 0, 1, 1, 1);
       },
       VolumeWindow::Layout::read,
       ".background/b.png",
       {},
       "Background picture .background/b.png.",
       InspectionStatus::pass},
      {"alias to a missing picture",
       [](const fs::path& volume) {
         writeLayout(volume, ".hidden/gone.png", {200, 250});
       },
       VolumeWindow::Layout::read,
       std::nullopt,
       {},
       "The background picture the layout names is not on the volume.",
       InspectionStatus::warning},
      {"no layout file",
       [](const fs::path&) {},
       VolumeWindow::Layout::missing,
       std::nullopt,
       {},
       "No window layout file; the Finder shows its defaults (a plain white window).",
       InspectionStatus::info},
      {"a truncated layout file",
       [](const fs::path& volume) {
         AtomicFile::writeAll(volume / ".DS_Store", std::string("\0\0\0\1Bud1", 8));
       },
       VolumeWindow::Layout::malformed,
       std::nullopt,
       {},
       "The window layout file could not be read; the Finder shows its defaults (a plain white "
       "window).",
       InspectionStatus::warning},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TemporaryFolder folder("Halyard_Test_");
    const fs::path volume = folder.path() / "MyApp";
    fs::create_directories(volume / ".support");
    designtest::writeTwoColourPNG(volume / ".support" / "background.png", 8, 8, 4, 1, 0, 0, 0, 0,
                                  1);
    fs::create_directories(volume / "MyApp.app" / "Contents");
    fs::create_directory_symlink("/Applications", volume / "Applications");
    test.prepare(volume);

    const VolumeWindow window = VolumeWindow::read(volume);
    EXPECT_EQ(window.layout, test.layout);
    EXPECT_EQ(window.backgroundPath, test.background);
    EXPECT_EQ(window.scene.background.has_value(), test.background.has_value());
    EXPECT_EQ(window.offWindowItems, test.offWindow);
    EXPECT_EQ(window.scene.title, "MyApp");
    // The items in the Finder's name order, the link drawn as the Applications folder.
    ASSERT_EQ(window.scene.items.size(), 2u);
    EXPECT_EQ(window.scene.items[0].label, "Applications");
    EXPECT_EQ(window.scene.items[0].icon, FinderWindowScene::Icon::applications);
    EXPECT_EQ(window.scene.items[1].label, "MyApp");
    EXPECT_EQ(window.scene.items[1].icon, FinderWindowScene::Icon::app);
    if (test.layout == VolumeWindow::Layout::read) {
      EXPECT_EQ(window.scene.windowSize.width, 800);
      EXPECT_EQ(window.scene.iconSize, 72);
      EXPECT_EQ(window.scene.items[0].centre.x, 600);
    } else {
      EXPECT_EQ(window.scene.windowSize.width, VolumeWindow::defaultWindowSize.width);
      EXPECT_EQ(window.scene.iconSize, VolumeWindow::defaultIconSize);
      // In a row from the top left.
      EXPECT_LT(window.scene.items[0].centre.x, window.scene.items[1].centre.x);
      EXPECT_EQ(window.scene.items[0].centre.y, window.scene.items[1].centre.y);
    }
    if (test.layout == VolumeWindow::Layout::malformed) {
      EXPECT_EQ(window.layoutProblem->rfind("The .DS_Store file is malformed: ", 0), 0u);
    }

    const auto fields = DMGInspectionRules::windowFields(window);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].value(), test.backgroundValue);
    EXPECT_EQ(fields[0].status(), test.backgroundStatus);
    EXPECT_EQ(fields[1].id(), InspectionFieldID::iconPlacement);
    EXPECT_EQ(fields[1].status(),
              test.offWindow.empty() ? InspectionStatus::pass : InspectionStatus::warning);
    EXPECT_EQ(fields[1].value(), test.offWindow.empty()
                                     ? "Every icon lies inside the window."
                                     : "The icon of MyApp.app lies outside the window.");
    EXPECT_EQ(fields[0].weight() + fields[1].weight(), 0);
  }
}
