#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halyard::text {

// The first value of `prefix` in a tool's output: the first line (trimmed of blanks and tabs)
// that begins with the prefix, without the prefix and trimmed again; none when no line does.
std::optional<std::string> firstValue(std::string_view text, std::string_view prefix);

// The value of a hexadecimal digit in either case; -1 for any other character.
int hexDigitValue(char c);

} // namespace halyard::text
