#include "AttachmentTable.hpp"

#include "Files.hpp"

#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* documentName = "attachments.json";
constexpr int firstDisk = 4; // disk0 to disk3 belong to the system

nlohmann::json emptyTable() {
  return {{"attachments", nlohmann::json::array()}};
}

nlohmann::json toJson(const Attachment& attachment) {
  return {{"disk", attachment.disk},
          {"image", attachment.image},
          {"mountPoint", attachment.mountPoint},
          {"filesystem", attachment.filesystem},
          {"volumeName", attachment.volumeName},
          {"format", attachment.format},
          {"readOnly", attachment.readOnly},
          {"createdMountPoint", attachment.createdMountPoint},
          {"refusedEjects", attachment.refusedEjects}};
}

Attachment fromJson(const nlohmann::json& json) {
  Attachment attachment;
  attachment.disk = json.value("disk", 0);
  attachment.image = json.value("image", "");
  attachment.mountPoint = json.value("mountPoint", "");
  attachment.filesystem = json.value("filesystem", "HFS+");
  attachment.volumeName = json.value("volumeName", "");
  attachment.format = json.value("format", "UDRW");
  attachment.readOnly = json.value("readOnly", false);
  attachment.createdMountPoint = json.value("createdMountPoint", true);
  attachment.refusedEjects = json.value("refusedEjects", 0);
  return attachment;
}

std::string normalized(const std::string& path) {
  std::error_code error;
  auto canonical = fs::weakly_canonical(Files::absolute(path), error);
  return error ? Files::absolute(path).string() : canonical.string();
}

} // namespace

std::vector<DeviceEntity> Attachment::entities() const {
  const std::string whole = "/dev/disk" + std::to_string(disk);
  if (filesystem == "APFS") {
    const std::string container = "/dev/disk" + std::to_string(disk + 1);
    return {{whole, "GUID_partition_scheme", std::nullopt, ""},
            {whole + "s1", "Apple_APFS", std::nullopt, ""},
            {container, "EF57347C-0000-11AA-AA11-00306543ECAC", std::nullopt, ""},
            {container + "s1", "41504653-0000-11AA-AA11-00306543ECAC", mountPoint, "apfs"}};
  }
  return {{whole, "GUID_partition_scheme", std::nullopt, ""},
          {whole + "s1", "Apple_HFS", mountPoint, "hfs"}};
}

std::vector<Attachment> AttachmentTable::list() const {
  std::vector<Attachment> result;
  const auto document = store_.read(documentName, emptyTable());
  for (const auto& item : document.value("attachments", nlohmann::json::array()))
    result.push_back(fromJson(item));
  return result;
}

Attachment AttachmentTable::add(Attachment attachment) const {
  store_.update(documentName, emptyTable(), [&](nlohmann::json& document) {
    std::set<int> used;
    for (const auto& item : document["attachments"]) {
      const auto existing = fromJson(item);
      for (int i = 0; i < existing.disksUsed(); ++i)
        used.insert(existing.disk + i);
    }
    int disk = firstDisk;
    while (used.count(disk) != 0 || (attachment.disksUsed() == 2 && used.count(disk + 1) != 0))
      ++disk;
    attachment.disk = disk;
    document["attachments"].push_back(toJson(attachment));
  });
  return attachment;
}

std::optional<Attachment> AttachmentTable::find(const std::string& target) const {
  static const std::regex device(R"(^(/dev/)?disk([0-9]+)(s[0-9]+)*$)");
  std::smatch match;
  const auto attachments = list();
  if (std::regex_match(target, match, device)) {
    const int number = std::stoi(match[2].str());
    for (const auto& attachment : attachments)
      if (number >= attachment.disk && number < attachment.disk + attachment.disksUsed())
        return attachment;
    return std::nullopt;
  }
  const std::string path = normalized(target);
  for (const auto& attachment : attachments)
    if (normalized(attachment.mountPoint) == path) return attachment;
  return findImage(target);
}

std::optional<Attachment> AttachmentTable::findImage(const std::string& image) const {
  const std::string path = normalized(image);
  for (const auto& attachment : list())
    if (normalized(attachment.image) == path) return attachment;
  return std::nullopt;
}

void AttachmentTable::remove(int disk) const {
  store_.update(documentName, emptyTable(), [&](nlohmann::json& document) {
    nlohmann::json kept = nlohmann::json::array();
    for (const auto& item : document["attachments"])
      if (item.value("disk", 0) != disk) kept.push_back(item);
    document["attachments"] = kept;
  });
}

bool AttachmentTable::refuseEject(int disk, int busyAttempts) const {
  bool refuse = false;
  store_.update(documentName, emptyTable(), [&](nlohmann::json& document) {
    for (auto& item : document["attachments"]) {
      if (item.value("disk", 0) != disk) continue;
      const int refused = item.value("refusedEjects", 0);
      if (refused < busyAttempts) {
        item["refusedEjects"] = refused + 1;
        refuse = true;
      }
    }
  });
  return refuse;
}

} // namespace macsim
