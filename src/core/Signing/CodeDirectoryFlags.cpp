#include "core/Signing/CodeDirectoryFlags.hpp"

#include <algorithm>

#include "core/Support/ToolOutputText.hpp"

namespace halyard {

std::optional<CodeDirectoryFlags> CodeDirectoryFlags::parse(std::string_view details) {
  constexpr std::string_view key = "flags=0x";
  std::size_t at = details.find(key);
  // "flags=" must start a word: the CodeDirectory line is "CodeDirectory v=... flags=0x...".
  while (at != std::string_view::npos && at > 0 && details[at - 1] != ' ' &&
         details[at - 1] != '\n' && details[at - 1] != '\t')
    at = details.find(key, at + 1);
  if (at == std::string_view::npos) return std::nullopt;

  CodeDirectoryFlags flags;
  std::size_t position = at + key.size();
  std::size_t digits = 0;
  for (; position < details.size() && text::hexDigitValue(details[position]) >= 0;
       ++position, ++digits) {
    if (digits == 8) return std::nullopt; // more than 32 bits
    flags.value =
        flags.value * 16 + static_cast<std::uint32_t>(text::hexDigitValue(details[position]));
  }
  if (digits == 0) return std::nullopt;

  if (position < details.size() && details[position] == '(') {
    const std::size_t close = details.find(')', position);
    const std::size_t lineEnd = details.find('\n', position);
    if (close != std::string_view::npos && close < lineEnd) {
      std::string_view list = details.substr(position + 1, close - position - 1);
      while (!list.empty()) {
        const std::size_t comma = std::min(list.find(','), list.size());
        const std::string_view name = list.substr(0, comma);
        if (!name.empty() && name != "none") flags.names.emplace_back(name);
        list.remove_prefix(std::min(comma + 1, list.size()));
      }
    }
  }
  return flags;
}

bool CodeDirectoryFlags::hardenedRuntime() const {
  return (value & runtimeBit) != 0 ||
         std::find(names.begin(), names.end(), "runtime") != names.end();
}

} // namespace halyard
