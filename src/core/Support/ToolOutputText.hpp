#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halyard::text {

// The first value of `prefix` in a tool's output: the first line (trimmed of blanks and tabs)
// that begins with the prefix, without the prefix and trimmed again; none when no line does.
std::optional<std::string> firstValue(std::string_view text, std::string_view prefix);

} // namespace halyard::text
