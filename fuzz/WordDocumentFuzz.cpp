// The streams of a Word 97 document of arbitrary bytes (the piece table is read with our own
// code): reading never fails other than by giving nothing, and its text is well-formed UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/Legal/WordDocumentReader.hpp"
#include "core/Support/Text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first two bytes give the WordDocument stream's length; the rest is the table stream,
  // offered under both names.
  if (size < 2) return 0;
  const std::size_t split = std::min<std::size_t>(size - 2, data[0] | (data[1] << 8));
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  const auto text = halyard::WordDocumentReader::readStreams(
      bytes.substr(0, split), bytes.substr(split), bytes.substr(split));
  if (text && !halyard::text::isValidUTF8(text->string())) std::abort();
  return 0;
}
