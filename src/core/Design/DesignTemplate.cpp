#include "core/Design/DesignTemplate.hpp"

#include <system_error>

#include "core/Design/DesignTemplateDecoder.hpp"
#include "core/Design/DesignTemplateMedia.hpp"
#include "core/Support/RegularFileReader.hpp"

namespace halyard {

DesignTemplate DesignTemplate::load(const std::filesystem::path& path) {
  return decode(RegularFileReader::read(path));
}

DesignTemplate DesignTemplate::decode(std::string_view json) {
  return DesignTemplateDecoder::decode(json);
}

DesignTemplate DesignTemplate::restored() const {
  DesignTemplate result = *this;
  const auto media = DesignTemplateMedia::restore(importedMedia, embeddedMedia);
  result.canvas.stickers = DesignTemplateMedia::remap(canvas.stickers, importedMedia, media);
  return result;
}

std::vector<FileURL> DesignTemplate::missingMedia() const {
  std::vector<FileURL> missing;
  for (const auto& sticker : canvas.stickers) {
    const FileURL* url = sticker.asset.source.fileURL();
    if (url != nullptr && !DesignTemplateMedia::fileExists(*url)) missing.push_back(*url);
  }
  return missing;
}

} // namespace halyard
