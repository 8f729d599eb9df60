// The drawing code and the document readers linked into the program itself: what tests,
// utilities and the desktop app use.

#include "core/DMG/ArtworkFunctions.hpp"
#include "core/Legal/DocumentReaderFunctions.hpp"

namespace halyard {

const ArtworkFunctions& ArtworkFunctions::current() {
  return drawing();
}

const DocumentReaderFunctions& DocumentReaderFunctions::current() {
  return readers();
}

} // namespace halyard
