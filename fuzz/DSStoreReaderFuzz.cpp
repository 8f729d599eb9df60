// Any bytes as a .DS_Store file: the reader returns records or throws its own Failure, the layout
// taken from the records keeps every value in its range or throws the same Failure, and an alias
// record never yields a path that leaves the volume. Nothing else may happen.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Finder/DSStoreReader.hpp"
#include "core/Finder/FinderWindowLayout.hpp"

namespace {

// A path below the volume root: not empty, not absolute, and no component leads upwards.
bool staysInside(const std::string& path) {
  if (path.empty() || path.front() == '/') return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halyard;
  const Bytes bytes(data, data + size);
  try {
    const auto records = DSStoreReader::read(bytes);
    const auto layout = FinderWindowLayout::fromRecords(records);
    if (layout.windowSize && !(layout.windowSize->width >= 1 &&
                               layout.windowSize->width <= FinderWindowLayout::maximumWindowSide))
      std::abort();
    if (layout.iconSize && !(*layout.iconSize >= 16 && *layout.iconSize <= 512)) std::abort();
    if (layout.backgroundAlias) {
      if (const auto path = FinderWindowLayout::aliasRelativePath(*layout.backgroundAlias)) {
        if (!staysInside(*path)) std::abort();
      }
    }
  } catch (const DSStoreReader::Failure&) {
  }
  // The alias reader alone, on the same bytes.
  if (const auto path = FinderWindowLayout::aliasRelativePath(bytes)) {
    if (!staysInside(*path)) std::abort();
  }
  return 0;
}
