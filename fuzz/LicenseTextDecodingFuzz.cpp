// Plain-text and Markdown documents of arbitrary bytes: decoding always gives valid UTF-8 (Mac OS
// Roman, the last resort, defines every byte), and the Markdown reader only ever removes markup,
// so its text is valid UTF-8 and never longer than what it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Legal/MarkdownReader.hpp"
#include "core/Legal/TextEncoding.hpp"
#include "core/Support/Text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto decoded = halyard::TextEncoding::decodeDocument(bytes);
  if (!halyard::text::isValidUTF8(decoded)) std::abort();
  if (const auto utf16 = halyard::TextEncoding::decodeUnmarkedUTF16(bytes))
    if (!halyard::text::isValidUTF8(*utf16)) std::abort();

  const auto markdown = halyard::MarkdownReader::read(decoded).string();
  if (!halyard::text::isValidUTF8(markdown) || markdown.size() > decoded.size()) std::abort();
  return 0;
}
