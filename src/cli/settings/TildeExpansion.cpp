#include "cli/settings/TildeExpansion.hpp"

namespace bosun {

std::string expandingTilde(std::string_view path, const std::filesystem::path& home) {
  if (path.empty() || path.front() != '~') return std::string(path);
  if (path.size() > 1 && path[1] != '/') return std::string(path);
  std::string expanded = home.string();
  std::string_view rest = path.substr(1);
  // "~/x" with home "/" gives "/x", not "//x".
  if (!expanded.empty() && expanded.back() == '/' && !rest.empty()) expanded.pop_back();
  return expanded + std::string(rest);
}

} // namespace bosun
