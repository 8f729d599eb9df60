#include "core/DiskImage/DiskImageAttachment.hpp"

#include <algorithm>
#include <mutex>
#include <utility>

namespace halyard {

namespace {
std::mutex attachedLock;
std::vector<std::string>& attachedTargets() {
  static std::vector<std::string> targets;
  return targets;
}
} // namespace

DiskImageAttachment::DiskImageAttachment(std::string device, std::string mountPoint,
                                         Detacher detacher, bool quiet)
    : device_(std::move(device)), mountPoint_(std::move(mountPoint)),
      detacher_(std::move(detacher)), quiet_(quiet), owned_(true) {
  remember(target());
}

DiskImageAttachment::~DiskImageAttachment() {
  try {
    if (owned_) detach();
  } catch (...) {
  }
}

DiskImageAttachment::DiskImageAttachment(DiskImageAttachment&& other) noexcept
    : device_(std::move(other.device_)), mountPoint_(std::move(other.mountPoint_)),
      detacher_(std::move(other.detacher_)), quiet_(other.quiet_),
      owned_(std::exchange(other.owned_, false)) {}

bool DiskImageAttachment::detach(bool gently) {
  if (!owned_) return false;
  owned_ = false; // a failure leaves it to the sweep, which finds it remembered
  const std::string name = target();
  if ((gently && detacher_(detachArguments(name, false, quiet_))) ||
      detacher_(detachArguments(name, true, quiet_))) {
    forget(name);
    return true;
  }
  return false;
}

std::vector<std::string>
DiskImageAttachment::attachArguments(const std::filesystem::path& image, bool readOnly,
                                     const std::optional<std::filesystem::path>& mountPoint) {
  std::vector<std::string> arguments{"attach"};
  if (mountPoint) {
    arguments.insert(arguments.end(), {image.string(), "-nobrowse", "-readonly", "-noautoopen",
                                       "-mountpoint", mountPoint->string()});
    return arguments;
  }
  if (readOnly) arguments.insert(arguments.end(), {"-nobrowse", "-readonly"});
  arguments.insert(arguments.end(), {"-noverify", "-noautoopen", "-plist", image.string()});
  return arguments;
}

std::vector<std::string> DiskImageAttachment::detachArguments(const std::string& target, bool force,
                                                              bool quiet) {
  std::vector<std::string> arguments{"detach", target};
  if (force) arguments.emplace_back("-force");
  if (quiet) arguments.emplace_back("-quiet");
  return arguments;
}

void DiskImageAttachment::remember(const std::string& target) {
  const std::lock_guard guard(attachedLock);
  auto& targets = attachedTargets();
  if (std::find(targets.begin(), targets.end(), target) == targets.end()) targets.push_back(target);
}

void DiskImageAttachment::forget(const std::string& target) {
  const std::lock_guard guard(attachedLock);
  auto& targets = attachedTargets();
  if (const auto found = std::find(targets.begin(), targets.end(), target); found != targets.end())
    targets.erase(found);
}

std::vector<std::string> DiskImageAttachment::attachedByThisProcess() {
  const std::lock_guard guard(attachedLock);
  return attachedTargets();
}

} // namespace halyard
