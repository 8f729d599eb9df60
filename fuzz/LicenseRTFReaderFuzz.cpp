// RTF documents of arbitrary bytes: reading never fails or hangs, yields valid UTF-8, and what it
// yields survives a trip through the RTF writer and back with the same text (control characters
// other than tab and line breaks are not written; CR becomes a line feed).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Legal/RTFReader.hpp"
#include "core/Legal/RTFWriter.hpp"
#include "core/Support/Text.hpp"

namespace {

std::string writable(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\r')
      out += '\n';
    else if (c == '\t' || c == '\n' || static_cast<unsigned char>(c) >= 0x20 || c < 0)
      out += c == 0x7F ? std::string() : std::string(1, c);
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const auto& input : {bytes, "{\\rtf1 " + bytes}) {
    const auto text = halyard::RTFReader::read(input);
    if (!text) continue;
    const auto plain = text->string();
    if (!halyard::text::isValidUTF8(plain)) std::abort();
    const auto rtf = halyard::RTFWriter::write(*text);
    if (!rtf) std::abort();
    const auto again = halyard::RTFReader::read(*rtf);
    if (!again || again->string() != writable(plain)) std::abort();
  }
  return 0;
}
