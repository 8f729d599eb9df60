#pragma once

#include <string>

namespace macsim {

// Random identifiers in the canonical upper-case text form (8-4-4-4-12 hexadecimal digits).
struct UUID {
  static std::string make();
  static std::string lowercase();
};

} // namespace macsim
