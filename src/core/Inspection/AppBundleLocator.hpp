#pragma once

#include <filesystem>
#include <optional>

namespace halyard {

// Finds the app bundle inside a mounted image or an expanded package.
struct AppBundleLocator {
  // The first folder named *.app (any letter case) in the top-level listing; failing that, the
  // first one met walking the tree, without descending into other bundles. Hidden entries and
  // symbolic links are never taken, so a link cannot lead the inspection out of the tree.
  static std::optional<std::filesystem::path> find(const std::filesystem::path& root);

  // A folder whose extension marks a bundle that the Finder shows as one item.
  static bool isBundleFolder(const std::filesystem::path& path);
};

} // namespace halyard
