#include "cli/DiskImageCleanup.hpp"

#include "core/Inspection/DiskImageMounts.hpp"
#include "core/Process/AppleTools.hpp"

namespace bosun {

std::vector<std::string> DiskImageCleanup::leftoverDevices(std::string_view infoPropertyList) {
  return halyard::DiskImageMounts::wholeDiskDevices(infoPropertyList, {"Halyard_DMG_", "Bosun_"});
}

std::vector<std::string> DiskImageCleanup::leftoverDevices() {
  const auto output = run(halyard::AppleTools::hdiutil, {"info", "-plist"});
  if (!output) return {};
  return leftoverDevices(*output);
}

void DiskImageCleanup::detachLeftoversSynchronously() {
  for (const auto& device : leftoverDevices())
    run(halyard::AppleTools::hdiutil, {"detach", device, "-force", "-quiet"});
}

std::optional<std::string> DiskImageCleanup::run(const std::filesystem::path& executable,
                                                 const std::vector<std::string>& arguments,
                                                 double timeout) {
  // Raw bytes: the listing may be a binary property list.
  auto result = halyard::ProcessRunner::run(halyard::AppleTools::request(
      halyard::AppleTools::Runner::cleanup, executable, arguments, timeout));
  if (result.status != 0) return std::nullopt;
  return std::move(result.standardOutput);
}

} // namespace bosun
