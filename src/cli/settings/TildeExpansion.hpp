#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace bosun {

// The path with a leading "~" (alone or followed by "/") replaced by the home folder; any other
// path, "~name/..." included, is returned unchanged.
std::string expandingTilde(std::string_view path, const std::filesystem::path& home);

} // namespace bosun
