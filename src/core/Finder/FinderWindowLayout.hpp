#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Finder/DSStoreRecord.hpp"
#include "core/Finder/FinderLayoutFile.hpp"

namespace halyard {

// What a folder's .DS_Store says about its window, read back from the records FinderLayoutFile
// writes (and the older ones other tools still write): the window's size, the icon and text
// sizes, the background and where each icon sits. Values the file does not give stay empty; the
// caller decides the defaults.
struct FinderWindowLayout {
  using Point = FinderLayoutFile::Point;
  using Size = FinderLayoutFile::Size;

  enum class Background { none, colour, picture };

  // Limits on values taken from a file: a window from 1 to 10,000 points a side, icons of 16 to
  // 512 points and labels of 6 to 64 points, as the Finder offers them (with room to spare).
  static constexpr double maximumWindowSide = 10000;

  std::optional<Size> windowSize;
  std::optional<double> iconSize;
  std::optional<double> textSize;
  Background background = Background::none;
  // Red, green, blue from 0 to 1, for a colour background.
  std::optional<std::vector<double>> backgroundColour;
  // The picture's alias record, for a picture background.
  std::optional<Bytes> backgroundAlias;
  // Icon centres by the item's file name.
  std::map<std::string, Point> iconPositions;

  // The layout of the folder "." and its items. Throws DSStoreReader::Failure for values out of
  // range or settings that cannot be read.
  static FinderWindowLayout fromRecords(const std::vector<DSStoreRecord>& records);

  // The picture's path below the volume root from an alias record (its POSIX path field, else
  // its colon-separated path without the volume name); none when the record names no path, or a
  // path that would leave the volume.
  static std::optional<std::string> aliasRelativePath(const Bytes& alias);
};

} // namespace halyard
