#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Finder/BigEndianData.hpp"
#include "core/Finder/DSStoreRecord.hpp"
#include "core/Finder/FileFacts.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Writes the .DS_Store that makes a mounted DMG volume open as an installer window: a fixed
// window position and size, a bare icon view, a white window or a background picture, and the
// app's and the Applications link's icons at given places.
namespace FinderLayoutFile {

struct Point {
  double x = 0;
  double y = 0;
};

struct Size {
  double width = 0;
  double height = 0;
};

// Where every DMG window opens: its top-left corner on screen, in points.
inline constexpr Point windowOrigin{400, 100};

class Failure : public Error {
public:
  enum class Kind {
    // A window size or icon position is not finite or does not fit a 64-bit integer.
    invalidGeometry,
    // The property-list serialiser produced nothing.
    serialisationFailed,
  };

  explicit Failure(Kind kind);
  Kind kind() const { return kind_; }

private:
  Kind kind_;
};

// Writes `<to>/.DS_Store` atomically, replacing any existing file, and sends the note "Finder
// layout written to .DS_Store for <volume name>". `to` is the root of the mounted volume,
// `appName` the app bundle's file name in it, `backgroundRelativePath` the background
// picture's path below the root (none: a plain white window). Every failure propagates and
// leaves the folder untouched.
void write(const std::filesystem::path& to, const std::string& appName,
           const std::optional<std::string>& backgroundRelativePath, Size windowSize, Point appPos,
           Point folderPos, const FileFacts& facts = FileFacts::system());

// The records `write` stores, for a volume named `volumeName` mounted at `to`.
std::vector<DSStoreRecord> records(const std::filesystem::path& to, const std::string& volumeName,
                                   const std::string& appName,
                                   const std::optional<std::string>& backgroundRelativePath,
                                   Size windowSize, Point appPos, Point folderPos,
                                   const FileFacts& facts = FileFacts::system());

// The name the system reports for the volume at `to`, else the folder's last path component.
std::string volumeName(const std::filesystem::path& to, const FileFacts& facts);

// The window settings ("bwsp") as a binary property list.
Bytes windowSettings(Size windowSize);

// The icon view settings ("icvp") as a binary property list; with a background alias record
// the view shows that picture.
Bytes iconViewSettings(Size windowSize, const std::optional<Bytes>& backgroundAlias);

// 144 points scaled by the window against 1,600 x 1,000 points, never less than 72.
double iconSize(Size windowSize);

// An "Iloc" value: the centre rounded half away from zero, then 0xFFFFFFFF and 0xFFFF0000.
Bytes iconLocation(Point centre);

} // namespace FinderLayoutFile

} // namespace halyard
