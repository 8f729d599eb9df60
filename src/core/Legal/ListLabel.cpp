#include "core/Legal/ListLabel.hpp"

#include <algorithm>
#include <utility>

namespace halyard {

namespace {

std::string roman(std::int32_t value, bool upper) {
  if (value <= 0 || value >= 4000) return std::to_string(value);
  static constexpr std::pair<int, const char*> digits[] = {
      {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
      {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
  std::string text;
  for (const auto& [amount, letters] : digits)
    for (; value >= amount; value -= amount)
      text += letters;
  if (upper)
    for (auto& c : text)
      c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// a, b, ... z, aa, bb, ... as lists count with letters.
std::string letters(std::int32_t value, bool upper) {
  if (value <= 0) return std::to_string(value);
  const auto letter = static_cast<char>((upper ? 'A' : 'a') + (value - 1) % 26);
  return std::string(static_cast<std::size_t>(std::min(1 + (value - 1) / 26, 16)), letter);
}

} // namespace

std::string ListLabel::number(std::int32_t value, Format format) {
  switch (format) {
  case Format::decimal:
    return std::to_string(value);
  case Format::decimalZero:
    return (value >= 0 && value < 10 ? "0" : "") + std::to_string(value);
  case Format::upperRoman:
  case Format::lowerRoman:
    return roman(value, format == Format::upperRoman);
  case Format::upperLetter:
  case Format::lowerLetter:
    return letters(value, format == Format::upperLetter);
  case Format::none:
    break;
  }
  return {};
}

char32_t ListLabel::visibleBullet(char32_t c) {
  if (c == 0xF0B7) return 0x2022;
  if (c == 0xF0A7) return 0x25AA;
  return c;
}

void ListLabel::Counters::advance(std::size_t level, std::int32_t start) {
  if (level >= maximumLevels) return;
  values_[level] = started_[level] ? values_[level] + 1 : start;
  started_[level] = true;
  std::fill(started_.begin() + static_cast<std::ptrdiff_t>(level) + 1, started_.end(), false);
}

} // namespace halyard
