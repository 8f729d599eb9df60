#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/DMG/DMGBuildRequest.hpp"
#include "core/DMG/DMGFinderLayout.hpp"
#include "core/Design/CodableColor.hpp"

namespace halyard {

// A Finder window as it will appear on a Mac, in window points (y downwards): its title, its
// content size, the background, and each item's icon and name at their places. It holds
// everything it shows (picture bytes included), so it can be drawn once the volume it was read
// from is gone.
struct FinderWindowScene {
  // The window frame above the content: a title bar without toolbar, in points.
  static constexpr double titleBarHeight = 28;
  // The picture has two pixels per point, as on a Retina display.
  static constexpr double backingScale = 2;
  // The Finder sets a name over at most this width (points) and two lines.
  static constexpr double labelWidth = 244;

  enum class Icon { app, folder, applications, document };

  struct Item {
    // The name under the icon (an app's without ".app", as the Finder hides it).
    std::string label;
    FinderPoint centre;
    Icon icon = Icon::document;
    // A PNG for the icon (an app's own); none: our generic picture for the kind.
    std::optional<std::string> iconPNG;
  };

  // A picture file's bytes; `extension` (without dot) tells how to decode them.
  struct Picture {
    std::string bytes;
    std::string extension;
  };

  std::string title;
  FinderSize windowSize;
  double iconSize = 72;
  double textSize = 12;
  CodableColor backgroundColour = CodableColor::white();
  // Drawn at its size in points from the window's top-left corner, over the colour.
  std::optional<Picture> background;
  CodableColor labelColour = CodableColor::black();
  std::vector<Item> items;

  // The window a build of `request` makes for the app at `appSource` (a bundle or an archive
  // of one): the volume's name as title, the window size and icon size the layout file gets, the
  // app and the Applications link at their icon locations (rounded as the file stores them),
  // `backgroundPNG` as the background (none: white, as the Finder shows a window without one).
  static FinderWindowScene forRelease(const DMGBuildRequest& request,
                                      const std::filesystem::path& appSource,
                                      std::optional<std::string> backgroundPNG);

  // The label the Finder shows for a file name: an app's name without its ".app".
  static std::string label(const std::string& fileName);

  // The picture of the whole window, frame included, at backingScale pixels per point. Nothing
  // when it cannot be drawn. Throws ModuleLoadError when the drawing code cannot be loaded.
  std::optional<std::string> png() const;
};

} // namespace halyard
