// Who detaches an attached image, how often, and what stays remembered for the sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/DiskImage/DiskImageAttachment.hpp"

namespace halyard {
namespace {

TEST(DiskImageAttachment, DetachesOnceByItsLastOwnerAndRemembersOnlyWhatStayed) {
  using Calls = std::vector<std::vector<std::string>>;
  Calls calls;
  bool succeeds = true;
  const auto detacher = [&](const std::vector<std::string>& arguments) {
    calls.push_back(arguments);
    return succeeds;
  };
  const auto remembered = [](const std::string& target) {
    const auto all = DiskImageAttachment::attachedByThisProcess();
    return std::find(all.begin(), all.end(), target) != all.end();
  };
  {
    std::optional<DiskImageAttachment> last;
    DiskImageAttachment first("/dev/disk4", "", detacher, false);
    last.emplace(std::move(first));
  }
  EXPECT_EQ(calls, (Calls{{"detach", "/dev/disk4", "-force"}}));
  EXPECT_FALSE(remembered("/dev/disk4"));

  // Gently: plain, then by force; a failure is left to the sweep, not to the destructor.
  calls.clear();
  succeeds = false;
  EXPECT_FALSE(DiskImageAttachment("", "/Volumes/X", detacher, true).detach(true));
  EXPECT_EQ(calls, (Calls{{"detach", "/Volumes/X", "-quiet"},
                          {"detach", "/Volumes/X", "-force", "-quiet"}}));
  EXPECT_TRUE(remembered("/Volumes/X"));
  DiskImageAttachment::forget("/Volumes/X");
}

} // namespace
} // namespace halyard
