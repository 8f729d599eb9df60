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

namespace {

// Detaches each target, forgetting those that went and remembering those that did not; returns
// the latter.
std::vector<std::string> detachAll(const std::vector<std::string>& targets) {
  using halyard::DiskImageMounts;
  std::vector<std::string> failed;
  for (const auto& target : targets) {
    if (DiskImageCleanup::run(halyard::AppleTools::hdiutil,
                              {"detach", target, "-force", "-quiet"})) {
      DiskImageMounts::forgetAttached(target);
    } else {
      DiskImageMounts::rememberAttached(target);
      failed.push_back(target);
    }
  }
  return failed;
}

} // namespace

std::vector<std::string> DiskImageCleanup::detachLeftoversSynchronously() {
  auto targets = halyard::DiskImageMounts::attachedByThisProcess();
  for (auto& device : leftoverDevices())
    targets.push_back(std::move(device));
  return detachAll(targets);
}

std::vector<std::string> DiskImageCleanup::detachRemembered() {
  return detachAll(halyard::DiskImageMounts::attachedByThisProcess());
}

std::optional<std::string> DiskImageCleanup::run(const std::filesystem::path& executable,
                                                 const std::vector<std::string>& arguments,
                                                 double timeout) {
  auto result = halyard::ProcessRunner::run(halyard::AppleTools::request(
      halyard::AppleTools::Runner::cleanup, executable, arguments, timeout));
  if (result.status != 0) return std::nullopt;
  return std::move(result.standardOutput);
}

} // namespace bosun
