#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace halyard {

// The labels of numbered and bulleted paragraphs, which documents store as list definitions
// rather than as text: the number of each level in its format, and the counting itself.
struct ListLabel {
  enum class Format {
    decimal,
    decimalZero,
    upperRoman,
    lowerRoman,
    upperLetter,
    lowerLetter,
    none
  };

  // The most levels a list has.
  static constexpr std::size_t maximumLevels = 10;

  // The number `value` as a list writes it ("4", "04", "IV", "iv", "D", "d"; nothing for none).
  static std::string number(std::int32_t value, Format format);

  // Symbol-font bullets of older documents as the characters they show (U+F0B7 is "•", U+F0A7
  // "▪"); other characters stay.
  static char32_t visibleBullet(char32_t c);

  // The numbers of one list: each paragraph advances its level, which starts at `start` the
  // first time and again after a paragraph of a higher level.
  class Counters {
  public:
    void advance(std::size_t level, std::int32_t start);
    std::int32_t value(std::size_t level) const {
      return level < maximumLevels ? values_[level] : 0;
    }

  private:
    std::array<std::int32_t, maximumLevels> values_{};
    std::array<bool, maximumLevels> started_{};
  };
};

} // namespace halyard
