#include "core/DiskImage/LegacyDiskImageTool.hpp"

#include <optional>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/PropertyList.hpp"

namespace halyard {

void LegacyDiskImageTool::createReadWrite(const std::filesystem::path& image, long long sizeMB,
                                          const std::string& volumeName) {
  CoreCommand::run(AppleTools::hdiutil,
                   {"create", "-size", std::to_string(sizeMB) + "m", "-fs", "HFS+", "-volname",
                    volumeName, "-ov", image.string()},
                   AppleTools::diskImageLimit);
}

LegacyDiskImageAttachment LegacyDiskImageTool::attach(const std::filesystem::path& image) {
  const auto output = CoreCommand::captureData(
      AppleTools::hdiutil, {"attach", "-noverify", "-noautoopen", "-plist", image.string()},
      AppleTools::diskImageLimit, AppleTools::licenseAgreementAnswer);
  return parseAttachPlist(output);
}

void LegacyDiskImageTool::detach(const std::string& device) {
  CoreCommand::run(AppleTools::hdiutil, {"detach", device, "-force"}, AppleTools::diskImageLimit);
}

void LegacyDiskImageTool::compress(const std::filesystem::path& source,
                                   const std::filesystem::path& destination,
                                   DMGCompressionFormat format) {
  std::vector<std::string> arguments{"convert", source.string()};
  for (auto& argument : hdiutilArguments(format))
    arguments.push_back(std::move(argument));
  arguments.insert(arguments.end(), {"-ov", "-o", destination.string()});
  CoreCommand::run(AppleTools::hdiutil, arguments, AppleTools::diskImageLimit);
}

LegacyDiskImageAttachment LegacyDiskImageTool::parseAttachPlist(std::string_view output) {
  const auto list = PropertyList::parseToolOutput(output);
  if (!PropertyList::isDictionary(list.node())) throw LegacyDiskImageError();
  const plist_t entities = list.arrayItem("system-entities");
  if (entities == nullptr) throw LegacyDiskImageError();
  const auto elements = PropertyList::elements(entities);
  for (plist_t entity : elements) {
    if (!PropertyList::isDictionary(entity)) throw LegacyDiskImageError();
  }
  std::optional<std::string> device;
  std::optional<std::string> mountPoint;
  for (plist_t entity : elements) {
    if (!device) device = PropertyList::string(entity, "dev-entry");
    if (!mountPoint) mountPoint = PropertyList::string(entity, "mount-point");
    if (device && mountPoint) return {*device, *mountPoint};
  }
  throw LegacyDiskImageError();
}

} // namespace halyard
