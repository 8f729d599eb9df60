#include "core/Support/Version.hpp"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

namespace halyard {

namespace {

// The number at the front of `text`, and what follows it; none when it does not start with one
// (or the number does not fit).
std::optional<std::pair<std::uint64_t, std::string_view>> number(std::string_view text) {
  std::uint64_t value = 0;
  const auto [next, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc()) return std::nullopt;
  return std::pair{value, text.substr(static_cast<std::size_t>(next - text.data()))};
}

} // namespace

std::optional<Version> Version::exact(std::string_view text, std::size_t maxNumbers) {
  Version version;
  while (true) {
    const auto read = number(text);
    if (!read || version.numbers_.size() == maxNumbers) return std::nullopt;
    version.numbers_.push_back(read->first);
    text = read->second;
    if (text.empty()) return version;
    if (text.front() != '.') return std::nullopt;
    text.remove_prefix(1);
  }
}

Version Version::leading(std::string_view text) {
  Version version;
  while (const auto read = number(text)) {
    version.numbers_.push_back(read->first);
    text = read->second;
    if (text.empty() || text.front() != '.') break;
    text.remove_prefix(1);
  }
  return version;
}

Version Version::lenient(std::string_view text) {
  Version version;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view piece = text.substr(start, dot - start);
    if (!piece.empty()) {
      const auto read = number(piece);
      version.numbers_.push_back(read && read->second.empty() ? read->first : 0);
    }
    start = dot + 1;
  }
  return version;
}

std::strong_ordering Version::operator<=>(const Version& other) const {
  const std::size_t length = std::max(numbers_.size(), other.numbers_.size());
  for (std::size_t index = 0; index < length; ++index) {
    const std::uint64_t mine = index < numbers_.size() ? numbers_[index] : 0;
    const std::uint64_t theirs = index < other.numbers_.size() ? other.numbers_[index] : 0;
    if (mine != theirs) return mine <=> theirs;
  }
  return std::strong_ordering::equal;
}

} // namespace halyard
