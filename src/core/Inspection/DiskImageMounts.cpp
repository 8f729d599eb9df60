#include "core/Inspection/DiskImageMounts.hpp"

#include <algorithm>
#include <mutex>
#include <string>

#include "core/Support/PropertyList.hpp"

namespace halyard {

namespace {
using PL = PropertyList;

// The first non-empty value of `key` among the image's system entities.
std::optional<std::string> firstEntityValue(plist_t image, const char* key) {
  for (const plist_t entity : PL::elements(PL::arrayItem(image, "system-entities"))) {
    auto value = PL::string(entity, key);
    if (value && !value->empty()) return value;
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
  const auto root = PL::parseToolOutput(infoPlist);
  for (const plist_t entry : PL::elements(root.arrayItem("images"))) {
    const auto imagePath = PL::string(entry, "image-path");
    if (!imagePath || !sameFile(*imagePath, image)) continue;
    if (auto mountPoint = firstEntityValue(entry, "mount-point"))
      return std::filesystem::path(*mountPoint);
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path>
DiskImageMounts::firstMountPoint(std::string_view attachPlist) {
  const auto root = PL::parseToolOutput(attachPlist);
  if (auto mountPoint = firstEntityValue(root.node(), "mount-point"))
    return std::filesystem::path(*mountPoint);
  return std::nullopt;
}

std::optional<std::string> DiskImageMounts::firstDeviceEntry(std::string_view attachPlist) {
  const auto root = PL::parseToolOutput(attachPlist);
  return firstEntityValue(root.node(), "dev-entry");
}

std::vector<DiskImageMounts::AttachedImage>
DiskImageMounts::attachedImages(std::string_view infoPlist) {
  std::vector<AttachedImage> images;
  const auto root = PL::parse(infoPlist);
  for (const plist_t image : PL::elements(root.arrayItem("images"))) {
    auto imagePath = PL::string(image, "image-path");
    if (!imagePath) continue;
    // The smallest device path (the whole disk sorts before its slices).
    std::optional<std::string> smallest;
    for (const plist_t entity : PL::elements(PL::arrayItem(image, "system-entities"))) {
      const auto device = PL::string(entity, "dev-entry");
      if (device && (!smallest || *device < *smallest)) smallest = device;
    }
    if (smallest) images.push_back({std::move(*imagePath), std::move(*smallest)});
  }
  return images;
}

std::vector<std::string>
DiskImageMounts::wholeDiskDevices(std::string_view infoPlist,
                                  const std::vector<std::string_view>& imagePathMarkers) {
  std::vector<std::string> devices;
  for (auto& image : attachedImages(infoPlist)) {
    if (std::any_of(imagePathMarkers.begin(), imagePathMarkers.end(), [&](std::string_view marker) {
          return image.imagePath.find(marker) != std::string::npos;
        }))
      devices.push_back(std::move(image.device));
  }
  return devices;
}

namespace {
std::mutex attachedLock;
std::vector<std::string>& attachedTargets() {
  static std::vector<std::string> targets;
  return targets;
}
} // namespace

void DiskImageMounts::rememberAttached(const std::string& target) {
  const std::lock_guard<std::mutex> guard(attachedLock);
  auto& targets = attachedTargets();
  if (std::find(targets.begin(), targets.end(), target) == targets.end()) targets.push_back(target);
}

void DiskImageMounts::forgetAttached(const std::string& target) {
  const std::lock_guard<std::mutex> guard(attachedLock);
  auto& targets = attachedTargets();
  if (const auto found = std::find(targets.begin(), targets.end(), target); found != targets.end())
    targets.erase(found);
}

std::vector<std::string> DiskImageMounts::attachedByThisProcess() {
  const std::lock_guard<std::mutex> guard(attachedLock);
  return attachedTargets();
}

} // namespace halyard
