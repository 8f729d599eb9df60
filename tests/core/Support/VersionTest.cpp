#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/Support/Version.hpp"

namespace halyard {
namespace {

using Numbers = std::vector<std::uint64_t>;

TEST(Version, EachRuleReadsItsTexts) {
  struct Case {
    std::string text;
    std::optional<Numbers> exact; // at most three numbers
    Numbers leading;
    Numbers lenient;
  };
  const std::vector<Case> cases = {
      {"14.6", Numbers{14, 6}, {14, 6}, {14, 6}},
      {"15.5 beta", std::nullopt, {15, 5}, {15, 0}},
      {"1.beta", std::nullopt, {1}, {1, 0}},
      {"2..0", std::nullopt, {2}, {2, 0}},
      {"14.", std::nullopt, {14}, {14}},
      {"1.2.3.4", std::nullopt, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"", std::nullopt, {}, {}},
      {"sixteen", std::nullopt, {}, {0}},
      {"-1", std::nullopt, {}, {0}},
      {"99999999999999999999999", std::nullopt, {}, {0}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.text);
    const auto exact = Version::exact(test.text, 3);
    EXPECT_EQ(exact ? std::optional(exact->numbers()) : std::nullopt, test.exact);
    EXPECT_EQ(Version::leading(test.text).numbers(), test.leading);
    EXPECT_EQ(Version::lenient(test.text).numbers(), test.lenient);
  }
}

TEST(Version, ComparesNumberByNumberWithMissingNumbersZero) {
  EXPECT_GT((Version{1, 10}), (Version{1, 9}));
  EXPECT_EQ((Version{1, 0, 0}), Version{1});
  EXPECT_EQ(Version{}, (Version{0, 0}));
  EXPECT_LT((Version{1}), (Version{1, 0, 1}));
  EXPECT_GT(Version{10}, (Version{9, 99, 99}));
}

} // namespace
} // namespace halyard
