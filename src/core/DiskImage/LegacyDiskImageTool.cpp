#include "core/DiskImage/LegacyDiskImageTool.hpp"

#include <utility>

#include "core/DiskImage/DiskImageListing.hpp"
#include "core/DiskImage/DiskImages.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Process/ProcessRunner.hpp"

namespace halyard {

namespace {
// The runs of the legacy family: the shared runner with the disk-image time limit.
const ToolRun diskImageRun{AppleTools::Runner::shared, AppleTools::diskImageLimit};
} // namespace

void LegacyDiskImageTool::createReadWrite(const std::filesystem::path& image, long long sizeMB,
                                          const std::string& volumeName) {
  CoreCommand::checked(DiskImages::create(image, sizeMB, volumeName, diskImageRun));
}

LegacyDiskImageAttachment LegacyDiskImageTool::attach(const std::filesystem::path& image) {
  // The whole standard output is the answer, and a failure says what both streams said.
  const auto attached = DiskImages::attach(
      image, {}, [](const char* executable, const auto& arguments, const std::string& answer) {
        return ToolProcessResult{
            0, CoreCommand::captureData(executable, arguments, AppleTools::diskImageLimit, answer),
            ""};
      });
  return parseAttachPlist(attached.standardOutput);
}

void LegacyDiskImageTool::detach(const std::string& device) {
  CoreCommand::checked(DiskImages::detach(device, true, false, diskImageRun));
}

void LegacyDiskImageTool::detachQuietly(const std::string& device) noexcept {
  try {
    DiskImages::detach(device, true, false,
                       [](const char* executable, const std::vector<std::string>& arguments) {
                         ProcessRunRequest request;
                         request.executable = executable;
                         request.arguments = arguments;
                         request.timeout = AppleTools::quickQueryLimit;
                         request.escalation = TimeoutEscalation::terminateThenKill;
                         request.track = !ProcessRegistry::shared().isCancelling();
                         return ProcessRunner::run(request);
                       });
  } catch (...) {
  }
}

void LegacyDiskImageTool::compress(const std::filesystem::path& source,
                                   const std::filesystem::path& destination,
                                   DMGCompressionFormat format) {
  CoreCommand::checked(DiskImages::convert(source, destination, format, diskImageRun));
}

LegacyDiskImageAttachment LegacyDiskImageTool::parseAttachPlist(std::string_view output) {
  auto listed = DiskImageListing::attached(output);
  if (!listed.device || !listed.mountPoint) throw LegacyDiskImageError();
  return {std::move(*listed.device), std::move(*listed.mountPoint)};
}

} // namespace halyard
