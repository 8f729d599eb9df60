#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/DMG/FinderWindowScene.hpp"

namespace halyard {

// The window the Finder opens for a mounted volume, read from what the volume holds: its
// .DS_Store (window size, icon and text size, background, icon places), the background picture
// it names (through its alias record, else the first picture in the .background folder), and the
// visible items at the root with their icons. A volume without a layout file, or with one that
// cannot be read, gets the Finder's defaults: a white window with the items in rows.
struct VolumeWindow {
  enum class Layout { read, missing, malformed };

  // The Finder's defaults where the layout file says nothing.
  static constexpr FinderSize defaultWindowSize{800, 500};
  static constexpr double defaultIconSize = 64;
  static constexpr double defaultTextSize = 12;
  // At most this many root items are shown (an installer volume holds a handful).
  static constexpr std::size_t maximumItems = 200;

  Layout layout = Layout::missing;
  // Why the layout file was refused (the reader's message), for a malformed one.
  std::optional<std::string> layoutProblem;
  // The background picture shown, as a path below the volume root.
  std::optional<std::string> backgroundPath;
  // The layout asks for a background picture that is not on the volume.
  bool backgroundMissing = false;
  // The visible items whose icon is not wholly inside the window, in the Finder's name order.
  std::vector<std::string> offWindowItems;
  FinderWindowScene scene;

  // Reads the volume mounted at `mountPoint`; its last path component is the window's title.
  // Never throws for what the volume holds: a problem is recorded above.
  static VolumeWindow read(const std::filesystem::path& mountPoint);
};

} // namespace halyard
