#include "core/Appcast/AppcastFunctions.hpp"

#include <nettle/eddsa.h>

#include "core/Appcast/AppcastDocument.hpp"

namespace halyard {

static_assert(ED25519_KEY_SIZE == 32 && ED25519_SIGNATURE_SIZE == 64);

const AppcastFunctions& AppcastFunctions::feedAndSignatures() {
  static const AppcastFunctions table{AppcastDocument::check, AppcastDocument::withItem,
                                      ed25519_sha512_public_key, ed25519_sha512_sign};
  return table;
}

} // namespace halyard

// The entry the program looks up after loading the module.
extern "C" const halyard::AppcastFunctions* bosun_appcast_functions_v1() {
  return &halyard::AppcastFunctions::feedAndSignatures();
}
