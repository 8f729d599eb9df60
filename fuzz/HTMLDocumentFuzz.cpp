// HTML of arbitrary bytes, in any declared character set (a license page is untrusted input):
// reading never fails other than by giving nothing, and the text it gives is well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/Legal/HTMLDocumentReader.hpp"
#include "core/Support/Text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the declared character set, as a web archive would give it.
  static const char* const encodings[] = {nullptr,    "UTF-8",     "windows-1252",
                                          "UTF-16LE", "macintosh", "no-such-charset"};
  const char* encoding = encodings[data[0] % (sizeof encodings / sizeof encodings[0])];
  const std::string_view html(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto text = halyard::HTMLDocumentReader::readHTML(
      html, encoding ? std::optional<std::string>(encoding) : std::nullopt);
  if (text) {
    for (const auto& run : text->runs)
      if (run.text.empty() || !halyard::text::isValidUTF8(run.text)) std::abort();
  }
  return 0;
}
