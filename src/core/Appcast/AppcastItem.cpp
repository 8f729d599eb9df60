#include "core/Appcast/AppcastItem.hpp"

#include <array>
#include <cstdio>

#include "core/Support/Text.hpp"

namespace halyard {

std::string AppcastItem::rfc822Date(std::time_t time) {
  static constexpr std::array<const char*, 7> days = {"Sun", "Mon", "Tue", "Wed",
                                                      "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm utc{};
  ::gmtime_r(&time, &utc);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000",
                days.at(static_cast<std::size_t>(utc.tm_wday)), utc.tm_mday,
                months.at(static_cast<std::size_t>(utc.tm_mon)), utc.tm_year + 1900, utc.tm_hour,
                utc.tm_min, utc.tm_sec);
  return text;
}

std::string AppcastItem::percentEncoded(std::string_view text) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string result;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                            c == '~';
    if (unreserved) {
      result += c;
    } else {
      result += '%';
      result += digits[byte >> 4];
      result += digits[byte & 0x0F];
    }
  }
  return result;
}

bool AppcastItem::isDownloadFolderURL(std::string_view url) {
  constexpr std::string_view scheme = "https://";
  if (url.size() <= scheme.size() || text::lowercasedASCII(url.substr(0, scheme.size())) != scheme)
    return false;
  const char first = url[scheme.size()];
  if (first == '/' || first == '?' || first == '#') return false; // no host
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '?' || c == '#') return false;
  }
  return true;
}

std::string AppcastItem::enclosureURL(std::string_view folderURL, std::string_view fileName) {
  std::string url(folderURL);
  if (url.empty() || url.back() != '/') url += '/';
  return url + percentEncoded(fileName);
}

} // namespace halyard
