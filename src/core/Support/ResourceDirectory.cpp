#include "core/Support/ResourceDirectory.hpp"

#include <cstdlib>
#include <system_error>

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

namespace halyard {

std::optional<std::filesystem::path> ResourceDirectory::executablePath() {
#ifdef __APPLE__
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return std::nullopt;
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  std::error_code error;
  auto resolved = std::filesystem::canonical(buffer, error);
  if (error) return std::nullopt;
  return resolved;
#else
  std::error_code error;
  auto resolved = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return resolved;
#endif
}

std::vector<std::filesystem::path> ResourceDirectory::candidates() {
  std::vector<std::filesystem::path> result;
  if (const char* value = std::getenv("HALYARD_RESOURCE_DIR"); value != nullptr && *value != 0) {
    result.emplace_back(value);
  }
  if (auto executable = executablePath()) {
    result.push_back(executable->parent_path().parent_path() / "share" / "bosun");
    result.push_back(executable->parent_path() / "share" / "bosun");
  }
  return result;
}

std::optional<std::filesystem::path>
ResourceDirectory::find(const std::filesystem::path& relative) {
  for (const auto& base : candidates()) {
    std::error_code error;
    auto path = base / relative;
    if (std::filesystem::exists(path, error)) return path;
  }
  return std::nullopt;
}

} // namespace halyard
