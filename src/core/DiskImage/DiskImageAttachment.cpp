#include "core/DiskImage/DiskImageAttachment.hpp"

#include <algorithm>
#include <mutex>
#include <utility>

#include "core/DiskImage/DiskImages.hpp"

namespace halyard {

namespace {
std::mutex attachedLock;
std::vector<std::string>& attachedTargets() {
  static std::vector<std::string> targets;
  return targets;
}
} // namespace

DiskImageAttachment::DiskImageAttachment(std::string device, std::string mountPoint,
                                         ToolRun detacher, bool quiet)
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
  if ((gently && DiskImages::detach(name, false, quiet_, detacher_).succeeded()) ||
      DiskImages::detach(name, true, quiet_, detacher_).succeeded()) {
    forget(name);
    return true;
  }
  return false;
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
