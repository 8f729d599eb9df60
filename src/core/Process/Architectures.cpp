#include "core/Process/Architectures.hpp"

#include <sstream>

#include "core/Process/AppleTools.hpp"

namespace halyard {

std::optional<std::vector<std::string>> Architectures::of(const std::filesystem::path& file,
                                                          const ToolRun& run) {
  const auto result = run(AppleTools::lipo, {"-archs", file.string()});
  if (!result.succeeded()) return std::nullopt;
  return read(result.standardOutput);
}

std::vector<std::string> Architectures::read(std::string_view output) {
  std::vector<std::string> names;
  std::istringstream words{std::string(output)};
  for (std::string word; words >> word;)
    names.push_back(std::move(word));
  return names;
}

} // namespace halyard
