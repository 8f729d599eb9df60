#pragma once

#include <optional>
#include <string>

#include "core/Appcast/AppcastItem.hpp"

namespace halyard {

// The XML work behind AppcastFeed (libxml2), on bytes already read: built into the module
// bosun-appcast, reached through AppcastFunctions. `name` names the feed in error messages.
struct AppcastDocument {
  // Throws AppcastFeedError unless the bytes are a well-formed RSS feed with a channel.
  static void check(const std::string& bytes, const std::string& name);
  // What AppcastFeed::withItem returns.
  static std::string withItem(const std::optional<std::string>& existing, const AppcastItem& item,
                              const std::string& channelTitle, const std::string& name);
};

} // namespace halyard
