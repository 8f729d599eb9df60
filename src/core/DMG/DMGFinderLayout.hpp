#pragma once

#include "core/Finder/FinderLayoutFile.hpp"

namespace halyard {

// Window points: x to the right, y downwards, as the Finder counts them.
using FinderPoint = FinderLayoutFile::Point;
using FinderSize = FinderLayoutFile::Size;

// The installer window is designed at this size; every other size scales the design.
inline constexpr FinderSize halyardBaseInstallerSize{1600, 1000};

// The window measured against the reference design: min(width / 1600, height / 1000), never
// below 0.1 (nor for sizes that are not numbers).
double halyardFinderScale(FinderSize windowSize);

// max(144 × scale, 72): the icons' side.
double halyardFinderIconSize(FinderSize windowSize);
// max(88 × scale, 40): the arrow's side.
double halyardFinderArrowSide(FinderSize windowSize);
// Between an icon's lower edge and its label pill.
inline constexpr double halyardFinderLabelGap = 14;
// From an icon's centre to its label pill's centre: icon size / 2 + label gap.
double halyardFinderLabelPillOffsetY(FinderSize windowSize);
// From an icon's centre to its label's text: 92 × scale.
double halyardFinderLabelOffsetY(FinderSize windowSize);
// How far the exported icons sit below the designed positions: 53 × scale.
double halyardFinderItemExportYOffset(FinderSize windowSize);

// Where the app icon, the Applications link and the arrow between them go (their centres).
struct HalyardFinderLayout {
  FinderPoint appPos;
  FinderPoint folderPos;
  FinderPoint arrowPos;
};

// The two icons 250 × scale to either side of the window's middle, 40 × scale above its centre
// line; the arrow halfway between them, 4 points lower. Reversed: Applications on the left.
HalyardFinderLayout halyardFinderLayout(FinderSize windowSize, bool isReversed);

} // namespace halyard
