#include "core/Support/ToolRoot.hpp"

#include <cstdlib>

namespace halyard {

std::filesystem::path ToolRoot::root() {
  const char* value = std::getenv("BOSUN_TOOL_ROOT");
  if (value == nullptr || *value == '\0') return {};
  return std::filesystem::path(value);
}

bool ToolRoot::isActive() {
  return !root().empty();
}

std::filesystem::path ToolRoot::path(const std::filesystem::path& platformPath) {
  const auto base = root();
  if (base.empty() || !platformPath.is_absolute()) return platformPath;
  return base / platformPath.relative_path();
}

} // namespace halyard
