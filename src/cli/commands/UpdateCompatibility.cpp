#include "cli/commands/UpdateCompatibility.hpp"

#include <algorithm>
#include <optional>

#include "core/Support/SystemVersion.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/Version.hpp"

namespace bosun {

namespace {

// A minimum or a running system: one to three numbers (major, minor, patch). Anything else
// is none, since nobody can tell then which systems it allows.
std::optional<halyard::Version> readSystemVersion(const std::string& text) {
  return halyard::Version::exact(text, 3);
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
  const auto needed = readSystemVersion(*minimum);
  const auto have = readSystemVersion(running);
  return needed && have && *have >= *needed;
}

std::optional<std::string> UpdateCompatibility::blockedMessage(const halyard::BosunRelease& release,
                                                               const std::string& runningSystem,
                                                               bool appleSilicon) {
  const std::string version = halyard::text::printable(release.version);
  if (const auto& minimum = release.minimumSystemVersion) {
    const std::string shown = halyard::text::printable(*minimum);
    if (!readSystemVersion(*minimum))
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
