#include "core/Inspection/AppEntitlement.hpp"

#include <map>
#include <set>

namespace halyard {

namespace {
// Both tables are built on first use and only read afterwards.
const std::map<std::string_view, std::string_view>& knownTitles() {
  static const std::map<std::string_view, std::string_view> titles{
      {"com.apple.security.app-sandbox", "App Sandbox"},
      {"com.apple.security.network.client", "Outgoing network connections"},
      {"com.apple.security.network.server", "Incoming network connections"},
      {"com.apple.security.files.user-selected.read-only", "Files the user chooses (read)"},
      {"com.apple.security.files.user-selected.read-write",
       "Files the user chooses (read and write)"},
      {"com.apple.security.files.downloads.read-write", "Downloads folder"},
      {"com.apple.security.files.pictures.read-write", "Pictures folder"},
      {"com.apple.security.files.movies.read-write", "Movies folder"},
      {"com.apple.security.files.music.read-write", "Music folder"},
      {"com.apple.security.files.bookmarks.app-scope", "Remember file access"},
      {"com.apple.security.device.camera", "Camera"},
      {"com.apple.security.device.audio-input", "Microphone"},
      {"com.apple.security.device.usb", "USB devices"},
      {"com.apple.security.device.bluetooth", "Bluetooth"},
      {"com.apple.security.device.serial", "Serial ports"},
      {"com.apple.security.print", "Printing"},
      {"com.apple.security.personal-information.location", "Location"},
      {"com.apple.security.personal-information.addressbook", "Contacts"},
      {"com.apple.security.personal-information.calendars", "Calendars"},
      {"com.apple.security.personal-information.photos-library", "Photos library"},
      {"com.apple.security.automation.apple-events", "Control other apps (Apple Events)"},
      {"com.apple.security.application-groups", "App groups"},
      {"com.apple.security.get-task-allow", "Debugging allowed"},
      {"com.apple.security.cs.allow-jit", "Just-in-time compilation"},
      {"com.apple.security.cs.allow-unsigned-executable-memory", "Unsigned executable memory"},
      {"com.apple.security.cs.allow-dyld-environment-variables", "DYLD environment variables"},
      {"com.apple.security.cs.disable-library-validation", "Library validation disabled"},
      {"com.apple.security.cs.disable-executable-page-protection",
       "Executable memory protection disabled"},
      {"com.apple.security.cs.debugger", "Acts as a debugger"},
      {"com.apple.developer.team-identifier", "Team ID"},
      {"com.apple.application-identifier", "Application identifier"},
      {"keychain-access-groups", "Keychain groups"},
  };
  return titles;
}

const std::set<std::string_view>& riskyKeys() {
  static const std::set<std::string_view> keys{
      "com.apple.security.get-task-allow",
      "com.apple.security.cs.disable-library-validation",
      "com.apple.security.cs.allow-unsigned-executable-memory",
      "com.apple.security.cs.allow-dyld-environment-variables",
      "com.apple.security.cs.disable-executable-page-protection",
      "com.apple.security.cs.debugger",
      "com.apple.security.temporary-exception.files.absolute-path.read-write",
      "com.apple.security.temporary-exception.mach-lookup.global-name",
  };
  return keys;
}
} // namespace

std::optional<std::string_view> AppEntitlement::knownTitle(std::string_view key) {
  const auto& titles = knownTitles();
  const auto found = titles.find(key);
  if (found == titles.end()) return std::nullopt;
  return found->second;
}

bool AppEntitlement::isRiskyKey(std::string_view key) {
  return riskyKeys().count(key) > 0;
}

std::string AppEntitlement::title() const {
  const auto known = knownTitle(key);
  return known ? std::string(*known) : key;
}

bool AppEntitlement::isEnabled() const {
  return value != "false";
}

bool AppEntitlement::isRisky() const {
  return isRiskyKey(key) && isEnabled();
}

} // namespace halyard
