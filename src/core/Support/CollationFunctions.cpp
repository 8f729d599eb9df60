#include "core/Support/CollationFunctions.hpp"

namespace halyard {

const CollationFunctions& CollationFunctions::collation() {
  static const CollationFunctions table{ucol_open,         ucol_close,       ucol_setStrength,
                                        ucol_setAttribute, ucol_strcollUTF8, ucol_getSortKey};
  return table;
}

} // namespace halyard

// The entry the program looks up after loading the module.
extern "C" const halyard::CollationFunctions* bosun_collation_functions_v1() {
  return &halyard::CollationFunctions::collation();
}
