#pragma once

#include <string>
#include <vector>

#include "core/Process/ToolRun.hpp"

namespace halyard {

// One image this process attached with hdiutil, owned until it is detached. While it is attached
// it is remembered in the process-wide list of images this process attached, which a
// cancellation and the sweep at the end of a command detach; it is forgotten once it has
// detached. An attachment still owned when it goes out of scope is detached then (by force,
// errors ignored). Move-only. The detach runs through DiskImages.
class DiskImageAttachment {
public:
  // Takes over an image attached at `device` and `mountPoint` (either may be empty, not both)
  // and remembers it. The detach names the mount point, else the device, and runs hdiutil as
  // `detacher` says (each owner its own way: time limit, runner; an exception passes through an
  // explicit detach); `quiet` adds -quiet.
  DiskImageAttachment(std::string device, std::string mountPoint, ToolRun detacher, bool quiet);
  ~DiskImageAttachment();
  DiskImageAttachment(DiskImageAttachment&& other) noexcept;
  DiskImageAttachment& operator=(DiskImageAttachment&&) = delete;

  const std::string& device() const { return device_; }
  const std::string& mountPoint() const { return mountPoint_; }
  // What the detach names and the list remembers.
  const std::string& target() const { return mountPoint_.empty() ? device_ : mountPoint_; }

  // Detaches by force, or, when `gently`, first without force and by force only when that
  // fails. True once detached; it is then forgotten. Otherwise it stays remembered for the sweep,
  // and this attachment stops owning it (the sweep tries again, not the destructor).
  bool detach(bool gently = false);

  // The process-wide list: each target is remembered once, and forgotten only once it has
  // detached. Safe from any thread.
  static void remember(const std::string& target);
  static void forget(const std::string& target);
  static std::vector<std::string> attachedByThisProcess();

private:
  std::string device_;
  std::string mountPoint_;
  ToolRun detacher_;
  bool quiet_ = false;
  bool owned_ = false;
};

} // namespace halyard
