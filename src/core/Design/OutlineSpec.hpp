#pragma once

#include "core/Design/CodableColor.hpp"

namespace halyard {

struct OutlineSpec {
  CodableColor color;
  double thickness = 0; // points

  friend bool operator==(const OutlineSpec&, const OutlineSpec&) = default;
};

} // namespace halyard
