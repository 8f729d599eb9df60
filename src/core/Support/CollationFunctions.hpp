#pragma once

#include <unicode/ucol.h>

namespace halyard {

// ICU's collation (its internationalisation library, libicui18n) as FinderNameOrder calls it.
// bosun loads it as the module bosun-collation when it first has names to put in order; tests,
// utilities and the desktop app link it in.
struct CollationFunctions {
  static constexpr const char* moduleName = "bosun-collation";
  // The module's one exported function, returning its table; the suffix changes with the layout.
  static constexpr const char* entryName = "bosun_collation_functions_v1";

  decltype(&ucol_open) open = nullptr;
  decltype(&ucol_close) close = nullptr;
  decltype(&ucol_setStrength) setStrength = nullptr;
  decltype(&ucol_setAttribute) setAttribute = nullptr;
  decltype(&ucol_strcollUTF8) compareUTF8 = nullptr;
  decltype(&ucol_getSortKey) sortKey = nullptr;

  // The table in use: the collation linked into the program, or the module's. Throws
  // ModuleLoadError when the module cannot be loaded.
  static const CollationFunctions& current();
  // ICU's own functions (built only where the collation is linked).
  static const CollationFunctions& collation();
};

} // namespace halyard
