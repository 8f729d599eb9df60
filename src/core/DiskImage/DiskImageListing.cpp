#include "core/DiskImage/DiskImageListing.hpp"

#include <algorithm>
#include <system_error>

#include "core/Support/PropertyList.hpp"

namespace halyard {

namespace {
using PL = PropertyList;

// Binary lists are read whole: their bytes may quote the text that starts an XML list.
PL parseListing(std::string_view output) {
  return output.starts_with("bplist") ? PL::parse(output) : PL::parseToolOutput(output);
}

// The first non-empty value of `key` among the system entities of `owner`.
std::optional<std::string> firstEntityValue(plist_t owner, const char* key) {
  for (const plist_t entity : PL::elements(PL::arrayItem(owner, "system-entities"))) {
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

DiskImageListing::Attached DiskImageListing::attached(std::string_view attachOutput) {
  const auto root = parseListing(attachOutput);
  if (!PL::isDictionary(root.node())) return {};
  const plist_t entities = root.arrayItem("system-entities");
  if (entities == nullptr) return {};
  const auto elements = PL::elements(entities);
  if (!std::all_of(elements.begin(), elements.end(), PL::isDictionary)) return {};
  return {firstEntityValue(root.node(), "dev-entry"), firstEntityValue(root.node(), "mount-point")};
}

std::vector<DiskImageListing::Image> DiskImageListing::images(std::string_view infoOutput) {
  std::vector<Image> images;
  const auto root = parseListing(infoOutput);
  for (const plist_t entry : PL::elements(root.arrayItem("images"))) {
    auto imagePath = PL::string(entry, "image-path");
    if (!imagePath) continue;
    Image image{std::move(*imagePath), {}, firstEntityValue(entry, "mount-point")};
    for (const plist_t entity : PL::elements(PL::arrayItem(entry, "system-entities"))) {
      const auto device = PL::string(entity, "dev-entry");
      if (device && !device->empty() && (image.device.empty() || *device < image.device))
        image.device = *device;
    }
    images.push_back(std::move(image));
  }
  return images;
}

std::optional<std::filesystem::path>
DiskImageListing::mountPoint(const std::vector<Image>& images, const std::filesystem::path& image) {
  for (const auto& listed : images)
    if (sameFile(listed.imagePath, image)) return listed.mountPoint;
  return std::nullopt;
}

} // namespace halyard
