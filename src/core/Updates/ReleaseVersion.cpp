#include "core/Updates/ReleaseVersion.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace halyard {

namespace {

std::vector<std::uint64_t> pieces(const std::string& version) {
  std::vector<std::uint64_t> numbers;
  size_t start = 0;
  while (start <= version.size()) {
    size_t end = version.find('.', start);
    if (end == std::string::npos) end = version.size();
    if (end > start) {
      std::uint64_t number = 0;
      const char* first = version.data() + start;
      const char* last = version.data() + end;
      const auto [stop, error] = std::from_chars(first, last, number);
      numbers.push_back(error == std::errc() && stop == last ? number : 0);
    }
    start = end + 1;
  }
  return numbers;
}

} // namespace

bool ReleaseVersion::isNewer(const std::optional<std::string>& candidate,
                             const std::optional<std::string>& current) {
  if (!candidate) return false;
  if (!current) return true;
  const auto left = pieces(*candidate);
  const auto right = pieces(*current);
  const size_t length = std::max(left.size(), right.size());
  for (size_t i = 0; i < length; ++i) {
    const std::uint64_t a = i < left.size() ? left[i] : 0;
    const std::uint64_t b = i < right.size() ? right[i] : 0;
    if (a != b) return a > b;
  }
  return false;
}

} // namespace halyard
