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

std::vector<std::string> DiskImageCleanup::detachLeftoversSynchronously() {
  std::vector<std::string> failed;
  auto targets = halyard::DiskImageMounts::attachedByThisProcess();
  for (auto& device : leftoverDevices())
    targets.push_back(std::move(device));
  for (const auto& target : targets) {
    if (!run(halyard::AppleTools::hdiutil, {"detach", target, "-force", "-quiet"}))
      failed.push_back(target);
  }
  return failed;
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
