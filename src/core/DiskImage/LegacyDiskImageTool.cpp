#include "core/DiskImage/LegacyDiskImageTool.hpp"

#include <utility>

#include "core/DiskImage/DiskImageAttachment.hpp"
#include "core/DiskImage/DiskImageListing.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Process/ProcessRunner.hpp"

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
      AppleTools::hdiutil, DiskImageAttachment::attachArguments(image, false),
      AppleTools::diskImageLimit, AppleTools::licenseAgreementAnswer);
  return parseAttachPlist(output);
}

void LegacyDiskImageTool::detach(const std::string& device) {
  CoreCommand::run(AppleTools::hdiutil, DiskImageAttachment::detachArguments(device, true, false),
                   AppleTools::diskImageLimit);
}

void LegacyDiskImageTool::detachQuietly(const std::string& device) noexcept {
  try {
    ProcessRunRequest request;
    request.executable = AppleTools::hdiutil;
    request.arguments = DiskImageAttachment::detachArguments(device, true, false);
    request.timeout = AppleTools::quickQueryLimit;
    request.escalation = TimeoutEscalation::terminateThenKill;
    request.track = !ProcessRegistry::shared().isCancelling();
    ProcessRunner::run(request);
  } catch (...) {
  }
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
  auto listed = DiskImageListing::attached(output);
  if (!listed.device || !listed.mountPoint) throw LegacyDiskImageError();
  return {std::move(*listed.device), std::move(*listed.mountPoint)};
}

} // namespace halyard
