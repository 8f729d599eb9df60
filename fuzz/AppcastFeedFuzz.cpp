// Feeds arbitrary bytes to the update feed editor as an existing feed, and to the key decoder.
// Adding an item either throws AppcastFeedError or gives a feed that reads back as a feed whose
// item is found again, so that a second add of the same version replaces it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Appcast/AppcastFeed.hpp"
#include "core/Appcast/EdSigningKey.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  halyard::AppcastItem item;
  item.title = "Version 1.0";
  item.version = "100";
  item.shortVersionString = "1.0";
  item.pubDate = "Sun, 06 Dec 2026 22:07:40 +0000";
  item.url = "https://example.com/dl/App.dmg";
  item.length = 1;
  item.edSignature = "c2ln";
  try {
    const std::string once = halyard::AppcastFeed::withItem(bytes, item, "App", "fuzz.xml");
    const std::string twice = halyard::AppcastFeed::withItem(once, item, "App", "fuzz.xml");
    if (twice.size() != once.size()) std::abort(); // the same version was added, not replaced
  } catch (const halyard::AppcastFeedError&) {
  }
  try {
    halyard::EdSigningKey::fromBase64(bytes);
  } catch (const halyard::EdSigningKeyError&) {
  }
  return 0;
}
