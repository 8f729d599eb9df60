// Feeds arbitrary bytes to the update manifest decoder and to the version comparison. Decoding
// either succeeds or throws BosunRelease::Failure; a version is never newer than itself, and of
// two different versions at most one is newer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/Updates/BosunRelease.hpp"
#include "core/Updates/ReleaseVersion.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const auto release = halyard::BosunRelease::decode(bytes);
    if (halyard::ReleaseVersion::isNewer(release.version, release.version)) std::abort();
    const std::string other = release.sha256;
    if (halyard::ReleaseVersion::isNewer(release.version, other) &&
        halyard::ReleaseVersion::isNewer(other, release.version))
      std::abort();
  } catch (const halyard::BosunRelease::Failure&) {
  }
  return 0;
}
