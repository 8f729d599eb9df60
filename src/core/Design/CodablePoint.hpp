#pragma once

namespace halyard {

// A point coded as an object {"x", "y"} (gradient stops use it).
struct CodablePoint {
  double x = 0;
  double y = 0;

  friend bool operator==(const CodablePoint&, const CodablePoint&) = default;
};

// A point or size coded as an array of two numbers (sticker positions, the radial centre and the
// canvas size). Canvas points have their origin at the bottom-left corner, y growing upwards.
struct DesignPoint {
  double x = 0;
  double y = 0;

  friend bool operator==(const DesignPoint&, const DesignPoint&) = default;
};

struct DesignSize {
  double width = 0;
  double height = 0;

  friend bool operator==(const DesignSize&, const DesignSize&) = default;
};

} // namespace halyard
