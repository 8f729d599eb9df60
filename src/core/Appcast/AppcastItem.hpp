#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// One release in an update feed: what the updater shows and checks before it downloads and
// installs the file.
struct AppcastItem {
  std::string title;                               // "Version " + the short version
  std::string version;                             // the bundle version, compared by the updater
  std::optional<std::string> shortVersionString;   // the version people see
  std::optional<std::string> minimumSystemVersion; // the oldest macOS the app runs on
  std::string pubDate;                             // RFC 822
  std::string url;                                 // where the file is downloaded from
  std::uint64_t length = 0;                        // the file's size in bytes
  std::string edSignature;                         // Base64 Ed25519 signature of the file's bytes

  // "Sun, 06 Dec 2026 22:07:40 +0000": RFC 822 in UTC, English names whatever the locale.
  static std::string rfc822Date(std::time_t time);

  // Every byte but the unreserved ASCII letters, digits and "-._~" as %XX (upper-case hex).
  static std::string percentEncoded(std::string_view text);

  // Whether `url` can name the folder files are served from: "https://" (in any letter case), a
  // host, and no white space, control characters, query or fragment.
  static bool isDownloadFolderURL(std::string_view url);

  // The folder URL, a "/" unless it ends in one, and the percent-encoded file name.
  static std::string enclosureURL(std::string_view folderURL, std::string_view fileName);
};

} // namespace halyard
