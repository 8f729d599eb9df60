#include "VolumeMounter.hpp"

#include "DiskImage.hpp"
#include "ExtendedAttributes.hpp"
#include "Files.hpp"
#include "Knobs.hpp"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace macsim {

namespace {

bool isEmptyFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error) && fs::is_empty(path, error);
}

void removeVolume(const Attachment& attachment) {
  std::error_code ignored;
  const fs::path mount = attachment.mountPoint;
  if (attachment.createdMountPoint) {
    fs::remove_all(mount, ignored);
    return;
  }
  for (const auto& entry : fs::directory_iterator(mount, ignored))
    fs::remove_all(entry.path(), ignored);
  ExtendedAttributes::clear(mount); // the volume's root attributes leave with it
}

} // namespace

Attachment VolumeMounter::attach(const ToolContext& context, const Request& request) {
  const fs::path image = Files::absolute(request.image);
  if (!fs::exists(image)) throw MountError("No such file or directory");
  DiskImage::Properties properties;
  try {
    properties = DiskImage::properties(image);
  } catch (const DiskImageError&) {
    throw MountError("image not recognized");
  }
  StateStore store(context.stateFolder());
  AttachmentTable table(store);
  if (auto existing = table.findImage(image.string())) return *existing;

  Attachment attachment;
  attachment.image = image.string();
  attachment.filesystem = properties.filesystem == "APFS" ? "APFS" : "HFS+";
  attachment.volumeName = properties.volumeName;
  attachment.format = properties.format;
  attachment.readOnly = request.readOnly || !DiskImage::isWritableFormat(properties.format);
  fs::path mount;
  if (request.mountPoint) {
    mount = Files::absolute(*request.mountPoint);
    if (fs::exists(mount) && !isEmptyFolder(mount)) throw MountError("Resource busy");
    attachment.createdMountPoint = !fs::exists(mount);
  } else {
    const fs::path folder =
        request.mountRoot ? Files::absolute(*request.mountRoot) : context.volumesFolder();
    fs::create_directories(folder);
    // mkdir claims the name atomically, so two attaches at once never share a mount point.
    mount = folder / properties.volumeName;
    for (int suffix = 1; ::mkdir(mount.c_str(), 0755) != 0; ++suffix) {
      if (errno != EEXIST) throw MountError(std::strerror(errno));
      mount = folder / (properties.volumeName + " " + std::to_string(suffix));
    }
  }
  attachment.mountPoint = mount.string();
  try {
    DiskImage::unpack(image, mount);
  } catch (const std::exception&) {
    removeVolume(attachment);
    throw MountError("image data corrupted");
  }
  return table.add(attachment);
}

void VolumeMounter::eject(const ToolContext& context, const Attachment& attachment, bool force) {
  StateStore store(context.stateFolder());
  AttachmentTable table(store);
  if (Knobs::stuckVolumes()) throw MountError("Resource busy", true);
  if (!force && table.refuseEject(attachment.disk, Knobs::busyEjects()))
    throw MountError("Resource busy", true);
  std::optional<std::string> lost;
  // An image deleted while attached (a removed workspace) keeps nothing to write back into.
  if (!attachment.readOnly && fs::exists(attachment.image)) {
    try {
      DiskImage::repack(attachment.image, attachment.mountPoint);
    } catch (const std::exception& error) {
      if (!force) throw MountError(error.what());
      lost = error.what();
    }
  }
  removeVolume(attachment);
  table.remove(attachment.disk);
  if (lost) throw MountError(*lost + " (the volume was detached; its changes were not saved)");
}

} // namespace macsim
