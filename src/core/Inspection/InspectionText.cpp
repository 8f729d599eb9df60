#include "core/Inspection/InspectionText.hpp"

namespace halyard::inspectiontext {

namespace {
std::string_view trimmedBlanks(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}
} // namespace

std::optional<std::string> firstValue(std::string_view text, std::string_view prefix) {
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const auto line = trimmedBlanks(text.substr(start, end - start));
    if (line.starts_with(prefix)) {
      return std::string(trimmedBlanks(line.substr(prefix.size())));
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::string printable(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      result += "\\x";
      result += hex[byte >> 4];
      result += hex[byte & 0x0F];
    } else {
      result += c;
    }
  }
  return result;
}

} // namespace halyard::inspectiontext
