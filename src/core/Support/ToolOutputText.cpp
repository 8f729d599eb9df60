#include "core/Support/ToolOutputText.hpp"

#include "core/Support/Text.hpp"

namespace halyard::text {

std::optional<std::string> firstValue(std::string_view text, std::string_view prefix) {
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const auto line = trimmed(text.substr(start, end - start), " \t");
    if (std::string_view(line).starts_with(prefix)) {
      return trimmed(std::string_view(line).substr(prefix.size()), " \t");
    }
    start = end + 1;
  }
  return std::nullopt;
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

} // namespace halyard::text
