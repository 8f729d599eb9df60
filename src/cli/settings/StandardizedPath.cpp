#include "cli/settings/StandardizedPath.hpp"

#include "cli/settings/TildeExpansion.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

std::filesystem::path standardizedPath(const std::string& path, const std::filesystem::path& base,
                                       const std::filesystem::path& home) {
  const std::filesystem::path expanded = expandingTilde(path, home);
  std::filesystem::path result =
      (expanded.is_absolute() ? expanded : base / expanded).lexically_normal();
  if (result.filename().empty() && result.has_relative_path()) result = result.parent_path();
  return result;
}

std::filesystem::path commandLinePath(const std::string& path) {
  return standardizedPath(path, std::filesystem::current_path(), halyard::UserFolders::home());
}

std::string lowerCasedPathExtension(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return halyard::text::lowercasedASCII(name.substr(dot + 1));
}

} // namespace bosun
