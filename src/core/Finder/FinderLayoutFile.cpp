#include "core/Finder/FinderLayoutFile.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include "core/Finder/DSStoreWriter.hpp"
#include "core/Finder/FinderAlias.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/PropertyList.hpp"

namespace halyard::FinderLayoutFile {

namespace {

// Values from -2^63 up to (not including) 2^63 convert to a 64-bit integer.
bool fitsInteger(double value) {
  return std::isfinite(value) && value >= -9223372036854775808.0 && value < 9223372036854775808.0;
}

void checkGeometry(Size windowSize, Point appPos, Point folderPos) {
  const double values[] = {windowSize.width,     windowSize.height,       std::round(appPos.x),
                           std::round(appPos.y), std::round(folderPos.x), std::round(folderPos.y)};
  for (double value : values) {
    if (!fitsInteger(value)) throw Failure(Failure::Kind::invalidGeometry);
  }
}

Bytes binaryPropertyList(const PropertyList& dictionary) {
  const std::string bytes = dictionary.binary();
  if (bytes.empty()) throw Failure(Failure::Kind::serialisationFailed);
  return Bytes(bytes.begin(), bytes.end());
}

std::string integerText(double value) {
  return std::to_string(static_cast<std::int64_t>(value));
}

std::uint32_t roundedCoordinate(double value) {
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::round(value)));
}

} // namespace

Failure::Failure(Kind kind)
    : Error("Halyard.FinderLayoutFile", static_cast<int>(kind) + 1,
            kind == Kind::invalidGeometry
                ? "The Finder window size or an icon position is not a usable number."
                : "The Finder window settings could not be written as a property list."),
      kind_(kind) {}

double iconSize(Size windowSize) {
  const double scale = std::min(windowSize.width / 1600.0, windowSize.height / 1000.0);
  if (std::isnan(scale) || std::isnan(windowSize.width) || std::isnan(windowSize.height)) {
    return 72.0;
  }
  return std::max(144.0 * scale, 72.0);
}

Bytes windowSettings(Size windowSize) {
  auto dictionary = PropertyList::dictionary();
  dictionary.setBoolean("ContainerShowSidebar", false);
  dictionary.setBoolean("PreviewPaneVisibility", false);
  dictionary.setBoolean("ShowPathbar", false);
  dictionary.setBoolean("ShowSidebar", false);
  dictionary.setBoolean("ShowStatusBar", false);
  dictionary.setBoolean("ShowTabView", false);
  dictionary.setBoolean("ShowToolbar", false);
  dictionary.setInteger("SidebarWidth", 0);
  const std::string bounds = "{{" + integerText(windowOrigin.x) + ", " +
                             integerText(windowOrigin.y) + "}, {" + integerText(windowSize.width) +
                             ", " + integerText(windowSize.height) + "}}";
  dictionary.setString("WindowBounds", bounds);
  return binaryPropertyList(dictionary);
}

Bytes iconViewSettings(Size windowSize, const std::optional<Bytes>& backgroundAlias) {
  auto dictionary = PropertyList::dictionary();
  dictionary.setString("arrangeBy", "none");
  dictionary.setReal("backgroundColorBlue", 1.0);
  dictionary.setReal("backgroundColorGreen", 1.0);
  dictionary.setReal("backgroundColorRed", 1.0);
  dictionary.setInteger("backgroundType", backgroundAlias ? 2 : 0);
  dictionary.setReal("gridOffsetX", 0.0);
  dictionary.setReal("gridOffsetY", 0.0);
  dictionary.setReal("gridSpacing", 100.0);
  dictionary.setReal("iconSize", iconSize(windowSize));
  dictionary.setBoolean("labelOnBottom", true);
  dictionary.setReal("scrollPositionX", 0.0);
  dictionary.setReal("scrollPositionY", 0.0);
  dictionary.setBoolean("showIconPreview", true);
  dictionary.setBoolean("showItemInfo", false);
  dictionary.setReal("textSize", 12.0);
  dictionary.setInteger("viewOptionsVersion", 1);
  if (backgroundAlias) {
    dictionary.setData("backgroundImageAlias",
                       std::string_view(reinterpret_cast<const char*>(backgroundAlias->data()),
                                        backgroundAlias->size()));
  }
  return binaryPropertyList(dictionary);
}

Bytes iconLocation(Point centre) {
  BigEndianData out;
  out.append(roundedCoordinate(centre.x));
  out.append(roundedCoordinate(centre.y));
  out.append(std::uint32_t{0xFFFFFFFF});
  out.append(std::uint32_t{0xFFFF0000});
  return std::move(out.bytes);
}

std::string volumeName(const std::filesystem::path& to, const FileFacts& facts) {
  std::optional<std::string> name;
  try {
    if (facts.volumeName) name = facts.volumeName(to);
  } catch (const std::exception&) {
    // Not knowing the name is no failure: the folder's name stands in.
  }
  if (name && !name->empty()) return *name;
  std::string text = to.string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  return std::filesystem::path(text).filename().string();
}

std::vector<DSStoreRecord> records(const std::filesystem::path& to, const std::string& volumeName,
                                   const std::string& appName,
                                   const std::optional<std::string>& backgroundRelativePath,
                                   Size windowSize, Point appPos, Point folderPos,
                                   const FileFacts& facts) {
  checkGeometry(windowSize, appPos, folderPos);

  std::optional<Bytes> alias;
  if (backgroundRelativePath) {
    // Appended below the root even when it starts with "/", as a URL path would be.
    std::string relative = *backgroundRelativePath;
    relative.erase(0, relative.find_first_not_of('/'));
    alias = FinderAlias::data(to / relative, to, volumeName, facts);
  }
  Bytes window = windowSettings(windowSize);
  Bytes iconView = iconViewSettings(windowSize, alias);

  return {
      {".", "bwsp", DSStoreRecord::Blob{std::move(window)}},
      {".", "icvp", DSStoreRecord::Blob{std::move(iconView)}},
      {".", "icvl", DSStoreRecord::Type{"icnv"}},
      {".", "vstl", DSStoreRecord::Type{"icnv"}},
      {".", "vSrn", DSStoreRecord::Long{1}},
      {appName, "Iloc", DSStoreRecord::Blob{iconLocation(appPos)}},
      {"Applications", "Iloc", DSStoreRecord::Blob{iconLocation(folderPos)}},
  };
}

void write(const std::filesystem::path& to, const std::string& appName,
           const std::optional<std::string>& backgroundRelativePath, Size windowSize, Point appPos,
           Point folderPos, const FileFacts& facts) {
  const std::string name = volumeName(to, facts);
  const Bytes file = DSStoreWriter::data(
      records(to, name, appName, backgroundRelativePath, windowSize, appPos, folderPos, facts));
  AtomicFile::writeAll(to / ".DS_Store",
                       std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
  HalyardCoreLog::noteMessage("Finder layout written to .DS_Store for " + name);
}

} // namespace halyard::FinderLayoutFile
