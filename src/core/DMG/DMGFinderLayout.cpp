#include "core/DMG/DMGFinderLayout.hpp"

#include <algorithm>
#include <cmath>

namespace halyard {

double halyardFinderScale(FinderSize windowSize) {
  const double scale = std::min(windowSize.width / halyardBaseInstallerSize.width,
                                windowSize.height / halyardBaseInstallerSize.height);
  return scale > 0.1 ? scale : 0.1; // a NaN fails the comparison and gives the minimum too
}

double halyardFinderIconSize(FinderSize windowSize) {
  return std::max(144 * halyardFinderScale(windowSize), 72.0);
}

double halyardFinderArrowSide(FinderSize windowSize) {
  return std::max(88 * halyardFinderScale(windowSize), 40.0);
}

double halyardFinderLabelPillOffsetY(FinderSize windowSize) {
  return halyardFinderIconSize(windowSize) / 2 + halyardFinderLabelGap;
}

double halyardFinderLabelOffsetY(FinderSize windowSize) {
  return 92 * halyardFinderScale(windowSize);
}

double halyardFinderItemExportYOffset(FinderSize windowSize) {
  return 53 * halyardFinderScale(windowSize);
}

HalyardFinderLayout halyardFinderLayout(FinderSize windowSize, bool isReversed) {
  const double scale = halyardFinderScale(windowSize);
  const double cx = std::floor(windowSize.width * 0.5);
  const double y = std::floor(windowSize.height * 0.5) - 40 * scale;
  const double dx = 250 * scale;
  double appX = cx - dx;
  double folderX = cx + dx;
  if (isReversed) std::swap(appX, folderX);
  return {{appX, y}, {folderX, y}, {(appX + folderX) / 2, y + 4}};
}

} // namespace halyard
