#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <vector>

namespace halyard {

// Signs the nested items of a bundle several at a time without breaking the inside-out rule: an
// item starts only after every item inside it has been signed, items with no nesting relation
// run side by side, at most `jobs` at once. Among the items ready to start, the one earliest in
// the given order goes first, so with one job the items are signed exactly in that order, on the
// calling thread.
//
// When an item fails, no further item starts; the ones already running are let finish, and the
// failure of the item earliest in the given order is rethrown, the one a one-by-one run would
// have met first. Cancellation needs nothing of its own here: every signing tool is registered
// with ProcessRegistry, which stops them all at once, and their failures end the run.
struct NestedSigningScheduler {
  using Sign = std::function<void(const std::filesystem::path&)>;

  // The number of logical processors, at least 1 and at most 8.
  static std::size_t defaultJobs();

  // `order` lists every item after the items inside it (as ImportPreparationEngine::signingOrder
  // does); `sign` signs one item and throws when it fails. A job count of 0 counts as 1.
  static void run(const std::vector<std::filesystem::path>& order, std::size_t jobs,
                  const Sign& sign);
};

} // namespace halyard
