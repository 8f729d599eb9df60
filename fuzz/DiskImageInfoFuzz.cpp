// The listing of attached disk images ("hdiutil info -plist"), read during cancellation: any
// bytes must give a list of device paths, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/release/DiskImageCleanup.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bosun::DiskImageCleanup::leftoverDevices(halyard::DiskImageListing::images(std::string_view(
                                               reinterpret_cast<const char*>(data), size)),
                                           "/tmp");
  return 0;
}
