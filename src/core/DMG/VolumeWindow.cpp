#include "core/DMG/VolumeWindow.hpp"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <utility>
#include <vector>

#include "core/DMG/AppIconFile.hpp"
#include "core/Finder/DSStoreReader.hpp"
#include "core/Finder/FinderWindowLayout.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/FinderNameOrder.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

// Background pictures beyond this are not read.
constexpr std::uintmax_t maximumPictureSize = 64 * 1024 * 1024;

std::string extensionOf(const fs::path& path) {
  std::string extension = text::lowercasedASCII(path.extension().string());
  if (!extension.empty()) extension.erase(0, 1);
  return extension;
}

bool isPicture(const fs::path& path) {
  static const std::vector<std::string> kinds{"png", "jpg", "jpeg", "tif", "tiff", "gif", "bmp"};
  return std::find(kinds.begin(), kinds.end(), extensionOf(path)) != kinds.end();
}

// A path below the root that stays there: no component leads out, and no link is followed.
std::optional<fs::path> insideVolume(const fs::path& root, const std::string& relative) {
  fs::path path = root;
  std::error_code error;
  for (const auto& part : fs::path(relative)) {
    if (part == ".." || part == "/" || part.empty()) return std::nullopt;
    path /= part;
    if (fs::is_symlink(path, error)) return std::nullopt;
  }
  return path;
}

std::optional<FinderWindowScene::Picture> readPicture(const fs::path& file) {
  try {
    return FinderWindowScene::Picture{RegularFileReader::read(file, maximumPictureSize),
                                      extensionOf(file)};
  } catch (const Error&) {
    return std::nullopt;
  }
}

// The first picture in the .background folder, by the Finder's name order.
std::optional<std::pair<std::string, fs::path>> backgroundFolderPicture(const fs::path& root) {
  std::error_code error;
  const fs::path folder = root / ".background";
  if (fs::is_symlink(folder, error) || !fs::is_directory(folder, error)) return std::nullopt;
  std::vector<fs::path> pictures;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error) && isPicture(it->path()))
      pictures.push_back(it->path());
    if (pictures.size() > 1000) break;
  }
  if (pictures.empty()) return std::nullopt;
  FinderNameOrder::sortByFileName(pictures);
  return std::make_pair(".background/" + pictures.front().filename().string(), pictures.front());
}

FinderWindowScene::Icon iconKind(const fs::directory_entry& entry) {
  std::error_code error;
  if (entry.is_symlink(error)) {
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (!error && target.lexically_normal() == "/Applications")
      return FinderWindowScene::Icon::applications;
    return entry.is_directory(error) ? FinderWindowScene::Icon::folder
                                     : FinderWindowScene::Icon::document;
  }
  if (entry.is_directory(error))
    return extensionOf(entry.path()) == "app" ? FinderWindowScene::Icon::app
                                              : FinderWindowScene::Icon::folder;
  return FinderWindowScene::Icon::document;
}

// Items the layout does not place: in rows from the top left, as the Finder arranges them.
FinderPoint gridPlace(std::size_t index, const FinderWindowScene& scene) {
  const double cellWidth = std::max(scene.iconSize + 48, 100.0);
  const double cellHeight = scene.iconSize + 3 * scene.textSize + 20;
  const auto columns =
      static_cast<std::size_t>(std::max(1.0, std::floor(scene.windowSize.width / cellWidth)));
  return {cellWidth * (static_cast<double>(index % columns) + 0.5),
          10 + scene.iconSize / 2 + cellHeight * static_cast<double>(index / columns)};
}

void readLayout(const fs::path& root, VolumeWindow& window, FinderWindowLayout& layout) {
  std::error_code error;
  const fs::path file = root / ".DS_Store";
  if (!fs::exists(fs::symlink_status(file, error))) return;
  try {
    const std::string bytes = RegularFileReader::read(file, DSStoreReader::maximumFileSize);
    layout =
        FinderWindowLayout::fromRecords(DSStoreReader::read(Bytes(bytes.begin(), bytes.end())));
    window.layout = VolumeWindow::Layout::read;
  } catch (const Error& failure) {
    window.layout = VolumeWindow::Layout::malformed;
    window.layoutProblem = failure.what();
    layout = {};
  }
}

void readBackground(const fs::path& root, const FinderWindowLayout& layout, VolumeWindow& window) {
  auto& scene = window.scene;
  if (layout.background == FinderWindowLayout::Background::colour && layout.backgroundColour) {
    const auto& colour = *layout.backgroundColour;
    scene.backgroundColour = {colour[0], colour[1], colour[2], 1};
  }
  if (layout.background != FinderWindowLayout::Background::picture) return;
  std::error_code error;
  if (layout.backgroundAlias) {
    if (const auto relative = FinderWindowLayout::aliasRelativePath(*layout.backgroundAlias)) {
      if (const auto file = insideVolume(root, *relative)) {
        if (fs::is_regular_file(*file, error)) {
          if (auto picture = readPicture(*file)) {
            scene.background = std::move(picture);
            window.backgroundPath = *relative;
            return;
          }
        }
      }
    }
  }
  if (const auto found = backgroundFolderPicture(root)) {
    if (auto picture = readPicture(found->second)) {
      scene.background = std::move(picture);
      window.backgroundPath = found->first;
      return;
    }
  }
  window.backgroundMissing = true;
}

} // namespace

VolumeWindow VolumeWindow::read(const fs::path& mountPoint) {
  VolumeWindow window;
  FinderWindowLayout layout;
  readLayout(mountPoint, window, layout);

  auto& scene = window.scene;
  std::string title = mountPoint.string();
  while (title.size() > 1 && title.back() == '/')
    title.pop_back();
  scene.title = fs::path(title).filename().string();
  scene.windowSize = layout.windowSize.value_or(defaultWindowSize);
  scene.iconSize = layout.iconSize.value_or(defaultIconSize);
  scene.textSize = layout.textSize.value_or(defaultTextSize);
  readBackground(mountPoint, layout, window);

  std::vector<fs::directory_entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(mountPoint, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().filename().string().starts_with(".")) continue;
    entries.push_back(*it);
    if (entries.size() >= maximumItems) break;
  }
  const FinderNameOrder order;
  std::sort(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
    return order(a.path().filename().string(), b.path().filename().string());
  });

  std::size_t unplaced = 0;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    FinderWindowScene::Item item;
    item.label = FinderWindowScene::label(name);
    item.icon = iconKind(entry);
    if (item.icon == FinderWindowScene::Icon::app && !entry.is_symlink(error))
      item.iconPNG = AppIconFile::forApp(entry.path());
    const auto placed = layout.iconPositions.find(name);
    item.centre =
        placed != layout.iconPositions.end() ? placed->second : gridPlace(unplaced++, scene);
    const double half = scene.iconSize / 2;
    if (item.centre.x - half < 0 || item.centre.y - half < 0 ||
        item.centre.x + half > scene.windowSize.width ||
        item.centre.y + half > scene.windowSize.height)
      window.offWindowItems.push_back(name);
    scene.items.push_back(std::move(item));
  }
  return window;
}

} // namespace halyard
