#pragma once

#include "AttachmentTable.hpp"
#include "ToolContext.hpp"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace macsim {

// Why an attach or eject did not happen, in the words hdiutil puts after "failed - ".
struct MountError : std::runtime_error {
  MountError(const std::string& reason, bool busy = false)
      : std::runtime_error(reason), busy(busy) {}
  bool busy;
};

// Attaching unpacks an image into a folder (its mount point, under ROOT/Volumes unless one is
// given); ejecting writes a read-write volume back into its image, within the image's size, and
// removes the folder. Read-only attachments are never written back.
struct VolumeMounter {
  struct Request {
    std::filesystem::path image;
    bool readOnly = false;
    std::optional<std::filesystem::path> mountPoint;
    std::optional<std::filesystem::path> mountRoot;
  };

  static Attachment attach(const ToolContext& context, const Request& request);
  // `force` skips the busy check and, when the contents no longer fit, leaves the image as it
  // was (reported as an error after the volume is gone).
  static void eject(const ToolContext& context, const Attachment& attachment, bool force);
};

} // namespace macsim
