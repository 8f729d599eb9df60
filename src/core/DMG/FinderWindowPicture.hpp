#pragma once

#include <optional>
#include <string>

#include "core/DMG/FinderWindowScene.hpp"

namespace halyard {

// Draws a FinderWindowScene as the Finder shows it: a plain window frame (rounded corners, a
// title bar with the three window buttons and the title centred), the background colour and
// picture, each item's icon centred on its place at the icon size, and its name centred under
// it in the system font at the text size, on at most two lines.
struct FinderWindowPicture {
  // A PNG of the whole window at the scene's backing scale; nothing for a window that is not
  // finite, has no area or is larger than a bitmap may be.
  static std::optional<std::string> png(const FinderWindowScene& scene);
};

} // namespace halyard
