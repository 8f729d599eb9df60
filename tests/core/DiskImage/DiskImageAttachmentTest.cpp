// Who detaches an attached image, how often, and what stays registered for the sweep.
#include <gtest/gtest.h>

#include <optional>

#include "core/DiskImage/DiskImageAttachment.hpp"

namespace halyard {
namespace {

TEST(DiskImageAttachment, DetachesOnceByItsLastOwnerAndLeavesAFailureToTheSweep) {
  using Calls = std::vector<std::vector<std::string>>;
  Calls calls;
  bool succeeds = true;
  const auto detacher = [&](const char*, const std::vector<std::string>& arguments) {
    calls.push_back(arguments);
    return ToolProcessResult{succeeds ? 0 : 1, "", ""};
  };
  {
    std::optional<DiskImageAttachment> last;
    DiskImageAttachment first("/dev/disk4", "", detacher, false);
    last.emplace(std::move(first));
  }
  EXPECT_EQ(calls, (Calls{{"detach", "/dev/disk4", "-force"}}));

  // Gently: plain, then by force; a failure stays registered and the destructor does not retry.
  calls.clear();
  succeeds = false;
  EXPECT_FALSE(DiskImageAttachment("", "/Volumes/X", detacher, true).detach(true));
  EXPECT_EQ(calls, (Calls{{"detach", "/Volumes/X", "-quiet"},
                          {"detach", "/Volumes/X", "-force", "-quiet"}}));
  auto& registry = CleanupRegistry::shared();
  EXPECT_EQ(registry.leftBehind(CleanupRegistry::Kind::image),
            std::vector<std::string>{"/Volumes/X"});
  DiskImageAttachment::leaveForCleanUp("/Volumes/X"); // held once, not twice
  EXPECT_EQ(registry.leftBehind().size(), 1u);
}

} // namespace
} // namespace halyard
