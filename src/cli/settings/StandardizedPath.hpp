#pragma once

#include <filesystem>
#include <string>

namespace bosun {

// A path as the user typed it, made into a location: a leading "~" expanded to `home`, a
// relative path taken from `base`, "." and ".." components and a trailing separator removed
// (lexically: links are not followed).
std::filesystem::path standardizedPath(const std::string& path, const std::filesystem::path& base,
                                       const std::filesystem::path& home);

// A file named on the command line, standardized against the current folder and the user's home
// folder; every command reads its paths through this.
std::filesystem::path commandLinePath(const std::string& path);

// The last component's extension after its last dot, lower-cased ("App.ZIP" gives "zip"); a
// leading dot does not start an extension, so ".hyd" has none.
std::string lowerCasedPathExtension(const std::filesystem::path& path);

} // namespace bosun
