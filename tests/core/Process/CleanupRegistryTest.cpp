#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/Process/CleanupRegistry.hpp"

using halyard::CleanupRegistry;

TEST(CleanupRegistry, UndoesNewestFirstIncludingWhatAppearsMeanwhileAndNamesWhatStays) {
  CleanupRegistry registry;
  std::vector<std::string> undone;
  const auto record = [&](std::string thing, bool goes) {
    return registry.add(thing, [&undone, thing, goes] {
      undone.push_back(thing);
      if (!goes) throw std::runtime_error("busy"); // as good as saying it did not go
      return true;
    });
  };
  auto folder = record("/tmp/Bosun_1", true);
  auto image = record("/dev/disk4 (/Volumes/Sample)", false);
  record("/tmp/finished", true).release(); // its work finished: never undone
  CleanupRegistry::Entry late;
  auto discard = registry.add("", [&] {
    undone.push_back("discard");
    // A component that registers one more thing while it is being discarded.
    late = record("/tmp/late", true);
    return true;
  });

  registry.undoAll();
  EXPECT_EQ(undone, (std::vector<std::string>{"discard", "/tmp/late",
                                              "/dev/disk4 (/Volumes/Sample)", "/tmp/Bosun_1"}));
  EXPECT_EQ(registry.leftBehind(), std::vector<std::string>{"/dev/disk4 (/Volumes/Sample)"});

  // Its holder tries once more, and it still will not go; then it is let go.
  undone.clear();
  EXPECT_FALSE(image.undo());
  EXPECT_TRUE(folder.undo()); // taken by the pass already
  EXPECT_EQ(undone, std::vector<std::string>{"/dev/disk4 (/Volumes/Sample)"});
  image.release();
  EXPECT_TRUE(registry.leftBehind().empty());
}
