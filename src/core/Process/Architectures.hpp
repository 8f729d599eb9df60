#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Process/ToolRun.hpp"

namespace halyard {

// The platform's tool for universal binaries, lipo: the one place that spells its command line
// and reads its answer.
struct Architectures {
  // `lipo -archs FILE`: the names of the architectures the file holds, in the tool's order (for
  // example "x86_64", "arm64"); none when the tool fails.
  static std::optional<std::vector<std::string>> of(const std::filesystem::path& file,
                                                    const ToolRun& run);

  // The names in what `lipo -archs` printed: words separated by white space.
  static std::vector<std::string> read(std::string_view output);
};

} // namespace halyard
