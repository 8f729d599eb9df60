// The answers of `hdiutil attach -plist` and `diskutil image attach`: any bytes must give an
// attachment or the designed failure, never a crash. The mounted-volume check is replaced by a
// pure one so that the run never touches the file system.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/DiskImage/LegacyDiskImageTool.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    halyard::LegacyDiskImageTool::parseAttachPlist(bytes);
  } catch (const halyard::LegacyDiskImageError&) {
  }
  const auto attachment = halyard::ModernDiskImageTool::parseAttachment(
      bytes, [](const std::string& path) { return path.size() % 2 == 0; });
  if (attachment) (void)attachment->wholeDisk();
  return 0;
}
