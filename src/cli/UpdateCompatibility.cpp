#include "cli/UpdateCompatibility.hpp"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/ToolRoot.hpp"

namespace bosun {

namespace {

constexpr const char* systemVersionFile = "/System/Library/CoreServices/SystemVersion.plist";

// Major, minor and patch; a missing or unreadable part is 0.
std::array<unsigned long, 3> versionParts(const std::string& version) {
  std::array<unsigned long, 3> parts{0, 0, 0};
  size_t start = 0;
  for (auto& part : parts) {
    if (start > version.size()) break;
    size_t end = version.find('.', start);
    if (end == std::string::npos) end = version.size();
    std::from_chars(version.data() + start, version.data() + end, part);
    start = end + 1;
  }
  return parts;
}

bool contains(const std::vector<std::string>& list, const char* value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

bool UpdateCompatibility::isAppleSilicon() {
  const auto result =
      halyard::ToolProcess::run(halyard::AppleTools::sysctl, {"-n", "hw.optional.arm64"},
                                halyard::AppleTools::quickQueryLimit);
  return result.succeeded() && halyard::text::trimmed(result.standardOutput) == "1";
}

std::string UpdateCompatibility::systemVersion() {
  const auto list = halyard::PropertyList::readFile(halyard::ToolRoot::path(systemVersionFile));
  if (!list) return "0.0.0";
  return halyard::PropertyList::string(list.node(), "ProductVersion").value_or("0.0.0");
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
  return versionParts(running) >= versionParts(*minimum);
}

std::optional<std::string> UpdateCompatibility::blockedMessage(const halyard::BosunRelease& release,
                                                               const std::string& runningSystem,
                                                               bool appleSilicon) {
  if (!meetsSystem(release.minimumSystemVersion, runningSystem))
    return "Bosun " + release.version + " needs macOS " + *release.minimumSystemVersion +
           " or later. This Mac runs macOS " + runningSystem + ", so the update isn't offered.";
  if (!meetsArchitecture(release.architectures, appleSilicon))
    return "Bosun " + release.version +
           " doesn't support this Mac's processor, so the update isn't offered.";
  return std::nullopt;
}

} // namespace bosun
