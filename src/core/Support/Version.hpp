#pragma once

#include <compare>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

namespace halyard {

// A dotted version number: a system's ("15.5"), a release's ("1.10.2"), a minimum an update
// names. Versions compare number by number, a missing number counting as 0: 1.10 is newer than
// 1.9, and 1.0 equals 1. Texts are read by one of three rules, after where they come from.
class Version {
public:
  Version() = default; // 0
  Version(std::initializer_list<std::uint64_t> numbers) : numbers_(numbers) {}

  // One to `maxNumbers` base-10 numbers separated by dots, nothing else; none for a word, an
  // empty number, a number too large, or too many numbers (nobody can tell what they allow).
  static std::optional<Version> exact(std::string_view text, std::size_t maxNumbers);
  // The numbers the text starts with, up to the first character that does not continue them
  // ("15.5 beta" is 15.5); 0 when it does not start with a number. A system's own version.
  static Version leading(std::string_view text);
  // Every piece between dots read as a number, a piece that is not one counting as 0, empty
  // pieces dropped ("1.beta" is 1.0, "2..0" is 2.0). Release versions, which are compared
  // however they are written.
  static Version lenient(std::string_view text);

  const std::vector<std::uint64_t>& numbers() const { return numbers_; }

  std::strong_ordering operator<=>(const Version& other) const;
  bool operator==(const Version& other) const { return (*this <=> other) == 0; }

private:
  std::vector<std::uint64_t> numbers_;
};

} // namespace halyard
