#pragma once

#include <string>

namespace macsim {

// Dates in the forms the real tools print them.
struct Clock {
  static std::string isoNow();                // 2026-12-06T10:15:02Z
  static std::string isoOffset(long seconds); // now plus `seconds`
  static std::string isoMillisecondsNow();    // 2026-12-06T10:15:02.123Z
  // "6 Dec 2026 at 10:15:02" (codesign's Timestamp= line), local time.
  static std::string codesignDate(const std::string& iso);
  // "2026-12-06 10:15:02 +0000" (pkgutil's dates).
  static std::string pkgutilDate(const std::string& iso);
};

} // namespace macsim
