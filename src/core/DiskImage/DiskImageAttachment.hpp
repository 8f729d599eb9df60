#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halyard {

// One image this process attached with hdiutil, owned until it is detached. While it is attached
// it is remembered in the process-wide list of images this process attached, which a
// cancellation and the sweep at the end of a command detach; it is forgotten once it has
// detached. An attachment still owned when it goes out of scope is detached then (by force,
// errors ignored). Move-only.
//
// The hdiutil command lines for attaching and detaching are built here and nowhere else.
class DiskImageAttachment {
public:
  // Runs /usr/bin/hdiutil with `arguments` and tells whether it exited 0. Each owner runs it its
  // own way (time limit, runner); an exception passes through an explicit detach.
  using Detacher = std::function<bool(const std::vector<std::string>& arguments)>;

  // Takes over an image attached at `device` and `mountPoint` (either may be empty, not both)
  // and remembers it. The detach names the mount point, else the device; `quiet` adds -quiet.
  DiskImageAttachment(std::string device, std::string mountPoint, Detacher detacher, bool quiet);
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

  // The `hdiutil attach` arguments: with a property list of what attached (-plist), or read-only
  // at `mountPoint` (without one). `readOnly` also keeps the volume out of the Finder.
  static std::vector<std::string>
  attachArguments(const std::filesystem::path& image, bool readOnly,
                  const std::optional<std::filesystem::path>& mountPoint = std::nullopt);
  // The `hdiutil detach` arguments for a device or mount point.
  static std::vector<std::string> detachArguments(const std::string& target, bool force,
                                                  bool quiet);

  // The process-wide list: each target is remembered once, and forgotten only once it has
  // detached. Safe from any thread.
  static void remember(const std::string& target);
  static void forget(const std::string& target);
  static std::vector<std::string> attachedByThisProcess();

private:
  std::string device_;
  std::string mountPoint_;
  Detacher detacher_;
  bool quiet_ = false;
  bool owned_ = false;
};

} // namespace halyard
