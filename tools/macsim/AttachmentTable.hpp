#pragma once

#include "StateStore.hpp"

#include <optional>
#include <string>
#include <vector>

namespace macsim {

// One device node of an attached image, as hdiutil lists it.
struct DeviceEntity {
  std::string device;      // /dev/disk4, /dev/disk4s1
  std::string contentHint; // GUID_partition_scheme, Apple_HFS, ...
  std::optional<std::string> mountPoint;
  std::string volumeKind; // hfs or apfs, for the mounted entity
};

struct Attachment {
  int disk = 0; // the whole-disk number N of /dev/diskN
  std::string image;
  std::string mountPoint;
  std::string filesystem;
  std::string volumeName;
  std::string format;
  bool readOnly = false;
  bool createdMountPoint = true;
  int refusedEjects = 0;

  // HFS+: diskN (GUID_partition_scheme), diskNs1 (Apple_HFS, mounted). APFS adds the
  // synthesized container disk(N+1) and its volume disk(N+1)s1, which is mounted.
  std::vector<DeviceEntity> entities() const;
  int disksUsed() const { return filesystem == "APFS" ? 2 : 1; }
};

// The attached images of the stand-in Mac (var/macsim/attachments.json).
class AttachmentTable {
public:
  explicit AttachmentTable(const StateStore& store) : store_(store) {}

  std::vector<Attachment> list() const;
  // Records the attachment under the next free disk number and returns it.
  Attachment add(Attachment attachment) const;
  // By device (/dev/disk4, disk4s1, ...), by mount point or by image path.
  std::optional<Attachment> find(const std::string& target) const;
  std::optional<Attachment> findImage(const std::string& image) const;
  void remove(int disk) const;
  // Counts an ordinary eject attempt; true when the volume must still refuse it as busy.
  bool refuseEject(int disk, int busyAttempts) const;

private:
  const StateStore& store_;
};

} // namespace macsim
