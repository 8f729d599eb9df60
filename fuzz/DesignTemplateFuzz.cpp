// Feeds arbitrary bytes to the Designer template decoder. Every input must either decode or fail
// with DesignTemplateError; anything else (another exception, a crash, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/Design/DesignTemplate.hpp"
#include "core/Design/DesignTemplateError.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const auto design = halyard::DesignTemplate::decode(bytes);
    // Touch what decoding produced, without going to the disk or the cache.
    for (const auto& sticker : design.canvas.stickers) {
      if (const auto* url = sticker.asset.source.fileURL()) (void)url->path();
    }
    for (const auto& url : design.importedMedia)
      (void)url.isFileURL();
  } catch (const halyard::DesignTemplateError&) {
    // A clean refusal.
  } catch (...) {
    std::abort();
  }
  return 0;
}
