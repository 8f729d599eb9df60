#include "cli/commands/UpdateCompatibility.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <system_error>

#include "core/Support/SystemVersion.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

// Major, minor and patch, a missing part 0; none when the text is not one to three numbers
// separated by dots (a word, a number too big for its field), since nobody can tell then which
// systems it allows.
std::optional<std::array<unsigned long, 3>> versionParts(const std::string& version) {
  std::array<unsigned long, 3> parts{0, 0, 0};
  const char* cursor = version.data();
  const char* const end = version.data() + version.size();
  for (auto& part : parts) {
    const auto [next, error] = std::from_chars(cursor, end, part);
    if (error != std::errc() || next == cursor) return std::nullopt;
    cursor = next;
    if (cursor == end) return parts;
    if (*cursor++ != '.') return std::nullopt;
  }
  return std::nullopt; // a fourth part, or a trailing dot
}

bool contains(const std::vector<std::string>& list, const char* value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

std::string UpdateCompatibility::systemVersion() {
  return halyard::SystemVersion::currentText().value_or("0.0.0");
}

bool UpdateCompatibility::meetsArchitecture(
    const std::optional<std::vector<std::string>>& architectures, bool appleSilicon) {
  if (!architectures || architectures->empty() || contains(*architectures, "universal"))
    return true;
  return contains(*architectures, appleSilicon ? "arm64" : "x86_64");
}

bool UpdateCompatibility::meetsSystem(const std::optional<std::string>& minimum,
                                      const std::string& running) {
  if (!minimum) return true;
  const auto needed = versionParts(*minimum);
  const auto have = versionParts(running);
  return needed && have && *have >= *needed;
}

std::optional<std::string> UpdateCompatibility::blockedMessage(const halyard::BosunRelease& release,
                                                               const std::string& runningSystem,
                                                               bool appleSilicon) {
  const std::string version = halyard::text::printable(release.version);
  if (const auto& minimum = release.minimumSystemVersion) {
    const std::string shown = halyard::text::printable(*minimum);
    if (!versionParts(*minimum))
      return "Bosun " + version + " names its minimum macOS as \"" + shown +
             "\", so Bosun can't tell whether this Mac can run it, and the update isn't offered.";
    if (!meetsSystem(minimum, runningSystem))
      return "Bosun " + version + " needs macOS " + shown + " or later. This Mac runs macOS " +
             runningSystem + ", so the update isn't offered.";
  }
  if (!meetsArchitecture(release.architectures, appleSilicon))
    return "Bosun " + version +
           " doesn't support this Mac's processor, so the update isn't offered.";
  return std::nullopt;
}

} // namespace bosun
