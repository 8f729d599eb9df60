#include "core/DiskImage/DiskImages.hpp"

#include <utility>

#include "core/Process/AppleTools.hpp"

namespace halyard {

namespace {
// What every attach writes to the tool's standard input: agreeing to a license agreement.
constexpr const char* licenseAgreementAnswer = "Y\n";
} // namespace

ToolProcessResult DiskImages::create(const std::filesystem::path& image, long long sizeMB,
                                     const std::string& volumeName, const ToolRun& run) {
  return run(AppleTools::hdiutil, {"create", "-size", std::to_string(sizeMB) + "m", "-fs", "HFS+",
                                   "-volname", volumeName, "-ov", image.string()});
}

ToolProcessResult DiskImages::convert(const std::filesystem::path& source,
                                      const std::filesystem::path& destination,
                                      DMGCompressionFormat format, const ToolRun& run) {
  std::vector<std::string> arguments{"convert", source.string()};
  for (auto& argument : hdiutilArguments(format))
    arguments.push_back(std::move(argument));
  arguments.insert(arguments.end(), {"-ov", "-o", destination.string()});
  return run(AppleTools::hdiutil, arguments);
}

ToolProcessResult DiskImages::udifrez(const std::filesystem::path& resourcePlist,
                                      const std::filesystem::path& image, const ToolRun& run) {
  return run(AppleTools::hdiutil, {"udifrez", "-xml", resourcePlist.string(), "", image.string()});
}

std::optional<std::vector<DiskImageListing::Image>> DiskImages::info(const ToolRun& run) {
  const auto listing = run(AppleTools::hdiutil, {"info", "-plist"});
  if (!listing.succeeded()) return std::nullopt;
  return DiskImageListing::images(listing.standardOutput);
}

ToolProcessResult DiskImages::attach(const std::filesystem::path& image, const AttachForm& form,
                                     const AnsweringRun& run) {
  std::vector<std::string> arguments{"attach"};
  if (form.mountPoint) {
    arguments.insert(arguments.end(), {image.string(), "-nobrowse", "-readonly", "-noautoopen",
                                       "-mountpoint", form.mountPoint->string()});
  } else {
    if (form.readOnly) arguments.insert(arguments.end(), {"-nobrowse", "-readonly"});
    arguments.insert(arguments.end(), {"-noverify", "-noautoopen", "-plist", image.string()});
  }
  return run(AppleTools::hdiutil, arguments, licenseAgreementAnswer);
}

ToolProcessResult DiskImages::detach(const std::string& target, bool force, bool quiet,
                                     const ToolRun& run) {
  std::vector<std::string> arguments{"detach", target};
  if (force) arguments.emplace_back("-force");
  if (quiet) arguments.emplace_back("-quiet");
  return run(AppleTools::hdiutil, arguments);
}

} // namespace halyard
