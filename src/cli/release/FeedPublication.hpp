#pragma once

#include <filesystem>
#include <optional>

#include "cli/release/ReleasePipeline.hpp"
#include "cli/release/ReleasePlan.hpp"
#include "core/Appcast/EdSigningKey.hpp"

namespace bosun {

// Publishing a release in its app's update feed: the finished file signed with the Ed25519
// update key, and one item for it in the feed. Everything that can be known before the release
// is checked first (the key can be read, the feed is a feed), so that no release is made that
// cannot be published. The key is never printed, logged or written anywhere.
class FeedPublication {
public:
  // Reads the key (the plan's key file, else the login keychain) and checks the feed. Throws
  // CLIError: `credentials` for a missing, unreadable or malformed key, `input` for a feed that
  // is not a well-formed RSS feed.
  static FeedPublication prepare(const ReleasePlan& plan);

  // The key from the file, else from the login keychain; throws CLIError `credentials`.
  static halyard::EdSigningKey loadKey(const std::optional<std::filesystem::path>& keyFile);

  // Signs the finished file and adds its item to the feed, replacing an item of the same
  // version. Throws CLIError `input` when the file cannot be read or the feed cannot be changed
  // (which leaves the feed as it was).
  void publish(const ReleasePlan& plan, const ReleaseOutcome& outcome) const;

private:
  explicit FeedPublication(halyard::EdSigningKey key) : key_(std::move(key)) {}

  halyard::EdSigningKey key_;
};

} // namespace bosun
