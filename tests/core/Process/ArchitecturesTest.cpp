// lipo -archs against the stand-in: a universal binary's names in order, none for no binary.
#include "core/Process/Architectures.hpp"

#include <gtest/gtest.h>

#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

using Names = std::vector<std::string>;

TEST(ArchitecturesTest, NamesInTheToolsOrderAndNoneForANonBinary) {
  bosun::testing::StandInRootInForce stand;
  const ToolRun run{AppleTools::Runner::shared, AppleTools::quickQueryLimit};
  const auto binary = stand.work() / "Demo";
  stand.machO(binary, {"x86_64", "arm64"});
  EXPECT_EQ(Architectures::of(binary, run), (Names{"x86_64", "arm64"}));
  EXPECT_EQ(Architectures::of(stand.work() / "absent", run), std::nullopt);

  EXPECT_EQ(Architectures::read(" arm64  arm64\tx86_64\n"), (Names{"arm64", "arm64", "x86_64"}));
}

} // namespace
} // namespace halyard
