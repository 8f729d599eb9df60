// The ownership of an attached image: who detaches it, how often, and what the process-wide list
// keeps for a cancellation and the sweep at the end of a command.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/DiskImage/DiskImageAttachment.hpp"

namespace halyard {
namespace {

using Calls = std::vector<std::vector<std::string>>;

bool remembered(const std::string& target) {
  const auto all = DiskImageAttachment::attachedByThisProcess();
  return std::find(all.begin(), all.end(), target) != all.end();
}

TEST(DiskImageAttachment, DetachesOnceByItsLastOwnerAndRemembersOnlyWhatStayed) {
  Calls calls;
  bool succeeds = true;
  const auto detacher = [&](const std::vector<std::string>& arguments) {
    calls.push_back(arguments);
    return succeeds;
  };
  {
    std::optional<DiskImageAttachment> moved;
    {
      DiskImageAttachment first("/dev/disk4", "", detacher, false);
      EXPECT_TRUE(remembered("/dev/disk4"));
      moved.emplace(std::move(first));
    }
    EXPECT_TRUE(calls.empty()) << "the moved-from attachment detached";
  }
  EXPECT_EQ(calls, (Calls{{"detach", "/dev/disk4", "-force"}}));
  EXPECT_FALSE(remembered("/dev/disk4"));

  // A plain detach first when asked to be gentle; by force when it fails, and then it stays
  // remembered, for the sweep and not for the destructor to try again.
  calls.clear();
  succeeds = false;
  {
    DiskImageAttachment volume("", "/Volumes/X", detacher, true);
    EXPECT_FALSE(volume.detach(true));
  }
  EXPECT_EQ(calls, (Calls{{"detach", "/Volumes/X", "-quiet"},
                          {"detach", "/Volumes/X", "-force", "-quiet"}}));
  EXPECT_TRUE(remembered("/Volumes/X"));
  DiskImageAttachment::forget("/Volumes/X");
}

} // namespace
} // namespace halyard
