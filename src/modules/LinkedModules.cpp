// The drawing code, the document readers, the update feed's XML and signatures and the name
// collation linked into the program itself: what tests, utilities and the desktop app use.

#include "core/Appcast/AppcastFunctions.hpp"
#include "core/DMG/ArtworkFunctions.hpp"
#include "core/Legal/DocumentReaderFunctions.hpp"
#include "core/Support/CollationFunctions.hpp"

namespace halyard {

const ArtworkFunctions& ArtworkFunctions::current() {
  return drawing();
}

const DocumentReaderFunctions& DocumentReaderFunctions::current() {
  return readers();
}

const AppcastFunctions& AppcastFunctions::current() {
  return feedAndSignatures();
}

const CollationFunctions& CollationFunctions::current() {
  return collation();
}

} // namespace halyard
