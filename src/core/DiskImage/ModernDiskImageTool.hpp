#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DMG/DMGCompressionFormat.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolRun.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Where `diskutil image attach` mounted an image.
struct ModernDiskImageAttachment {
  std::string device;     // "/dev/disk5s1"
  std::string mountPoint; // "/Volumes/My App"

  // The whole-disk node: the leading "/dev/diskN" of the device, or the device itself.
  std::string wholeDisk() const;

  bool operator==(const ModernDiskImageAttachment&) const = default;
};

class ModernDiskImageError : public Error {
public:
  static constexpr const char* domainName = "Halyard.modernDiskImage";
  enum class Kind { commandFailed = 1, attachUnreadable, ejectFailed };

  // `command` is the first three arguments joined by spaces; `output` is kept untrimmed.
  static ModernDiskImageError commandFailed(const std::string& command, std::int32_t status,
                                            const std::string& output);
  static ModernDiskImageError attachUnreadable(const std::string& output);
  static ModernDiskImageError ejectFailed(const std::string& mountPoint);

  Kind kind() const { return kind_; }
  const std::string& command() const { return command_; }
  std::int32_t status() const { return status_; }
  const std::string& output() const { return output_; }
  const std::string& mountPoint() const { return mountPoint_; }

private:
  ModernDiskImageError(Kind kind, const std::string& description)
      : Error(domainName, static_cast<int>(kind), description), kind_(kind) {}

  Kind kind_;
  std::string command_;
  std::int32_t status_ = 0;
  std::string output_;
  std::string mountPoint_;
};

// The modern family's attached images, shared by every task of the process (the build, its
// clean-up, cancellation). Entries are kept in attach order, without duplicates.
class AttachmentRegistry {
public:
  void insert(const ModernDiskImageAttachment& attachment);
  // Removes every equal entry.
  void remove(const ModernDiskImageAttachment& attachment);
  std::vector<ModernDiskImageAttachment> snapshot() const;

private:
  mutable std::mutex lock_;
  std::vector<ModernDiskImageAttachment> attachments_;
};

// The modern disk-image family: the `diskutil image` verbs with APFS images. Its runner joins
// both streams, registers the child with ProcessRegistry and stops it after the disk-image time
// limit; failures are ModernDiskImageError (a tool that cannot be started: CoreCommandError -1).
class ModernDiskImageTool {
public:
  // The waits of the eject procedure and the runner's time limit. Tests shorten them.
  struct Timing {
    double timeLimit = AppleTools::diskImageLimit; // seconds
    std::chrono::milliseconds retryDelay{500};     // before the second eject
    std::chrono::milliseconds checkInterval{500};  // between unmount checks
    int unmountChecks = 30;                        // checks before ejectFailed
  };
  using VolumeCheck = std::function<bool(const std::string& path)>;

  ModernDiskImageTool() = default;
  explicit ModernDiskImageTool(Timing timing) : timing_(timing) {}

  static AttachmentRegistry& registry();

  // An empty APFS image of `sizeMB` megabytes; an existing file at `image` is removed first.
  void createBlank(const std::filesystem::path& image, long long sizeMB,
                   const std::string& volumeName) const;
  // Attaches and records the attachment in the registry. An image that attached without a
  // readable mount point is ejected again (by force) before attachUnreadable is thrown.
  ModernDiskImageAttachment attach(const std::filesystem::path& image) const;
  // Ejects, retrying a busy volume once, then by force; waits until the volume is gone and
  // removes the attachment from the registry. Notes go to the note hook. During a cancellation:
  // one forced eject, and ejectFailed at once when the volume is still there.
  void eject(const ModernDiskImageAttachment& attachment) const;
  // Converts into a compressed read-only image (replacing `destination`) and checks the result.
  void compress(const std::filesystem::path& source, const std::filesystem::path& destination,
                DMGCompressionFormat format) const;
  // Ejects every attachment still in the registry, ignoring every error.
  void ejectRemaining() const;

  // The attachment in the output of `diskutil image attach`: the first device node, and the
  // first mount candidate of the lines (in order) that `isMounted` accepts.
  static std::optional<ModernDiskImageAttachment> parseAttachment(std::string_view output,
                                                                  const VolumeCheck& isMounted);
  static std::optional<ModernDiskImageAttachment> parseAttachment(std::string_view output);
  // The paths one output line may name as the mount point, in order of preference.
  static std::vector<std::string> mountCandidates(std::string_view line);
  // The `diskutil eject` arguments for a device node or mount point.
  static std::vector<std::string> ejectArguments(const std::string& target, bool force);
  // `diskutil eject TARGET force` through the caller's runner (the clean-up's, during a sweep).
  static ToolProcessResult forceEject(const std::string& target, const ToolRun& run);
  // The first "/dev/diskN" or "/dev/diskNsM..." anywhere in `text`.
  static std::optional<std::string> firstDeviceNode(std::string_view text);

private:
  std::string run(const std::vector<std::string>& arguments) const;

  Timing timing_;
};

} // namespace halyard

template <> struct std::hash<halyard::ModernDiskImageAttachment> {
  std::size_t operator()(const halyard::ModernDiskImageAttachment& attachment) const noexcept {
    const std::size_t device = std::hash<std::string>()(attachment.device);
    return device ^ (std::hash<std::string>()(attachment.mountPoint) + 0x9e3779b97f4a7c15ULL +
                     (device << 6) + (device >> 2));
  }
};
