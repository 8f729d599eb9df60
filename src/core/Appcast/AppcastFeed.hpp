#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Appcast/AppcastItem.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// A feed that cannot be read or changed; the feed file is left as it was.
class AppcastFeedError : public Error {
public:
  explicit AppcastFeedError(const std::string& description)
      : Error("Halyard.appcast", 1, description) {}
};

// The update feed of an app that updates itself: an RSS 2.0 document whose channel lists one item
// per release, with the updater's own elements in its namespace. Adding a release keeps the rest
// of the document as it is (other items, comments, white space); an item of the same version is
// replaced where it stands, and a new one goes before the first item.
struct AppcastFeed {
  static constexpr const char* updaterNamespace =
      "http://www.andymatuschak.org/xml-namespaces/sparkle";
  static constexpr const char* updaterPrefix = "sparkle";
  // A feed larger than this is not read.
  static constexpr std::uintmax_t maximumSize = 64 * 1024 * 1024;

  // Throws AppcastFeedError unless the file is absent or a well-formed RSS feed with a channel.
  static void check(const std::filesystem::path& feed);

  // The document `existing` (none: a new feed whose channel is titled `channelTitle`) with the
  // item added. `name` names the feed in error messages. Throws AppcastFeedError.
  static std::string withItem(const std::optional<std::string>& existing, const AppcastItem& item,
                              const std::string& channelTitle, const std::string& name);

  // Adds the item to the feed file (created when absent, with its folder), replacing the file
  // atomically; a link is followed to the file it names. Throws AppcastFeedError, or the file
  // system's errors when the file cannot be written.
  static void addItem(const std::filesystem::path& feed, const AppcastItem& item,
                      const std::string& channelTitle);
};

} // namespace halyard
