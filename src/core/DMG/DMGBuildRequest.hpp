#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/DMG/DMGCompressionFormat.hpp"
#include "core/DMG/DMGFinderLayout.hpp"
#include "core/Design/CodableColor.hpp"

namespace halyard {

struct DesignTemplate;

// Everything a DMG build is asked to make, given explicitly by the caller.
struct DMGBuildRequest {
  // The user's name for the image; the volume name is derived from it.
  std::string dmgName;
  // The window's background picture (a rendered template or the user's own); none: the default
  // artwork.
  std::optional<std::filesystem::path> backgroundImageURL;
  // The catalogue symbol drawn as the arrow, for example "arrow.right".
  std::string arrowSymbol;
  // Applications on the left, the app on the right.
  bool isReversed = false;
  // The content size of the Finder window, which is also the background's size in points.
  FinderSize installerWindowSize;
  // Rounded pills behind the two icon labels, in this colour.
  bool exportLabelPillEnabled = false;
  CodableColor exportLabelPillColor;
  // Carried for the desktop app's preview; the build does not use it.
  CodableColor exportLabelTextColor;
  DMGCompressionFormat compression = DMGCompressionFormat::zlib;
  // An icon file (.icns) the volume shows instead of the standard disk icon; none: the standard
  // icon.
  std::optional<std::filesystem::path> volumeIconURL;

  // A copy that shows the template's rendered background (`backgroundImageURL`) with the label
  // settings of the template's canvas; name, arrow, reversal, window size and compression stay.
  DMGBuildRequest styled(const DesignTemplate& designTemplate,
                         const std::filesystem::path& backgroundImageURL) const;
};

} // namespace halyard
