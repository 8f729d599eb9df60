#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DMG/DMGCompressionFormat.hpp"
#include "core/DiskImage/DiskImageListing.hpp"
#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// The platform's disk-image tool, hdiutil: the one place that spells its command lines. Runs come
// back as they are (what a failure means is the caller's to say), except the listing of attached
// images, which is read into values here.
struct DiskImages {
  // `hdiutil create -size SIZEm -fs HFS+ -volname NAME -ov IMAGE`: an empty read-write image of
  // `sizeMB` megabytes, replacing any file at `image`.
  static ToolProcessResult create(const std::filesystem::path& image, long long sizeMB,
                                  const std::string& volumeName, const ToolRun& run);

  // `hdiutil convert SOURCE <the format's arguments> -ov -o DESTINATION`: a compressed read-only
  // copy, replacing any file at `destination`.
  static ToolProcessResult convert(const std::filesystem::path& source,
                                   const std::filesystem::path& destination,
                                   DMGCompressionFormat format, const ToolRun& run);

  // `hdiutil udifrez -xml PLIST "" IMAGE`: stores the resources of an XML property list in the
  // image (the empty argument is part of the tool's syntax).
  static ToolProcessResult udifrez(const std::filesystem::path& resourcePlist,
                                   const std::filesystem::path& image, const ToolRun& run);

  // `hdiutil info -plist`: the images attached now. None when the tool fails; an unreadable
  // listing lists nothing.
  static std::optional<std::vector<DiskImageListing::Image>> info(const ToolRun& run);

  // How an image is attached: without a `mountPoint`, where the system chooses, answering with a
  // property list of what attached (read it with DiskImageListing::attached), read-only and out
  // of the Finder when `readOnly`; with one, read-only and out of the Finder at that folder,
  // answering in plain text.
  struct AttachForm {
    bool readOnly = false;
    std::optional<std::filesystem::path> mountPoint;
  };
  // Runs a tool with `answer` written to its standard input.
  using AnsweringRun = std::function<ToolProcessResult(const char* executable,
                                                       const std::vector<std::string>& arguments,
                                                       const std::string& answer)>;
  // `hdiutil attach ...`. An image with a license agreement prints the agreement and waits for an
  // answer on standard input before it attaches (without an agreeing one it exits 1, attaching
  // nothing); the attach answers yes, which other images never read.
  static ToolProcessResult attach(const std::filesystem::path& image, const AttachForm& form,
                                  const AnsweringRun& run);

  // `hdiutil detach TARGET [-force] [-quiet]`: a device or a mount point.
  static ToolProcessResult detach(const std::string& target, bool force, bool quiet,
                                  const ToolRun& run);
};

} // namespace halyard
