// Any bytes as an icon family file: the reader returns a PNG image taken from inside the file
// (it starts with the PNG signature and is no longer than the file) or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/DMG/AppIconFile.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto png = halyard::AppIconFile::largestPNG(bytes)) {
    if (png->size() + 16 > size || png->compare(0, 4, "\x89PNG") != 0) std::abort();
  }
  return 0;
}
