#include "cli/StandardizedPath.hpp"

namespace bosun {

namespace {

std::string expandingTilde(const std::string& path, const std::filesystem::path& home) {
  if (path.empty() || path.front() != '~') return path;
  if (path.size() > 1 && path[1] != '/') return path;
  std::string expanded = home.string();
  const std::string rest = path.substr(1);
  if (!expanded.empty() && expanded.back() == '/' && !rest.empty()) expanded.pop_back();
  return expanded + rest;
}

} // namespace

std::filesystem::path standardizedPath(const std::string& path, const std::filesystem::path& base,
                                       const std::filesystem::path& home) {
  const std::filesystem::path expanded = expandingTilde(path, home);
  std::filesystem::path result =
      (expanded.is_absolute() ? expanded : base / expanded).lexically_normal();
  if (result.filename().empty() && result.has_relative_path()) result = result.parent_path();
  return result;
}

std::string lowerCasedPathExtension(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

} // namespace bosun
