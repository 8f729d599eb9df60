#pragma once

#include <string>

#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// One image this process attached with hdiutil, owned until it is detached. While it is attached
// it is in the clean-up registry, which a cancellation undoes and a command's end sweeps; it
// leaves the registry once it has detached. An attachment still owned when it goes out of scope
// is detached then (by force, errors ignored). Move-only. The detach runs through DiskImages.
class DiskImageAttachment {
public:
  // Takes over an image attached at `device` and `mountPoint` (either may be empty, not both)
  // and registers it. The detach names the mount point, else the device, and runs hdiutil as
  // `detacher` says (each owner its own way: time limit, runner; an exception passes through an
  // explicit detach); `quiet` adds -quiet.
  DiskImageAttachment(std::string device, std::string mountPoint, ToolRun detacher, bool quiet);
  ~DiskImageAttachment();
  DiskImageAttachment(DiskImageAttachment&& other) noexcept = default;
  DiskImageAttachment& operator=(DiskImageAttachment&&) = delete;

  const std::string& device() const { return device_; }
  const std::string& mountPoint() const { return mountPoint_; }
  // What the detach names and the registry holds.
  const std::string& target() const { return mountPoint_.empty() ? device_ : mountPoint_; }

  // Detaches by force, or, when `gently`, first without force and by force only when that
  // fails. True once detached. Otherwise it stays in the registry for the clean-up, and this
  // attachment stops owning it (the clean-up tries again, not the destructor).
  bool detach(bool gently = false);

  // How the clean-up runs its disk-image tools: not registered for cancellation (it runs during
  // one), standard error to the null device, and stopped after a minute, so that a tool that hangs
  // cannot keep the process from ending.
  static ToolRun cleanupRun();
  // How the clean-up detaches an image: hdiutil by force with cleanupRun(), then, for a device,
  // diskutil's forced eject. True once it went.
  static bool detachForCleanUp(const std::string& target);
  // Leaves `target` in the clean-up registry (once) for the clean-up to detach.
  static void leaveForCleanUp(const std::string& target);

private:
  std::string device_;
  std::string mountPoint_;
  ToolRun detacher_;
  bool quiet_ = false;
  CleanupRegistry::Entry registration_; // held while this attachment owns the image
};

} // namespace halyard
