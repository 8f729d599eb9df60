// Any bytes as a .DS_Store file: the reader returns records or throws its own Failure, the layout
// taken from the records keeps every value in its range or throws the same Failure, and an alias
// record never yields a path that leaves the volume. Nothing else may happen.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/Finder/DSStoreReader.hpp"
#include "core/Finder/FinderWindowLayout.hpp"

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
        if (path->empty() || path->front() == '/' || path->find("..") == 0) std::abort();
      }
    }
  } catch (const DSStoreReader::Failure&) {
  }
  // The alias reader alone, on the same bytes.
  if (const auto path = FinderWindowLayout::aliasRelativePath(bytes)) {
    if (path->empty() || path->front() == '/') std::abort();
  }
  return 0;
}
