#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// Finds a package's identifier in its expanded Distribution and PackageInfo files.
struct PackageIdentifierFinder {
  // The first pkg-ref id of the Distribution files, else the first identifier of the PackageInfo
  // files, in walk order. Only regular files are read, and only their first megabyte.
  static std::optional<std::string> find(const std::filesystem::path& expandedFolder);

  // `<pkg-ref ... id="...">` in a Distribution file.
  static std::optional<std::string> inDistribution(std::string_view text);
  // `identifier="..."` in a PackageInfo file.
  static std::optional<std::string> inPackageInfo(std::string_view text);
};

} // namespace halyard
