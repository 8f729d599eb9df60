#include "cli/DiskImageCleanup.hpp"

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "core/Process/ProcessRunner.hpp"

namespace bosun {

namespace {

constexpr const char* hdiutilPath = "/usr/bin/hdiutil";
constexpr const char* leftoverMarkers[] = {"Halyard_DMG_", "Bosun_"};

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using OwnedPlist = std::unique_ptr<void, PlistDeleter>;

std::optional<std::string> stringValue(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  if (value == nullptr) return std::nullopt;
  return std::string(value, static_cast<std::size_t>(length));
}

plist_t arrayItem(plist_t dictionary, const char* key) {
  if (dictionary == nullptr || plist_get_node_type(dictionary) != PLIST_DICT) return nullptr;
  plist_t value = plist_dict_get_item(dictionary, key);
  return value != nullptr && plist_get_node_type(value) == PLIST_ARRAY ? value : nullptr;
}

bool hasLeftoverMarker(const std::string& imagePath) {
  return std::any_of(
      std::begin(leftoverMarkers), std::end(leftoverMarkers),
      [&](const char* marker) { return imagePath.find(marker) != std::string::npos; });
}

// The smallest device path of an image's entities (the whole disk sorts before its slices).
std::optional<std::string> wholeDiskDevice(plist_t image) {
  plist_t entities = arrayItem(image, "system-entities");
  if (entities == nullptr) return std::nullopt;
  std::optional<std::string> smallest;
  const uint32_t count = plist_array_get_size(entities);
  for (uint32_t i = 0; i < count; ++i) {
    plist_t entity = plist_array_get_item(entities, i);
    if (entity == nullptr || plist_get_node_type(entity) != PLIST_DICT) continue;
    const auto device = stringValue(plist_dict_get_item(entity, "dev-entry"));
    if (device && (!smallest || *device < *smallest)) smallest = device;
  }
  return smallest;
}

} // namespace

std::vector<std::string> DiskImageCleanup::leftoverDevices(std::string_view infoPropertyList) {
  std::vector<std::string> devices;
  if (infoPropertyList.empty() || infoPropertyList.size() > std::numeric_limits<uint32_t>::max()) {
    return devices;
  }
  plist_t parsed = nullptr;
  plist_from_memory(infoPropertyList.data(), static_cast<uint32_t>(infoPropertyList.size()),
                    &parsed);
  const OwnedPlist root(parsed);
  plist_t images = arrayItem(parsed, "images");
  if (images == nullptr) return devices;
  const uint32_t count = plist_array_get_size(images);
  for (uint32_t i = 0; i < count; ++i) {
    plist_t image = plist_array_get_item(images, i);
    if (image == nullptr || plist_get_node_type(image) != PLIST_DICT) continue;
    const auto imagePath = stringValue(plist_dict_get_item(image, "image-path"));
    if (!imagePath || !hasLeftoverMarker(*imagePath)) continue;
    if (auto device = wholeDiskDevice(image)) devices.push_back(std::move(*device));
  }
  return devices;
}

std::vector<std::string> DiskImageCleanup::leftoverDevices() {
  const auto output = run(hdiutilPath, {"info", "-plist"});
  if (!output) return {};
  return leftoverDevices(*output);
}

void DiskImageCleanup::detachLeftoversSynchronously() {
  for (const auto& device : leftoverDevices())
    run(hdiutilPath, {"detach", device, "-force", "-quiet"});
}

std::optional<std::string> DiskImageCleanup::run(const std::filesystem::path& executable,
                                                 const std::vector<std::string>& arguments,
                                                 double timeout) {
  halyard::ProcessRunRequest request;
  request.executable = executable;
  request.arguments = arguments;
  request.timeout = timeout;
  request.discardStandardError = true;
  request.escalation = halyard::TimeoutEscalation::terminateThenKill;
  request.track = false;
  request.rawOutput = true; // the listing may be a binary property list
  auto result = halyard::ProcessRunner::run(request);
  if (result.status != 0) return std::nullopt;
  return std::move(result.standardOutput);
}

} // namespace bosun
