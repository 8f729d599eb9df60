#pragma once

namespace halyard {

// A device-RGB colour as a template stores it; every component is nominally 0…1.
struct CodableColor {
  double r = 0;
  double g = 0;
  double b = 0;
  double a = 1;

  static constexpr CodableColor white() { return {1, 1, 1, 1}; }
  static constexpr CodableColor black() { return {0, 0, 0, 1}; }

  friend bool operator==(const CodableColor&, const CodableColor&) = default;
};

} // namespace halyard
