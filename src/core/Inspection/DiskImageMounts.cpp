#include "core/Inspection/DiskImageMounts.hpp"

#include <plist/plist.h>

#include <limits>
#include <memory>
#include <string>

namespace halyard {

namespace {
struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistFree>;

// The property list in a tool's output; text before the XML declaration is skipped.
PlistHandle parsed(std::string_view output) {
  const auto start = output.find("<?xml");
  if (start != std::string_view::npos) output.remove_prefix(start);
  if (output.empty() || output.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
  plist_t root = nullptr;
  plist_from_memory(output.data(), static_cast<uint32_t>(output.size()), &root);
  return PlistHandle(root);
}

std::optional<std::string> stringValue(plist_t dictionary, const char* key) {
  if (!dictionary || plist_get_node_type(dictionary) != PLIST_DICT) return std::nullopt;
  const plist_t node = plist_dict_get_item(dictionary, key);
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  char* value = nullptr;
  plist_get_string_val(node, &value);
  if (!value) return std::nullopt;
  std::string text = value;
  free(value);
  return text;
}

plist_t arrayValue(plist_t dictionary, const char* key) {
  if (!dictionary || plist_get_node_type(dictionary) != PLIST_DICT) return nullptr;
  const plist_t node = plist_dict_get_item(dictionary, key);
  return node && plist_get_node_type(node) == PLIST_ARRAY ? node : nullptr;
}

std::optional<std::filesystem::path> firstMountPointOf(plist_t dictionary) {
  const plist_t entities = arrayValue(dictionary, "system-entities");
  if (!entities) return std::nullopt;
  for (uint32_t i = 0; i < plist_array_get_size(entities); ++i) {
    const auto mountPoint = stringValue(plist_array_get_item(entities, i), "mount-point");
    if (mountPoint && !mountPoint->empty()) return std::filesystem::path(*mountPoint);
  }
  return std::nullopt;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  const auto normal = [](const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::weakly_canonical(path, ignored).lexically_normal();
  };
  return normal(a) == normal(b);
}
} // namespace

std::optional<std::filesystem::path>
DiskImageMounts::existingMountPoint(std::string_view infoPlist,
                                    const std::filesystem::path& image) {
  const auto root = parsed(infoPlist);
  const plist_t images = arrayValue(root.get(), "images");
  if (!images) return std::nullopt;
  for (uint32_t i = 0; i < plist_array_get_size(images); ++i) {
    const plist_t entry = plist_array_get_item(images, i);
    const auto imagePath = stringValue(entry, "image-path");
    if (imagePath && sameFile(*imagePath, image)) return firstMountPointOf(entry);
  }
  return std::nullopt;
}

std::optional<std::filesystem::path>
DiskImageMounts::firstMountPoint(std::string_view attachPlist) {
  const auto root = parsed(attachPlist);
  return firstMountPointOf(root.get());
}

std::optional<std::string> DiskImageMounts::firstDeviceEntry(std::string_view attachPlist) {
  const auto root = parsed(attachPlist);
  const plist_t entities = arrayValue(root.get(), "system-entities");
  if (!entities) return std::nullopt;
  for (uint32_t i = 0; i < plist_array_get_size(entities); ++i) {
    const auto device = stringValue(plist_array_get_item(entities, i), "dev-entry");
    if (device && !device->empty()) return device;
  }
  return std::nullopt;
}

} // namespace halyard
