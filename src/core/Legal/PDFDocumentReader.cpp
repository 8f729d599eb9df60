#include "core/Legal/PDFDocumentReader.hpp"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>

#include <memory>
#include <mutex>
#include <string_view>

#include "core/Legal/DocumentBytes.hpp"
#include "core/Legal/StyledTextBuilder.hpp"

namespace halyard {

namespace {
// poppler reports damaged files on standard error unless told otherwise; the core library never
// prints, and the reader's own debug note says what failed.
void silencePoppler() {
  static std::once_flag once;
  std::call_once(
      once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}
} // namespace

std::optional<StyledText> PDFDocumentReader::read(const std::filesystem::path& file) {
  auto bytes = DocumentBytes::readFile(file);
  if (!bytes) return std::nullopt;
  silencePoppler();
  try {
    std::unique_ptr<poppler::document> document(
        poppler::document::load_from_raw_data(bytes->data(), static_cast<int>(bytes->size())));
    if (!document || document->is_locked()) {
      DocumentBytes::refuse(file, "the PDF could not be opened");
      return std::nullopt;
    }
    std::string plain;
    const int pages = document->pages();
    for (int index = 0; index < pages; ++index) {
      std::unique_ptr<poppler::page> page(document->create_page(index));
      if (!page) continue;
      const poppler::byte_array utf8 = page->text().to_utf8();
      std::string_view pageText(utf8.data(), utf8.size());
      // Each page's text ends with a line break and a form feed of its own.
      while (!pageText.empty() && (pageText.back() == '\f' || pageText.back() == '\n'))
        pageText.remove_suffix(1);
      if (index > 0) plain += '\n';
      plain += pageText;
      if (plain.size() > StyledTextBuilder::textLimit) {
        DocumentBytes::refuse(file, "the PDF's text is too long");
        return std::nullopt;
      }
    }
    StyledTextBuilder builder;
    builder.append(plain, TextAttributes{});
    return builder.take();
  } catch (const std::exception& error) {
    DocumentBytes::refuse(file, error.what());
    return std::nullopt;
  }
}

} // namespace halyard
