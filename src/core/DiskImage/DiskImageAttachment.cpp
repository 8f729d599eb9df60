#include "core/DiskImage/DiskImageAttachment.hpp"

#include <utility>

#include "core/DiskImage/DiskImages.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"
#include "core/Process/AppleTools.hpp"

namespace halyard {

namespace {

CleanupRegistry::Entry registered(const std::string& target) {
  return CleanupRegistry::shared().add(
      target, [target] { return DiskImageAttachment::detachForCleanUp(target); },
      CleanupRegistry::Kind::image);
}

} // namespace

DiskImageAttachment::DiskImageAttachment(std::string device, std::string mountPoint,
                                         ToolRun detacher, bool quiet)
    : device_(std::move(device)), mountPoint_(std::move(mountPoint)),
      detacher_(std::move(detacher)), quiet_(quiet), registration_(registered(target())) {}

DiskImageAttachment::~DiskImageAttachment() {
  try {
    if (registration_) detach();
  } catch (...) {
  }
}

bool DiskImageAttachment::detach(bool gently) {
  if (!registration_) return false;
  const std::string name = target();
  if ((gently && DiskImages::detach(name, false, quiet_, detacher_).succeeded()) ||
      DiskImages::detach(name, true, quiet_, detacher_).succeeded()) {
    registration_.release();
    return true;
  }
  registration_.leave();
  return false;
}

ToolRun DiskImageAttachment::cleanupRun() {
  return {AppleTools::Runner::cleanup, AppleTools::quickQueryLimit};
}

bool DiskImageAttachment::detachForCleanUp(const std::string& target) {
  const ToolRun cleanup = cleanupRun();
  // When hdiutil hangs on the image (it is stopped after its limit), the disk arbitration path
  // may still let it go.
  return DiskImages::detach(target, true, true, cleanup).succeeded() ||
         (target.starts_with("/dev/disk") &&
          ModernDiskImageTool::forceEject(target, cleanup).succeeded());
}

void DiskImageAttachment::leaveForCleanUp(const std::string& target) {
  if (!CleanupRegistry::shared().holds(CleanupRegistry::Kind::image, target))
    registered(target).leave();
}

} // namespace halyard
